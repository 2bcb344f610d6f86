// Checking, writing, locking and naming the files of an export, with the Windows calls. The rules
// are those of the Linux build (target_files_posix.cpp): only a missing name or a disk file is
// written, never a folder, a device (CON, NUL, COM1) or a link; the new file takes its name whole,
// moved over the old one after it is flushed; two exports to one folder take turns.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "export/target_files.h"
#include "files/own_temporary.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"

namespace kelvak {

namespace {

[[noreturn]] void refuse(const std::string& path, WriteFault fault, int error = 0) {
  throw UnwritablePathError(WriteFailure{path, fault, error, {}});
}
[[noreturn]] void refuse(const std::string& path, int error) {
  refuse(path, WriteFault::System, error);
}

// Paths are cut on the UTF-16 form, where both separators are known.
std::filesystem::path widePathOf(const std::string& path) { return wideOf(path); }

std::string folderOf(const std::string& path) {
  const std::filesystem::path parent = widePathOf(path).parent_path();
  return parent.empty() ? std::string(".") : utf8OfWide(parent.native());
}

std::string nameOf(const std::string& path) {
  return utf8OfWide(widePathOf(path).filename().native());
}

// What stands under a name: nothing (false), or its kind and identity.
struct Standing {
  bool link = false, folder = false, disk = false;
  bool readOnly = false;  // a disk file with the read-only attribute
  bool held = false;      // a disk file another program holds open
  std::uint64_t device = 0, inode = 0;
};

// Looks at the name itself, not where a link leads. False when nothing stands there; throws
// UnwritablePathError for any other failure.
bool lookAt(const std::string& path, Standing& out) {
  const std::wstring wide = wideOf(path);
  if (isDeviceName(wide)) return true;  // and no disk file
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return false;
    if (error == ERROR_PATH_NOT_FOUND) refuse(path, ENOENT);
    // Reserved names (NUL, CON, COM1) have no attributes; they are opened below.
  } else {
    out.link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    out.folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (out.link || out.folder) return true;
  }
  OwnedHandle h(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (h.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return false;
    // A device that will not even be opened to be looked at is no file either.
    if (attributes == INVALID_FILE_ATTRIBUTES && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_NAME) {
      out.disk = false;
      return true;
    }
    refuse(path, errnoOfWindowsError(error));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  out.disk = GetFileType(h.handle) == FILE_TYPE_DISK && GetFileInformationByHandle(h.handle, &info);
  if (out.disk) {
    out.folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    out.readOnly = !out.folder && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    out.device = info.dwVolumeSerialNumber;
    out.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  if (out.disk && !out.folder) {
    // Windows moves no file over one that another program has open, whatever that program
    // shares: asking for it to ourselves alone shows whether one has.
    OwnedHandle renaming(CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    out.held = renaming.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
  }
  return true;
}

void refuseUnlessReplaceable(const std::string& path, const Standing& s) {
  if (s.link) refuse(path, WriteFault::SymbolicLink);
  if (s.folder) refuse(path, EISDIR);
  if (!s.disk) refuse(path, WriteFault::NotRegular);
  // Windows refuses to move the new file over these two, after all the work, with these reasons;
  // Wine moves it. Both are refused before any work, the same on either.
  if (s.readOnly) refuse(path, EACCES);
  if (s.held) refuse(path, EBUSY);
}

// Creates a fresh temporary file beside `target`; returns its name and descriptor. Throws
// UnwritablePathError for `shown`.
std::pair<std::string, int> createTemporary(const std::string& target, const std::string& shown) {
  const OwnTemporary t = createOwnTemporary(target, 0666);
  if (t.fd >= 0) return {t.path, t.fd};
  // The disk is full for this file: a failed write as any other.
  if (t.error == ENOSPC) {
    throw AudioWriteError(WriteFailure{shown, WriteFault::System, t.error, {}});
  }
  if (t.error != EEXIST) refuse(shown, t.error);
  refuse(shown, WriteFault::NoTemporaryName);
}

}  // namespace

TargetFile::TargetFile(const std::string& path) : path_(path) {
  if (path.empty() || nameOf(path).empty()) refuse(path, WriteFault::NoFileName);
  Standing standing;
  if (lookAt(path, standing)) {
    refuseUnlessReplaceable(path, standing);
    exists_ = true;
    device_ = standing.device;
    inode_ = standing.inode;
  }
  name_ = nameOf(path_);
  const std::string folder = folderOf(path_);
  Standing folderStanding;
  if (!lookAt(folder, folderStanding)) refuse(path, ENOENT);
  if (!folderStanding.folder) refuse(path, ENOTDIR);
  folderDevice_ = folderStanding.device;
  folderInode_ = folderStanding.inode;
  removeOwnLeftovers(folder, name_);
  std::tie(temporary_, fd_) = createTemporary(path_, path);
}

TargetFile::~TargetFile() {
  if (fd_ >= 0) _close(fd_);
  if (!committed_) DeleteFileW(wideOf(temporary_).c_str());
}

void TargetFile::fail(int error) const {
  throw AudioWriteError(WriteFailure{path_, WriteFault::System, error, {}});
}

void TargetFile::write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
  while (n > 0) {
    DWORD done = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    if (!WriteFile(handle, p, want, &done, nullptr)) fail(lastErrno());
    if (done == 0) fail(ENOSPC);
    p += done;
    n -= done;
  }
}

bool TargetFile::sameAs(const TargetFile& other) const {
  if (exists_ && other.exists_) return device_ == other.device_ && inode_ == other.inode_;
  // Windows names are the same in any case.
  return folderDevice_ == other.folderDevice_ && folderInode_ == other.folderInode_ &&
         CompareStringOrdinal(wideOf(name_).c_str(), -1, wideOf(other.name_).c_str(), -1, TRUE) ==
             CSTR_EQUAL;
}

bool TargetFile::isFile(std::uint64_t device, std::uint64_t inode) const {
  return exists_ && device_ == device && inode_ == inode;
}

void TargetFile::flushAndClose() {
  // Only what is on the disk may take the target's name: a crash must not leave an empty file
  // where a good one stood.
  if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)))) fail(lastErrno());
  const int fd = fd_;
  fd_ = -1;
  if (_close(fd) != 0) fail(errno);
}

namespace {

// A folder cannot be locked on Windows; a mutex named by its identity stands in for the lock, held
// while names in it change. A process that dies holding it leaves it abandoned, and the next
// export takes it.
struct FolderLock {
  std::uint64_t device;
  std::uint64_t inode;
  HANDLE mutex = nullptr;
};

}  // namespace

void commitTargets(const std::vector<TargetFile*>& targets) {
  for (TargetFile* t : targets) t->flushAndClose();

  // The folders' locks, taken in one order by every export, so two never wait for each other.
  std::vector<FolderLock> locks;
  for (const TargetFile* t : targets) {
    if (std::none_of(locks.begin(), locks.end(), [t](const FolderLock& l) {
          return l.device == t->folderDevice_ && l.inode == t->folderInode_;
        })) {
      locks.push_back({t->folderDevice_, t->folderInode_});
    }
  }
  std::sort(locks.begin(), locks.end(), [](const FolderLock& a, const FolderLock& b) {
    return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
  });
  struct Unlock {
    std::vector<FolderLock>& locks;
    ~Unlock() {
      for (const FolderLock& l : locks) {
        if (l.mutex) {
          ReleaseMutex(l.mutex);
          CloseHandle(l.mutex);
        }
      }
    }
  } unlock{locks};
  for (FolderLock& l : locks) {
    const std::wstring name =
        L"Local\\Kelvak.export." + std::to_wstring(l.device) + L"." + std::to_wstring(l.inode);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    // A folder whose lock cannot be made goes unlocked, as on Linux.
    if (!mutex) continue;
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      CloseHandle(mutex);
      continue;
    }
    l.mutex = mutex;
  }

  // Checked again: a name may have become something else while the export ran.
  for (TargetFile* t : targets) {
    Standing standing;
    if (lookAt(t->path_, standing)) refuseUnlessReplaceable(t->path_, standing);
  }

  // What stood under each name keeps a second name until every name is given, so that a failed
  // move can put it back.
  struct Step {
    TargetFile* target;
    bool existed;
    std::string kept;  // empty: nothing stood there, or no second name could be made
    bool renamed = false;
  };
  std::vector<Step> steps;
  for (TargetFile* t : targets) {
    Standing standing;
    Step step{t, lookAt(t->path_, standing), {}};
    // A second name of ours, named as a temporary file, so that a leftover is cleaned up alike.
    const std::string kept = ownTemporaryPath(t->path_);
    if (step.existed && CreateHardLinkW(wideOf(kept).c_str(), wideOf(t->path_).c_str(), nullptr)) {
      step.kept = kept;
    }
    steps.push_back(std::move(step));
  }
  const auto move = [](const std::string& from, const std::string& to) {
    return MoveFileExW(wideOf(from).c_str(), wideOf(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  };
  auto undo = [&] {
    for (Step& s : steps) {
      if (s.renamed) {
        if (!s.kept.empty()) {
          move(s.kept, s.target->path_);
          s.kept.clear();
        } else if (!s.existed) {
          DeleteFileW(wideOf(s.target->path_).c_str());
        }
      }
      if (!s.kept.empty()) DeleteFileW(wideOf(s.kept).c_str());
    }
  };
  for (Step& s : steps) {
    if (!move(s.target->temporary_, s.target->path_)) {
      const int error = lastErrno();
      undo();
      s.target->fail(error);
    }
    s.renamed = true;
    s.target->committed_ = true;
  }
  for (Step& s : steps) {
    if (!s.kept.empty()) DeleteFileW(wideOf(s.kept).c_str());
  }
}

std::optional<FileIdentity> identityOf(const std::string& path) {
  const std::wstring wide = wideOf(path);
  if (isDeviceName(wide)) return std::nullopt;
  const HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!known) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace kelvak

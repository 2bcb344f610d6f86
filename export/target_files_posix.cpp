// Checking, writing, locking and naming the files of an export.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "export/target_files.h"
#include "files/own_temporary.h"

namespace kelvak {

namespace {

[[noreturn]] void refuse(const std::string& path, WriteFault fault, int error = 0) {
  throw UnwritablePathError(WriteFailure{path, fault, error, {}});
}
[[noreturn]] void refuse(const std::string& path, int error) {
  refuse(path, WriteFault::System, error);
}

std::string folderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::string nameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Creates a fresh temporary file beside `target` (mode 0666 less the umask); returns its name and
// descriptor. Throws UnwritablePathError for `shown`.
std::pair<std::string, int> createTemporary(const std::string& target, const std::string& shown) {
  const OwnTemporary t = createOwnTemporary(target, 0666);
  if (t.fd >= 0) return {t.path, t.fd};
  // No free inode, or the quota's: the disk is full for this file, a failed write as any other.
  if (t.error == ENOSPC || t.error == EDQUOT) {
    throw AudioWriteError(WriteFailure{shown, WriteFault::System, t.error, {}});
  }
  if (t.error != EEXIST) refuse(shown, t.error);
  refuse(shown, WriteFault::NoTemporaryName);
}

}  // namespace

TargetFile::TargetFile(const std::string& path) : path_(path) {
  if (path.empty() || nameOf(path).empty()) refuse(path, WriteFault::NoFileName);
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    // A link is never replaced, nor followed: one planted in a shared folder would turn the
    // export onto any file the user may write, and /dev/stdout leads wherever the output goes.
    if (S_ISLNK(info.st_mode)) refuse(path, WriteFault::SymbolicLink);
    if (S_ISDIR(info.st_mode)) refuse(path, EISDIR);
    if (!S_ISREG(info.st_mode)) refuse(path, WriteFault::NotRegular);
    exists_ = true;
    device_ = info.st_dev;
    inode_ = info.st_ino;
  } else if (errno != ENOENT) {
    refuse(path, errno);
  }
  name_ = nameOf(path_);
  const std::string folder = folderOf(path_);
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) refuse(path, errno);
  if (!S_ISDIR(folderInfo.st_mode)) refuse(path, ENOTDIR);
  folderDevice_ = folderInfo.st_dev;
  folderInode_ = folderInfo.st_ino;
  removeOwnLeftovers(folder, name_);
  std::tie(temporary_, fd_) = createTemporary(path_, path);
}

TargetFile::~TargetFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temporary_.c_str());
}

void TargetFile::fail(int error) const {
  throw AudioWriteError(WriteFailure{path_, WriteFault::System, error, {}});
}

void TargetFile::write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t done = ::write(fd_, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) fail(errno);
    if (done == 0) fail(ENOSPC);
    p += done;
    n -= static_cast<std::size_t>(done);
  }
}

bool TargetFile::sameAs(const TargetFile& other) const {
  if (exists_ && other.exists_) return device_ == other.device_ && inode_ == other.inode_;
  return folderDevice_ == other.folderDevice_ && folderInode_ == other.folderInode_ &&
         name_ == other.name_;
}

bool TargetFile::isFile(std::uint64_t device, std::uint64_t inode) const {
  return exists_ && device_ == device && inode_ == inode;
}

void TargetFile::flushAndClose() {
  // Only what is on the disk may take the target's name: a crash must not leave an empty file
  // where a good one stood.
  if (::fsync(fd_) != 0) fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(errno);
}

namespace {

// A lock on a folder, held while names in it change; the descriptor's close lets it go.
struct FolderLock {
  dev_t device;
  ino_t inode;
  std::string path;
  int fd = -1;
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
      locks.push_back({t->folderDevice_, t->folderInode_, folderOf(t->path_)});
    }
  }
  std::sort(locks.begin(), locks.end(), [](const FolderLock& a, const FolderLock& b) {
    return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
  });
  struct Unlock {
    std::vector<FolderLock>& locks;
    ~Unlock() {
      for (const FolderLock& l : locks) {
        if (l.fd >= 0) ::close(l.fd);
      }
    }
  } unlock{locks};
  for (FolderLock& l : locks) {
    // A folder that cannot be opened for reading (write and search rights only) goes unlocked.
    l.fd = ::open(l.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (l.fd < 0) continue;
    while (::flock(l.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }

  // Checked again: a name may have become something else while the export ran. A file that is
  // replaced passes its permissions and owner on.
  for (TargetFile* t : targets) {
    struct stat info {};
    if (::lstat(t->path_.c_str(), &info) == 0) {
      if (S_ISLNK(info.st_mode)) refuse(t->path_, WriteFault::SymbolicLink);
      if (S_ISDIR(info.st_mode)) refuse(t->path_, EISDIR);
      if (!S_ISREG(info.st_mode)) refuse(t->path_, WriteFault::NotRegular);
      if (::chmod(t->temporary_.c_str(), info.st_mode & 07777) != 0) t->fail(errno);
      struct stat mine {};
      if (::stat(t->temporary_.c_str(), &mine) == 0 &&
          (mine.st_uid != info.st_uid || mine.st_gid != info.st_gid)) {
        // Only the superuser may give a file away; others keep it as their own.
        (void)!::chown(t->temporary_.c_str(), info.st_uid, info.st_gid);
      }
    } else if (errno != ENOENT) {
      refuse(t->path_, errno);
    }
  }

  // What stood under each name is kept under a temporary one until every name is given, so that
  // a failed rename can put it back.
  struct Step {
    TargetFile* target;
    bool existed;
    std::string kept;  // empty: nothing stood there, or no second name could be made
    bool renamed = false;
  };
  std::vector<Step> steps;
  for (TargetFile* t : targets) {
    struct stat info {};
    Step step{t, ::lstat(t->path_.c_str(), &info) == 0, {}};
    // A second name of ours, made exclusively (link() never replaces) and named as a temporary
    // file, so that a leftover is cleaned up alike.
    const std::string kept = ownTemporaryPath(t->path_);
    if (step.existed && ::link(t->path_.c_str(), kept.c_str()) == 0) step.kept = kept;
    steps.push_back(std::move(step));
  }
  auto undo = [&] {
    for (Step& s : steps) {
      if (s.renamed) {
        if (!s.kept.empty()) {
          ::rename(s.kept.c_str(), s.target->path_.c_str());
          s.kept.clear();
        } else if (!s.existed) {
          // A file that stood there but could not be kept is better replaced than gone.
          ::unlink(s.target->path_.c_str());
        }
      }
      if (!s.kept.empty()) ::unlink(s.kept.c_str());
    }
  };
  for (Step& s : steps) {
    if (::rename(s.target->temporary_.c_str(), s.target->path_.c_str()) != 0) {
      const int error = errno;
      undo();
      s.target->fail(error);
    }
    s.renamed = true;
    s.target->committed_ = true;
  }
  for (Step& s : steps) {
    if (!s.kept.empty()) ::unlink(s.kept.c_str());
  }
  // The new names on the disk too.
  for (const FolderLock& l : locks) {
    if (l.fd >= 0) ::fsync(l.fd);
  }
}

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace kelvak

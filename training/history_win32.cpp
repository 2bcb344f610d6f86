// Appending records to the history file with the Windows calls.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/own_temporary.h"
#include "files/regular_file.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"
#include "training/history.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const char* what, int err) {
  throw KelvakError(std::string(what) + ": " + systemReason(err));
}

[[noreturn]] void failWithLastError(const char* what) {
  fail(what, errnoOfWindowsError(GetLastError()));
}

// The byte the writers lock: far past any end a history reaches, so readers, which take no lock,
// are never kept from the records (a Windows lock forbids others to read what it covers).
OVERLAPPED lockedByte() {
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  return at;
}

}  // namespace

void History::appendLines(std::string line, int waitMs) const {
  const std::filesystem::path file(wideOf(path_));
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) fail(kHistoryWriteFailed, errnoOf(ec));
  }
  // NUL or CON would take every record and keep none; a device is not even opened.
  if (isDeviceName(file.native())) {
    throw KelvakError(std::string(kHistoryWriteFailed) + ": " + kNotRegularFile);
  }
  OwnedHandle h(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.handle == INVALID_HANDLE_VALUE) failWithLastError(kHistoryWriteFailed);
  if (GetFileType(h.handle) != FILE_TYPE_DISK) {
    throw KelvakError(std::string(kHistoryWriteFailed) + ": " + kNotRegularFile);
  }
  // One writer at a time, so the end seen below is the end written to. The lock is never waited
  // for: a program that holds it must not freeze the window.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    OVERLAPPED lock = lockedByte();
    if (LockFileEx(h.handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
      break;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      failWithLastError(kHistoryWriteFailed);
    }
    if (std::chrono::steady_clock::now() >= until) {
      busy(std::move(line));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  struct Unlock {
    HANDLE handle;
    ~Unlock() {
      OVERLAPPED at = lockedByte();
      UnlockFileEx(handle, 0, 1, 0, &at);
    }
  } unlock{h.handle};
  auto [lines, kept] = linesToWrite(line);
  if (lines.empty()) return;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.handle, &size)) failWithLastError(kHistoryWriteFailed);
  const LONGLONG before = size.QuadPart;

  // A line left open by a program that died while writing would swallow this record.
  char last = '\n';
  DWORD got = 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(before - 1);
  at.OffsetHigh = static_cast<DWORD>((before - 1) >> 32);
  if (before > 0 && ReadFile(h.handle, &last, 1, &got, &at) && got == 1 && last != '\n') {
    lines.insert(lines.begin(), '\n');
  }

  // Every record is one write at the end of the file.
  OVERLAPPED end{};
  end.Offset = 0xFFFFFFFF;
  end.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(h.handle, lines.data(), static_cast<DWORD>(lines.size()), &written, &end);
  if (ok && written == lines.size()) {
    keptWritten(kept);
    return;
  }
  const int error = ok ? ENOSPC : errnoOfWindowsError(GetLastError());
  // A record cut short (a full disk) is taken back, so no damaged line stays behind.
  if (written > 0) {
    FILE_END_OF_FILE_INFO eof{};
    eof.EndOfFile.QuadPart = before;
    if (!SetFileInformationByHandle(h.handle, FileEndOfFileInfo, &eof, sizeof eof)) {
      failWithLastError(kHistoryWriteFailed);
    }
  }
  fail(kHistoryWriteFailed, error);
}

namespace {

// Takes the writers' lock on `h`, trying again for up to `waitMs`; false when another program held
// it all the while. Throws KelvakError "<failure>: <reason>".
bool lockForWriting(HANDLE h, int waitMs, const char* failure) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    OVERLAPPED lock = lockedByte();
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
      return true;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      fail(failure, lastErrno());
    }
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void unlockForWriting(HANDLE h) {
  OVERLAPPED at = lockedByte();
  UnlockFileEx(h, 0, 1, 0, &at);
}

// Every byte from `offset` to the end of `h`; false when it cannot be read.
bool readFrom(HANDLE h, std::int64_t offset, std::string& out) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  if (!SetFilePointerEx(h, to, nullptr, FILE_BEGIN)) return false;
  char piece[1 << 14];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, piece, sizeof piece, &n, nullptr)) return false;
    if (n == 0) return true;
    out.append(piece, n);
  }
}

// Writes all of `bytes` through `h`; false when it cannot.
bool writeAll(HANDLE h, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(h, bytes.data() + done, want, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

// Windows refuses to replace a file that is open, and the writers' lock is an open handle's: so
// the new file is written whole under the lock, the lock is let go, and ReplaceFileW puts the new
// file in the old one's place, keeping the old one under a second name of ours. Records another
// program appended in that moment stand past what was read: they are appended to the new file,
// and only then is the old one removed, so that no record is lost. When they cannot be, the old
// file stays under its second name, and the message names it.
HistoryChange changeHistoryLocked(
    const std::string& path, int waitMs, const char* failure,
    const std::function<std::optional<std::string>(const std::string& bytes)>& change) {
  const auto failWith = [failure](const std::string& reason) {
    throw KelvakError(std::string(failure) + ": " + reason);
  };
  const std::wstring wide = wideOf(path);
  if (isDeviceName(wide)) failWith(kNotRegularFile);
  // Backup semantics open a folder too, so that it is refused as no regular file.
  OwnedHandle h(CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return HistoryChange::Missing;
    }
    failWith(systemReason(errnoOfWindowsError(error)));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h.handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(h.handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    failWith(kNotRegularFile);
  }
  if (!lockForWriting(h.handle, waitMs, failure)) return HistoryChange::Busy;
  std::string bytes;
  if (!readFrom(h.handle, 0, bytes)) {
    const int error = lastErrno();
    unlockForWriting(h.handle);
    failWith(systemReason(error));
  }
  std::optional<std::string> changed;
  try {
    changed = change(bytes);
  } catch (...) {
    unlockForWriting(h.handle);
    throw;
  }
  if (!changed) {
    unlockForWriting(h.handle);
    return HistoryChange::Done;
  }
  const OwnTemporary made = createOwnTemporary(path, 0644);
  if (made.fd < 0) {
    unlockForWriting(h.handle);
    failWith(systemReason(made.error));
  }
  const std::wstring temporary = wideOf(made.path);
  const HANDLE out = reinterpret_cast<HANDLE>(_get_osfhandle(made.fd));
  const bool written = writeAll(out, *changed) && FlushFileBuffers(out);
  const int writeError = written ? 0 : lastErrno();
  _close(made.fd);
  unlockForWriting(h.handle);
  CloseHandle(h.handle);
  h.handle = INVALID_HANDLE_VALUE;
  if (!written) {
    DeleteFileW(temporary.c_str());
    failWith(systemReason(writeError));
  }
  const std::string kept = ownTemporaryPath(path);
  const std::wstring keptWide = wideOf(kept);
  if (!ReplaceFileW(wide.c_str(), temporary.c_str(), keptWide.c_str(),
                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    const int error = lastErrno();
    DeleteFileW(temporary.c_str());
    failWith(systemReason(error));
  }
  // What was appended between the lock's release and the replacement.
  std::string late;
  bool lateRead = false;
  {
    OwnedHandle old(CreateFileW(keptWide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    lateRead = old.handle != INVALID_HANDLE_VALUE &&
               readFrom(old.handle, static_cast<std::int64_t>(bytes.size()), late);
  }
  bool lateWritten = lateRead;
  if (lateRead && !late.empty()) {
    OwnedHandle now(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    lateWritten = false;
    if (now.handle != INVALID_HANDLE_VALUE && lockForWriting(now.handle, 1000, failure)) {
      LARGE_INTEGER end{};
      lateWritten = SetFilePointerEx(now.handle, end, nullptr, FILE_END) &&
                    writeAll(now.handle, late) && FlushFileBuffers(now.handle);
      unlockForWriting(now.handle);
    }
  }
  if (!lateWritten) {
    failWith("записи, дописанные во время замены файла, сохранены в " + kept);
  }
  DeleteFileW(keptWide.c_str());
  return HistoryChange::Done;
}

}  // namespace kelvak

// Appending records to the history file with the Windows calls.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "base/system_reason.h"
#include "text/regular_file.h"
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

void History::appendLines(std::string line) const {
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
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHistoryLockWaitMs);
  for (;;) {
    OVERLAPPED lock = lockedByte();
    if (LockFileEx(h.handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
      break;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      failWithLastError(kHistoryWriteFailed);
    }
    if (std::chrono::steady_clock::now() >= until) {
      if (!line.empty()) pending_.push_back(std::move(line));
      throw HistoryBusyError(std::string(kHistoryWriteFailed) +
                             ": файл истории занят другой программой; записей ждут дописывания: " +
                             std::to_string(pending_.size()) +
                             ", они будут дописаны вместе со следующей");
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
  std::string lines;
  for (const std::string& kept : pending_) lines += kept;
  lines += line;
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
    pending_.clear();
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

LockedHistory lockHistoryAndRead(const std::string& path, int waitMs, const char* failure,
                                 const std::function<void(std::string& bytes)>& use) {
  const auto fail = [failure](const std::string& reason) {
    throw KelvakError(std::string(failure) + ": " + reason);
  };
  const std::wstring wide = wideOf(path);
  if (isDeviceName(wide)) fail(kNotRegularFile);
  // Sharing everything: the file is replaced by name while this handle holds the lock.
  OwnedHandle h(CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return LockedHistory::Missing;
    }
    fail(systemReason(errnoOfWindowsError(error)));
  }
  if (GetFileType(h.handle) != FILE_TYPE_DISK) fail(kNotRegularFile);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    OVERLAPPED lock = lockedByte();
    if (LockFileEx(h.handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
      break;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      fail(systemReason(lastErrno()));
    }
    if (std::chrono::steady_clock::now() >= until) return LockedHistory::Busy;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  struct Unlock {
    HANDLE handle;
    ~Unlock() {
      OVERLAPPED at = lockedByte();
      UnlockFileEx(handle, 0, 1, 0, &at);
    }
  } unlock{h.handle};
  std::string bytes;
  char piece[1 << 14];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h.handle, piece, sizeof piece, &n, nullptr)) fail(systemReason(lastErrno()));
    if (n == 0) break;
    bytes.append(piece, n);
  }
  use(bytes);
  return LockedHistory::Read;
}

}  // namespace kelvak

// The course folder's lock and second names, with the Windows calls. A folder cannot be locked
// as a file can: the lock is a mutex named for the folder's volume and file index, so that every
// name of the folder takes the same lock.
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "base/error.h"
#include "base/system_reason.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"
#include "training/course_folder.h"

namespace kelvak {

CourseFolderLock::CourseFolderLock(const std::string& folder, int waitMs, const char* failure) {
  const auto fail = [failure](int error) {
    throw KelvakError(std::string(failure) + ": " + systemReason(error));
  };
  OwnedHandle dir(CreateFileW(wideOf(folder).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (dir.handle == INVALID_HANDLE_VALUE) fail(lastErrno());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(dir.handle, &info)) fail(lastErrno());
  const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  const std::wstring name = L"Local\\Kelvak.course." + std::to_wstring(info.dwVolumeSerialNumber) +
                            L"." + std::to_wstring(index);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) fail(lastErrno());
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    const DWORD waited = WaitForSingleObject(mutex, 0);
    // An abandoned lock: its holder ended without giving it back; the file is read again anyway.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
      locked_ = true;
      return;
    }
    if (waited != WAIT_TIMEOUT || Clock::now() >= until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

CourseFolderLock::~CourseFolderLock() {
  const auto mutex = reinterpret_cast<HANDLE>(handle_);
  if (locked_) ReleaseMutex(mutex);
  CloseHandle(mutex);
}

int keepUnderSecondName(const std::string& path, const std::string& kept) {
  const std::wstring from = wideOf(path);
  const std::wstring to = wideOf(kept);
  if (CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return EEXIST;
  // A file system without hard links: the file itself moves, never over another.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
  error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return EEXIST;
  return errnoOfWindowsError(error);
}

std::string localStamp(std::time_t t) {
  std::tm local{};
  localtime_s(&local, &t);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return stamp;
}

}  // namespace kelvak

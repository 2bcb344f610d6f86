// Atomic replacement with the Windows calls: the new file is flushed, then moved over the old one
// with the move itself written through.
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/error.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"
#include "training/atomic_file.h"

namespace kelvak {

namespace {

[[noreturn]] void failWithReason(const std::string& failure, int err) {
  throw KelvakError(failure + ": " + std::strerror(err));
}

std::atomic<unsigned> counter{0};

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& failure) {
  const std::filesystem::path file(wideOf(path));
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : L".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) failWithReason(failure, errnoOf(ec));

  std::wstring temp;
  OwnedHandle h(INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 100 && h.handle == INVALID_HANDLE_VALUE; ++attempt) {
    temp = file.native() + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L".tmp";
    h.handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h.handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      failWithReason(failure, lastErrno());
    }
  }
  if (h.handle == INVALID_HANDLE_VALUE) failWithReason(failure, EEXIST);
  auto abandon = [&](int err) {
    CloseHandle(h.handle);
    h.handle = INVALID_HANDLE_VALUE;
    DeleteFileW(temp.c_str());
    failWithReason(failure, err);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(h.handle, bytes.data() + done, want, &n, nullptr)) abandon(lastErrno());
    if (n == 0) abandon(ENOSPC);
    done += n;
  }
  if (!FlushFileBuffers(h.handle)) abandon(lastErrno());
  CloseHandle(h.handle);
  h.handle = INVALID_HANDLE_VALUE;
  if (!MoveFileExW(temp.c_str(), file.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const int err = lastErrno();
    DeleteFileW(temp.c_str());
    failWithReason(failure, err);
  }
}

std::optional<std::string> readWholeFile(const std::string& path, const std::string& failure) {
  OwnedHandle h(CreateFileW(wideOf(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A missing folder means no file as well, as ENOENT does on Linux.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    failWithReason(failure, errnoOfWindowsError(error));
  }
  std::string bytes;
  char buf[1 << 14];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h.handle, buf, sizeof buf, &n, nullptr)) failWithReason(failure, lastErrno());
    if (n == 0) break;
    bytes.append(buf, n);
  }
  return bytes;
}

}  // namespace kelvak

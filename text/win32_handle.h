// A Windows handle closed on every way out of the scope that opened it, and the errno of the last
// failed Windows call.
#pragma once

#include <windows.h>

#include <system_error>

#include "text/win32_strings.h"

namespace kelvak {

struct OwnedHandle {
  HANDLE handle;  // INVALID_HANDLE_VALUE: nothing to close; set it so after closing by hand
  explicit OwnedHandle(HANDLE opened) : handle(opened) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

inline int lastErrno() { return errnoOfWindowsError(GetLastError()); }

// The errno of a failed std::filesystem call, which on Windows reports the system's own codes.
inline int errnoOf(const std::error_code& ec) {
  return ec.category() == std::system_category() ? errnoOfWindowsError(ec.value()) : ec.value();
}

}  // namespace kelvak

// Atomic replacement with the Windows calls: the new file is flushed, then moved over the old one
// with the move itself written through.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/error.h"
#include "files/own_temporary.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"
#include "files/atomic_file.h"

namespace kelvak {

namespace {

[[noreturn]] void failWithReason(const std::string& failure, int err) {
  throw KelvakError(failure + ": " + std::strerror(err));
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& failure) {
  const std::filesystem::path file(wideOf(path));
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : L".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) failWithReason(failure, errnoOf(ec));

  // Named as the program's own, so that what a killed save leaves is known for ours.
  OwnTemporary created = createOwnTemporary(path, 0644);
  if (created.fd < 0) failWithReason(failure, created.error);
  OwnedHandle h(reinterpret_cast<HANDLE>(_get_osfhandle(created.fd)));
  const std::wstring temp = wideOf(created.path);
  auto abandon = [&](int err) {
    _close(created.fd);
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
  _close(created.fd);
  h.handle = INVALID_HANDLE_VALUE;
  if (!MoveFileExW(temp.c_str(), file.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const int err = lastErrno();
    DeleteFileW(temp.c_str());
    failWithReason(failure, err);
  }
}

}  // namespace kelvak

// Opening files without waiting, with the Windows calls: only a disk file is read; a console
// (CON), the null device (NUL), a pipe or a folder is refused, as a device or a FIFO is on Linux.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "files/regular_file.h"
#include "text/win32_strings.h"

namespace kelvak {

namespace {

[[noreturn]] void failWithLastError() {
  const int e = errnoOfWindowsError(GetLastError());
  throw FileReadError(e, std::strerror(e));
}

}  // namespace

RegularFile::RegularFile(const std::string& path) {
  const std::wstring wide = wideOf(path);
  if (isDeviceName(wide)) throw FileReadError(0, kNotRegularFile);
  // Backup semantics open a folder too, so it is named as one; sharing everything keeps a file
  // that another program writes or renames readable, as on Linux.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failWithLastError();
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    CloseHandle(handle);
    throw FileReadError(0, kNotRegularFile);
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    CloseHandle(handle);
    throw FileReadError(EISDIR, std::strerror(EISDIR));
  }
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(handle);
    throw FileReadError(EMFILE, std::strerror(EMFILE));
  }
  size_ = static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  device_ = info.dwVolumeSerialNumber;
  inode_ = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

RegularFile::~RegularFile() { _close(fd_); }

std::size_t RegularFile::read(void* buffer, std::size_t n) {
  DWORD got = 0;
  const auto want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  if (!ReadFile(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), buffer, want, &got, nullptr)) {
    failWithLastError();
  }
  return got;
}

void RegularFile::seek(std::int64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), to, nullptr, FILE_BEGIN)) {
    failWithLastError();
  }
}

}  // namespace kelvak

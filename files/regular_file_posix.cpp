// Opening files without waiting, with the POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/regular_file.h"

namespace kelvak {

RegularFile::RegularFile(const std::string& path) {
  // Not blocking: opening a FIFO would otherwise wait for a writer, and a device for its line.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    const int e = errno;
    throw FileReadError(e, std::strerror(e));
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    const int e = errno;
    ::close(fd_);
    throw FileReadError(e, std::strerror(e));
  }
  // Only a regular file has an end to read to: /dev/zero or a FIFO would never end or would wait.
  if (!S_ISREG(info.st_mode)) {
    ::close(fd_);
    if (S_ISDIR(info.st_mode)) throw FileReadError(EISDIR, std::strerror(EISDIR));
    throw FileReadError(0, kNotRegularFile);
  }
  // Reads of a regular file never wait anyway; a plain descriptor keeps it simple.
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  size_ = info.st_size;
  device_ = info.st_dev;
  inode_ = info.st_ino;
}

RegularFile::~RegularFile() { ::close(fd_); }

std::size_t RegularFile::read(void* buffer, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, n);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      const int e = errno;
      throw FileReadError(e, std::strerror(e));
    }
  }
}

void RegularFile::seek(std::int64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    const int e = errno;
    throw FileReadError(e, std::strerror(e));
  }
}

}  // namespace kelvak

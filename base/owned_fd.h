// A file descriptor closed on every way out of the scope that opened it.
#pragma once

#include <unistd.h>

namespace kelvak {

struct OwnedFd {
  int fd;  // -1: nothing to close; set it so after closing by hand
  explicit OwnedFd(int opened) : fd(opened) {}
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  ~OwnedFd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace kelvak

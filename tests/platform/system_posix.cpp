// The tests' system calls on Linux.
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/platform/system.h"

namespace kelvak::test_platform {

const char* missingFeature(SystemFeature feature) {
  if (feature == SystemFeature::ReadOnlyFolder && isSuperuser()) {
    return "the superuser writes into read-only folders";
  }
  return nullptr;
}

std::string systemRegularFile() { return "/proc/version"; }
std::string nullDevice() { return "/dev/null"; }

bool makeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

void openFifoForWriting(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd >= 0) ::close(fd);
}

std::vector<std::string> devicesAndFolders() {
  return {"/dev/zero", "/dev/urandom", "/dev/null", "/tmp"};
}

// glibc's converter.
std::optional<char32_t> systemCodePageChar(int, const char* iconvName, std::uint8_t byte) {
  iconv_t cd = iconv_open("UTF-32LE", iconvName);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[8] = {};
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t inLeft = 1;
  std::size_t outLeft = sizeof out;
  const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || outLeft != 4) return std::nullopt;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

bool isSuperuser() { return ::geteuid() == 0; }

long startChild(const std::function<int()>& body, bool asNobody) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (asNobody && ::setuid(65534) != 0) ::_exit(3);
    int result = 1;
    try {
      result = body();
    } catch (...) {
    }
    ::_exit(result);
  }
  return child;
}

int waitForChild(long child) {
  if (child <= 0) return -1;
  int status = 0;
  if (::waitpid(static_cast<pid_t>(child), &status, 0) < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool mountSmallFileSystem(const std::string& folder, const char* size, std::string& why) {
  const std::string options = std::string("size=") + size;
  if (::mount("kelvak", folder.c_str(), "tmpfs", 0, options.c_str()) == 0) return true;
  why = std::string("no small file system to fill: mount: ") + std::strerror(errno);
  return false;
}

void unmount(const std::string& folder) { ::umount2(folder.c_str(), MNT_DETACH); }

// A descriptor of its own: flock() locks are an open file's, so the history's own descriptor,
// even in this process, finds the lock taken.
std::shared_ptr<void> holdHistoryLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<int>(new int(fd), [](int* held) {
    ::close(*held);
    delete held;
  });
}

}  // namespace kelvak::test_platform

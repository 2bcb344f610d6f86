// Atomic replacement by rename, with the data and the folder entry flushed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/error.h"
#include "base/owned_fd.h"
#include "base/system_reason.h"
#include "files/own_temporary.h"
#include "files/atomic_file.h"

namespace kelvak {

namespace {

[[noreturn]] void failWithReason(const std::string& failure, int err) {
  throw KelvakError(failure + ": " + systemReason(err));
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& failure) {
  const std::filesystem::path file(path);
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) failWithReason(failure, ec.value());

  // Named as the program's own, so that what a killed save leaves is known for ours and removed.
  OwnTemporary created = createOwnTemporary(path, 0644);
  if (created.fd < 0) failWithReason(failure, created.error);
  OwnedFd fd{created.fd};
  const std::string& temp = created.path;
  auto abandon = [&](int err) {
    ::unlink(temp.c_str());
    failWithReason(failure, err);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) abandon(n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd.fd, 0644) != 0 || ::fsync(fd.fd) != 0) abandon(errno);
  if (::close(fd.fd) != 0) {
    fd.fd = -1;
    abandon(errno);
  }
  fd.fd = -1;
  if (::rename(temp.c_str(), path.c_str()) != 0) abandon(errno);
  // The rename itself lasts only once the folder's entry is on the disk.
  OwnedFd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd >= 0) ::fsync(dir.fd);
}

}  // namespace kelvak

// Reading a file under one rule, for every file the program reads: regular files only, opened
// without waiting, and never more bytes than the kind of file can sensibly hold.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"

namespace kelvak {

// A file that could not be read, or broke the rule. error() is the errno of the failure, or 0
// for a file that is no regular file (a folder reports EISDIR).
class FileReadError : public KelvakError {
 public:
  FileReadError(int error, const std::string& reason) : KelvakError(reason), error_(error) {}
  int error() const { return error_; }
  bool missing() const { return error_ == ENOENT; }

 private:
  int error_;
};

// A regular file open for reading. Opening never waits: a FIFO has no writer to wait for, a
// device no line to wait on, and both are refused, as are folders. Symbolic links are followed.
class RegularFile {
 public:
  // Throws FileReadError with the reason (strerror's text, or "not a regular file").
  explicit RegularFile(const std::string& path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Up to n bytes; 0 at the end. Throws FileReadError.
  std::size_t read(void* buffer, std::size_t n);
  // Goes on reading from `offset` bytes into the file. Throws FileReadError.
  void seek(std::int64_t offset);
  // The size when opened [bytes].
  std::int64_t size() const { return size_; }
  // The file's identity: two names of one file give the same. (On Windows: the volume's serial
  // number and the file's index.)
  std::uint64_t device() const { return device_; }
  std::uint64_t inode() const { return inode_; }

 private:
  int fd_ = -1;
  std::int64_t size_ = 0;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
};

// Every byte of a regular file of at most maxBytes; a larger one is refused with EFBIG, before any
// byte is read. Throws FileReadError.
std::string readWholeFile(const std::string& path, std::size_t maxBytes);

// The reason RegularFile gives for anything but a regular file or a folder.
inline constexpr const char* kNotRegularFile = "not a regular file";

}  // namespace kelvak

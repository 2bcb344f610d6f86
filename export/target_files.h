// The files an export writes: checked before any work, written under a temporary name beside
// them, and given their names only when whole, under a lock, so that nothing that stood before is
// harmed by an export that fails, is refused or runs at the same time as another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace kelvak {

// Why a file of an export was not written, as a message in any language can say it.
enum class WriteFault {
  System,           // the system's error `error`
  SymbolicLink,     // a link is never replaced
  NotRegular,       // a device, a FIFO, a socket: only a regular file is replaced
  NoTemporaryName,  // no free temporary name beside the target
  NoFileName,       // the path names a folder
  SoundFileItself,  // the key would be the sound file (`other`)
  TextFileSent,     // the file would be the text file being sent
  TooLongForWav,    // the sound would not fit a WAV file
  Encoder,          // the encoder failed, in its own words (`other`)
};
struct WriteFailure {
  std::string path;
  WriteFault fault = WriteFault::System;
  int error = 0;      // with System: the errno value
  std::string other;  // with SoundFileItself: its path; with Encoder: its words
};
// The reason in the command line's words: "no such file or directory", "a symbolic link, ...".
std::string englishReason(const WriteFailure& failure);

// A file of an export was not written; the message is the command line's: "cannot write 'PATH':
// REASON".
class ExportFileError : public KelvakError {
 public:
  explicit ExportFileError(WriteFailure failure)
      : KelvakError("cannot write '" + failure.path + "': " + englishReason(failure)),
        failure_(std::move(failure)) {}
  ExportFileError(WriteFailure failure, const std::string& message)
      : KelvakError(message), failure_(std::move(failure)) {}
  const WriteFailure& failure() const { return failure_; }

 private:
  WriteFailure failure_;
};

// The target cannot be written, or is no file the export may replace: the user's input, found
// before any work.
class UnwritablePathError : public ExportFileError {
 public:
  using ExportFileError::ExportFileError;
};

// Writing failed part-way (an encoder error, a full disk): the export itself failed.
class AudioWriteError : public ExportFileError {
 public:
  using ExportFileError::ExportFileError;
};

// A file as the system knows it, whatever name it is reached by.
struct FileIdentity {
  std::uint64_t device;
  std::uint64_t inode;
};
// The identity of the file a path leads to; nothing when there is none to be had.
std::optional<FileIdentity> identityOf(const std::string& path);

// One file to write. The target may be missing (it is made) or a regular file (it is replaced,
// keeping its permissions and, where allowed, its owner). Anything else is refused: a folder, a
// device, a FIFO, a socket, and a symbolic link, wherever it leads (the folders on the way may be
// links).
class TargetFile {
 public:
  // Checks the target, removes the temporary files for it that exports of ours left when they
  // died (removeOwnLeftovers), and creates this one's temporary file. Throws UnwritablePathError.
  explicit TargetFile(const std::string& path);
  // Removes the temporary file unless it was committed.
  ~TargetFile();
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  const std::string& path() const { return path_; }            // as given
  const std::string& temporary() const { return temporary_; }  // being written
  int fd() const { return fd_; }

  // Writes every byte at the file's offset. Throws AudioWriteError; a short write is a failure.
  void write(const void* data, std::size_t n);
  // True when both name the same file, or the same name in the same folder.
  bool sameAs(const TargetFile& other) const;
  // True when the target is the file of this identity.
  bool isFile(std::uint64_t device, std::uint64_t inode) const;

  // Throws AudioWriteError naming the target and the reason for errno `error`.
  [[noreturn]] void fail(int error) const;

 private:
  friend void commitTargets(const std::vector<TargetFile*>& targets);
  void flushAndClose();

  std::string path_;  // as given
  std::string temporary_;
  int fd_ = -1;
  bool exists_ = false;  // a regular file stood there when checked
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::uint64_t folderDevice_ = 0;
  std::uint64_t folderInode_ = 0;
  std::string name_;  // the file name within its folder
  bool committed_ = false;
};

// Makes every target whole on disk and gives each its name, holding a lock on their folders, so
// that of two exports to the same names the pair left belongs together. Before the first rename
// each target is checked again; when a rename fails, the names already replaced get their files
// back, so either every target has its new file or none was touched. Throws UnwritablePathError
// (a target changed into something that may not be replaced) or AudioWriteError.
void commitTargets(const std::vector<TargetFile*>& targets);

}  // namespace kelvak

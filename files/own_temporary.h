// The program's own temporary files: a file is written under a name no other program makes, then
// renamed over its target. A process killed before the rename leaves its temporary file behind;
// only such leftovers are ever removed, and only when they are provably ours.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kelvak {

// The name of a temporary file for `name` (a file name without folder) written by process `pid`
// that started at `start` (clock ticks after boot, as the system counts them):
// ".NAME.kelvak-PID-START-NUMBER.part". Within the file system's bound on a name (255 bytes): a
// long NAME is shortened, never within a UTF-8 character.
std::string ownTemporaryName(const std::string& name, long pid, std::uint64_t start,
                             unsigned number);

// True when `found` is, to the byte, a name ownTemporaryName gives for `name` (with a known start);
// then `pid` and `start` are the process that named it.
bool isOwnTemporaryOf(const std::string& found, const std::string& name, long& pid,
                      std::uint64_t& start);

// When the running process `pid` started [clock ticks after boot; on Windows, 100 ns units since
// 1601]; 0 when it is gone or cannot be told.
std::uint64_t processStart(long pid);

// A fresh temporary name beside `target` (its folder and ownTemporaryName of this process).
std::string ownTemporaryPath(const std::string& target);

// A fresh temporary file beside `target`, created with O_EXCL (mode `mode` less the umask).
struct OwnTemporary {
  std::string path;
  int fd = -1;  // -1: not created, `error` says why (an errno)
  int error = 0;
};
OwnTemporary createOwnTemporary(const std::string& target, mode_t mode);

// Removes, in `folder`, the temporary files of target `name` that processes of ours left when
// they died: regular files of this user, named exactly as ownTemporaryName names them for `name`,
// whose process is gone (no process has its number, or the one that has it started at another
// time). Anything else is left alone. Returns how many were removed.
int removeOwnLeftovers(const std::string& folder, const std::string& name);

}  // namespace kelvak

// What the tests do the system's own way: system_posix.cpp on Linux, system_win32.cpp on Windows.
// A test that cannot apply on a system asks why here and skips with that reason; the calls that
// need a feature are made only where missingFeature() names none.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvak::test_platform {

enum class SystemFeature {
  Fifo,               // named pipes in the file system
  Fork,               // a copy of the test process, also run as another user
  SmallFileSystem,    // mounting a small file system to fill
  AlwaysFullDevice,   // /dev/full
  EndlessDevice,      // /dev/zero, reached through a symbolic link
  FolderPermissions,  // a folder's permissions keep its owner from making files in it
  ReadOnlyFolder,     // the same for the user the tests run as (not the superuser)
};

// Why the feature is missing on this system; nullptr when it is there.
const char* missingFeature(SystemFeature feature);

// A regular file that exists on every machine and may not be written by the tests.
std::string systemRegularFile();
// The device that takes everything and keeps nothing (/dev/null, NUL).
std::string nullDevice();

// Makes a FIFO at `path`; false when it could not.
bool makeFifo(const std::string& path);
// Opens the FIFO for writing without waiting and closes it: a reader waiting for a writer goes on.
void openFifoForWriting(const std::string& path);

// Names that are no regular file: devices that never end or swallow everything, and a folder.
std::vector<std::string> devicesAndFolders();

// The character the system's own converter gives for one byte of a code page (by its Windows
// number, or by its iconv name on Linux); nothing when it rejects the byte.
std::optional<char32_t> systemCodePageChar(int codePage, const char* iconvName, std::uint8_t byte);

// True when the tests run as the superuser, who writes anywhere.
bool isSuperuser();
// Runs `body` in a copy of this process and returns its result (0..255), or -1 when the copy
// could not be made or did not end normally. With `asNobody`, the copy first becomes the user
// nobody and returns 3 when it cannot.
long startChild(const std::function<int()>& body, bool asNobody = false);
int waitForChild(long child);

// Mounts a file system of `size` (e.g. "16k") on the folder; false, with the reason, when it
// cannot. unmount() lets it go.
bool mountSmallFileSystem(const std::string& folder, const char* size, std::string& why);
void unmount(const std::string& folder);

// Takes, as another program writing the history would, the lock its writers take on the history
// file `path` and holds it until the returned object ends: flock() on Linux; on Windows the byte
// far past the end that history_win32.cpp locks. Empty when it could not be taken.
std::shared_ptr<void> holdHistoryLock(const std::string& path);

}  // namespace kelvak::test_platform

// What the tests do the system's own way: system_posix.cpp on Linux, system_win32.cpp on Windows.
// A test that cannot apply on a system asks why here and skips with that reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvak::test_platform {

enum class SystemFeature {
  Fifo,            // named pipes in the file system
  ForkAndMount,    // fork(), and mounting a small file system to fill
  DeviceFullFile,  // /dev/full, the device that is always full
  ReadOnlyFolder,  // a folder whose rights keep this user from making files in it
};

// Why the feature is missing on this system; nullptr when it is there.
const char* missingFeature(SystemFeature feature);

// Makes a FIFO at `path`; false when it could not. Only where the system has FIFOs.
bool makeFifo(const std::string& path);
// Opens the FIFO for writing without waiting and closes it: a reader waiting for a writer goes on.
void openFifoForWriting(const std::string& path);

// A regular file that exists on every machine and may not be written by the tests.
std::string systemRegularFile();

// Names that are no regular file: devices that never end or swallow everything, and a folder.
std::vector<std::string> devicesAndFolders();

// The character the system's own converter gives for one byte of a code page (by its Windows
// number, or by its iconv name on Linux); nothing when it rejects the byte.
std::optional<char32_t> systemCodePageChar(int codePage, const char* iconvName, std::uint8_t byte);

}  // namespace kelvak::test_platform

// The tests' system calls on Windows.
#include <windows.h>

#include <filesystem>

#include "tests/platform/system.h"

namespace kelvak::test_platform {

const char* missingFeature(SystemFeature feature) {
  switch (feature) {
    case SystemFeature::Fifo:
      return "Windows has no FIFOs in the file system (its named pipes live in \\\\.\\pipe\\)";
    case SystemFeature::ForkAndMount:
      return "Windows has no fork() and no small file system to mount and fill";
    case SystemFeature::DeviceFullFile:
      return "Windows has no always-full device like /dev/full";
    case SystemFeature::ReadOnlyFolder:
      return "Windows ignores a folder's read-only attribute; its rights are access lists";
  }
  return "unknown feature";
}

std::string systemRegularFile() { return "C:\\Windows\\win.ini"; }

bool makeFifo(const std::string&) { return false; }

void openFifoForWriting(const std::string&) {}

// The null device and the console under their reserved names, in any folder and any case, and a
// folder.
std::vector<std::string> devicesAndFolders() {
  return {"NUL", "nul.txt", "CON", "C:\\Windows\\NUL",
          std::filesystem::temp_directory_path().string()};
}

// The system's converter, which rejects bytes its table leaves undefined.
std::optional<char32_t> systemCodePageChar(int codePage, const char*, std::uint8_t byte) {
  const char in = static_cast<char>(byte);
  wchar_t out[2] = {};
  const int n = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, &in, 1,
                                    out, 2);
  if (n != 1) return std::nullopt;
  return static_cast<char32_t>(out[0]);
}

}  // namespace kelvak::test_platform

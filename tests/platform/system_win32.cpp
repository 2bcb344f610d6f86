// The tests' system calls on Windows.
#include <windows.h>

#include <filesystem>

#include "tests/platform/system.h"

namespace kelvak::test_platform {

const char* missingFeature(SystemFeature feature) {
  switch (feature) {
    case SystemFeature::Fifo:
      return "Windows has no FIFOs in the file system (its named pipes live in \\\\.\\pipe\\)";
    case SystemFeature::Fork:
      return "Windows has no fork(): a copy of the test process cannot be made";
    case SystemFeature::SmallFileSystem:
      return "Windows has no small file system to mount and fill";
    case SystemFeature::AlwaysFullDevice:
      return "Windows has no always-full device like /dev/full";
    case SystemFeature::EndlessDevice:
      return "Windows has no endless device like /dev/zero to link to";
    case SystemFeature::FolderPermissions:
    case SystemFeature::ReadOnlyFolder:
      return "Windows ignores a folder's read-only attribute; its rights are access lists";
  }
  return "unknown feature";
}

std::string systemRegularFile() { return "C:\\Windows\\win.ini"; }
std::string nullDevice() { return "NUL"; }

// Not called: missingFeature(Fifo) names the reason.
bool makeFifo(const std::string&) { return false; }
void openFifoForWriting(const std::string&) {}

// The null device and the console under their reserved names, also with an extension and in a
// folder, and a folder.
std::vector<std::string> devicesAndFolders() {
  return {"NUL", "nul.txt", "CON", "C:\\Windows\\NUL",
          std::filesystem::temp_directory_path().string()};
}

// The system's converter, which rejects bytes its table leaves undefined.
std::optional<char32_t> systemCodePageChar(int codePage, const char*, std::uint8_t byte) {
  const char in = static_cast<char>(byte);
  wchar_t out[2] = {};
  const int n =
      MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, &in, 1, out, 2);
  if (n != 1) return std::nullopt;
  return static_cast<char32_t>(out[0]);
}

bool isSuperuser() { return false; }

// Not called: missingFeature(Fork) and missingFeature(SmallFileSystem) name the reasons.
long startChild(const std::function<int()>&, bool) { return -1; }
int waitForChild(long) { return -1; }
bool mountSmallFileSystem(const std::string&, const char*, std::string& why) {
  why = missingFeature(SystemFeature::SmallFileSystem);
  return false;
}
void unmount(const std::string&) {}

// A handle of its own: a Windows lock is a handle's, so the history's own handle, even in this
// process, finds the byte locked.
std::shared_ptr<void> holdHistoryLock(const std::string& path) {
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
    CloseHandle(h);
    return nullptr;
  }
  return std::shared_ptr<HANDLE>(new HANDLE(h), [](HANDLE* held) {
    CloseHandle(*held);
    delete held;
  });
}

}  // namespace kelvak::test_platform

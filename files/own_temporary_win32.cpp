// Creating the program's temporary files and cleaning up after them, with the Windows calls.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "files/own_temporary.h"
#include "text/win32_handle.h"
#include "text/win32_strings.h"

namespace kelvak {

namespace {

std::atomic<unsigned> counter{0};

std::filesystem::path folderBeside(const std::string& target) {
  const std::filesystem::path file(wideOf(target));
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(L".");
}

// True only when the file's owner is, provably, the user this process runs as.
bool ownedByThisUser(const std::wstring& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool same = false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
      same = EqualSid(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, owner) != 0;
    }
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return same;
}

}  // namespace

// The process's creation time, which with its number names it for good (numbers are reused).
std::uint64_t processStart(long pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!process) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  DWORD code = 0;
  std::uint64_t start = 0;
  if (GetProcessTimes(process, &created, &exited, &kernel, &user) &&
      GetExitCodeProcess(process, &code) && code == STILL_ACTIVE) {
    start = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
  }
  CloseHandle(process);
  return start;
}

std::string ownTemporaryPath(const std::string& target) {
  const long pid = static_cast<long>(GetCurrentProcessId());
  const std::string name = utf8OfWide(std::filesystem::path(wideOf(target)).filename().native());
  return utf8OfWide(
      (folderBeside(target) / wideOf(ownTemporaryName(name, pid, processStart(pid), counter++)))
          .native());
}

// The mode has no meaning on Windows: the file takes its folder's permissions.
OwnTemporary createOwnTemporary(const std::string& target, mode_t) {
  OwnTemporary out;
  for (int attempt = 0; attempt < 100; ++attempt) {
    out.path = ownTemporaryPath(target);
    // Others may read it and its name may change while it is open, as on Linux.
    HANDLE h = CreateFileW(wideOf(out.path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      out.fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
      if (out.fd >= 0) return out;
      CloseHandle(h);
      DeleteFileW(wideOf(out.path).c_str());
      out.error = EMFILE;
      return out;
    }
    const DWORD error = GetLastError();
    out.error = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                    ? EEXIST
                    : errnoOfWindowsError(error);
    if (out.error != EEXIST) return out;
  }
  return out;
}

// The Linux rule, kept where Windows can prove it and stricter where it cannot: a file goes only
// when its name is exactly ours for this target, it is a plain file (no folder, no link), its
// owner is provably this user, and its process is provably gone: no process has the number, or
// the one that has it was created at another time. A process that cannot be opened to be asked
// (another user's, a protected one) is taken as the writer, alive, and its file stays.
int removeOwnLeftovers(const std::string& folder, const std::string& name) {
  const std::filesystem::path where(wideOf(folder));
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW((where / L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    const std::string found = utf8OfWide(entry.cFileName);
    long pid = 0;
    std::uint64_t start = 0;
    if (!isOwnTemporaryOf(found, name, pid, start)) continue;
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    const std::wstring path = (where / entry.cFileName).native();
    if (!ownedByThisUser(path)) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process) {
      CloseHandle(process);
      const std::uint64_t now = processStart(pid);
      if (now == 0 || now == start) continue;
    } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
      continue;  // there, but not ours to ask
    }
    if (DeleteFileW(path.c_str())) ++removed;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return removed;
}

}  // namespace kelvak

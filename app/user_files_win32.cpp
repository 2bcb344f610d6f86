// The user's files in %APPDATA%\Kelvak, where a Windows program keeps what roams with its user.
#include <cstdlib>

#include "app/user_files.h"
#include "text/win32_strings.h"

namespace kelvak {

std::string userFilePath(UserFile file) {
  const wchar_t* data = _wgetenv(L"APPDATA");
  const std::string folder = utf8OfWide(data ? data : L".") + "\\Kelvak\\";
  return folder + (file == UserFile::History ? "history.jsonl" : "settings.json");
}

}  // namespace kelvak

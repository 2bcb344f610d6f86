// Where the program keeps the user's own files, for the windows and the command line alike.
#pragma once

#include <string>

namespace kelvak {

enum class UserFile {
  History,   // the checks, one line each; the course's file lies beside it
  Settings,  // the window's settings of the last run
};

// The file's path. On Linux, the folders the desktop names: the history in $XDG_DATA_HOME/kelvak
// (~/.local/share/kelvak), the settings in $XDG_CONFIG_HOME/kelvak (~/.config/kelvak), exactly as
// the window has always kept them. On Windows, all of them in %APPDATA%\Kelvak. Whatever the
// program's file is called.
std::string userFilePath(UserFile file);

}  // namespace kelvak

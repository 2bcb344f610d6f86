// The user's files in the folders of the XDG base directories, read the way the window's toolkit
// read them before: a variable that is set and not empty is taken as it stands, a home folder is
// cleaned of "." and ".." and of a trailing "/", and an empty or unset HOME is the root.
#include <cstdlib>
#include <filesystem>

#include "app/user_files.h"

namespace kelvak {

namespace {

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return "/";
  std::string clean = std::filesystem::path(home).lexically_normal().string();
  if (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  return clean;
}

// $variable, or the home folder's `fallback` below it.
std::string baseFolder(const char* variable, const char* fallback) {
  const char* set = std::getenv(variable);
  return set && *set ? set : homeFolder() + fallback;
}

}  // namespace

std::string userFilePath(UserFile file) {
  switch (file) {
    case UserFile::History:
      return baseFolder("XDG_DATA_HOME", "/.local/share") + "/kelvak/history.jsonl";
    case UserFile::Settings:
      return baseFolder("XDG_CONFIG_HOME", "/.config") + "/kelvak/settings.json";
  }
  return {};
}

}  // namespace kelvak

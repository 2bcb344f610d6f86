// The user's files lie where the window kept them before: the toolkit's own answer for the program
// named kelvak, in the environments a user may start it in.
#include "app/user_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <optional>
#include <string>

namespace kelvak {
namespace {

// One start's environment; nullopt: unset.
struct Environment {
  const char* name;
  std::optional<std::string> home, dataHome, configHome;
};
void PrintTo(const Environment& e, std::ostream* os) { *os << e.name; }

void setVariable(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

class UserFiles : public ::testing::TestWithParam<Environment> {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
      if (const char* v = getenv(name)) saved_.emplace_back(name, v);
    }
    const Environment& e = GetParam();
    setVariable("HOME", e.home);
    setVariable("XDG_DATA_HOME", e.dataHome);
    setVariable("XDG_CONFIG_HOME", e.configHome);
    // The window's toolkit named the folder after the program's file.
    QCoreApplication::setApplicationName("kelvak");
  }
  void TearDown() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

// What the window used before: the toolkit's writable folder and the file's name in it.
std::string toolkitPath(QStandardPaths::StandardLocation location, const char* file) {
  return QDir(QStandardPaths::writableLocation(location)).filePath(file).toStdString();
}

TEST_P(UserFiles, LieWhereTheWindowKeptThem) {
  EXPECT_EQ(userFilePath(UserFile::History),
            toolkitPath(QStandardPaths::AppDataLocation, "history.jsonl"));
  EXPECT_EQ(userFilePath(UserFile::Settings),
            toolkitPath(QStandardPaths::AppConfigLocation, "settings.json"));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, UserFiles,
    ::testing::Values(Environment{"HomeOnly", "/home/anna", {}, {}},
                      Environment{"XdgFolders", "/home/anna", "/srv/data", "/srv/config"},
                      Environment{"EmptyXdgFolders", "/home/anna", "", ""},
                      Environment{"XdgFoldersWithSlashes", "/home/anna", "/srv/data/", "/srv//c"},
                      Environment{"RelativeXdgFolders", "/home/anna", "data", "config"},
                      Environment{"HomeWithDotsAndSlash", "/home/./anna/../boris/", {}, {}},
                      Environment{"HomeUnset", {}, {}, {}},
                      Environment{"CyrillicHome", "/home/анна", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvak

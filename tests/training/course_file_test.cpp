// The course file against hostile files and a second copy of the program: each row a file as it
// may be found, what loading it gives, and what a change leaves in the folder; nothing that stood
// there may be lost.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/error.h"
#include "files/own_temporary.h"
#include "training/course_progress.h"
#include "training/kept_settings.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

enum class Found { Text, Missing, Fifo, DevZero, Folder, Huge, LockHeld, Leftovers, ReadOnly };

struct CourseCase {
  const char* name;
  Found found;
  std::string text;              // course.json's text, for Text and LockHeld
  std::array<int, 3> lessons;    // as loaded: digits, letters, mixture
  bool on;                       // as loaded
  const char* notice;            // a part of the load's notice; "" for none
  const char* failure = "";      // a part of the load's error; "" when it loads
  const char* changeFails = "";  // a part of the change's error; "" when it changes
};
void PrintTo(const CourseCase& c, std::ostream* os) { *os << c.name; }

const std::string kWhole = R"({"on":true,"lessons":{"digits":2,"letters":4,"mixture":3},"steps":[)"
                           R"({"time":"2026-12-09T12:40:00Z","set":"letters","lesson":4}]})";

std::string with(const std::string& from, const std::string& to) {
  std::string out = kWhole;
  out.replace(out.find(from), from.size(), to);
  return out;
}

std::string readText(const fs::path& p) {
  std::stringstream ss;
  ss << std::ifstream(p, std::ios::binary).rdbuf();
  return ss.str();
}

// Every name in the folder with its kind and, for a regular file, its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const fs::file_status st = e.symlink_status();
    std::string& entry = out[e.path().filename().string()];
    entry = std::to_string(static_cast<int>(st.type())) + " ";
    if (st.type() == fs::file_type::symlink) entry += fs::read_symlink(e.path()).string();
    if (st.type() == fs::file_type::regular) entry += readText(e.path());
  }
  return out;
}

long endedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

class CourseFileRows : public testing::TestWithParam<CourseCase> {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kelvak_course_rows_" + std::to_string(getpid()));
  fs::path file = dir / "course.json";
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    umount2(dir.c_str(), MNT_DETACH);  // the read-only row's; nothing otherwise
    fs::remove_all(dir);
  }
};

TEST_P(CourseFileRows, ReadsWhatCanBeReadAndLosesNothing) {
  const CourseCase& c = GetParam();
  const std::string ours = ownTemporaryName("course.json", endedProcess(), 5, 0);
  const std::string foreign = "course.json.Ab12Cd";  // as mkstemp names: maybe not ours
  switch (c.found) {
    case Found::Text:
    case Found::LockHeld:
      std::ofstream(file, std::ios::binary) << c.text;
      break;
    case Found::Missing:
      break;
    case Found::ReadOnly:
      std::ofstream(file, std::ios::binary) << c.text;
      if (mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
          mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        GTEST_SKIP() << "no read-only folder: mount: " << std::strerror(errno);
      }
      break;
    case Found::Fifo:
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
      break;
    case Found::DevZero:
      fs::create_symlink("/dev/zero", file);
      break;
    case Found::Folder:
      fs::create_directory(file);
      break;
    case Found::Huge:
      std::ofstream(file, std::ios::binary) << std::string(kMaxCourseBytes + 1, ' ');
      break;
    case Found::Leftovers:
      std::ofstream(file, std::ios::binary) << kWhole;
      std::ofstream(dir / ours) << "a save killed before its rename";
      std::ofstream(dir / foreign) << "another program's";
      break;
  }
  const auto before = snapshot(dir);
  const CourseFile course(file.string());
  const std::time_t changedFrom = std::time(nullptr);

  const auto started = std::chrono::steady_clock::now();
  CourseState loaded;
  std::string failure;
  try {
    loaded = course.load();
  } catch (const KelvakError& e) {
    failure = e.what();
  }
  // A FIFO or a device answers at once, with no flood of memory.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  if (*c.failure) {
    EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
    EXPECT_NE(failure.find(file.string()), std::string::npos) << failure;
  } else {
    ASSERT_EQ(failure, "");
    EXPECT_EQ(loaded.progress.lessons, c.lessons);
    EXPECT_EQ(loaded.progress.on, c.on);
    if (*c.notice) {
      EXPECT_NE(loaded.notice.find(c.notice), std::string::npos) << loaded.notice;
      EXPECT_NE(loaded.notice.find(file.string()), std::string::npos) << loaded.notice;
    } else {
      EXPECT_EQ(loaded.notice, "");
    }
  }

  // Another copy holds the lock: the change gives up within its wait, and touches nothing.
  const int other = c.found == Found::LockHeld ? open(dir.c_str(), O_RDONLY | O_DIRECTORY) : -1;
  if (other >= 0) {
    ASSERT_EQ(flock(other, LOCK_EX), 0);
  }
  std::string changeFailure;
  CourseState changed;
  const auto changeStarted = std::chrono::steady_clock::now();
  try {
    changed = course.change([](CourseProgress& p) { p.moveTo(CourseSet::Letters, 9, 1); });
  } catch (const KelvakError& e) {
    changeFailure = e.what();
  }
  if (other >= 0) {
    // ... and not before it: the other copy may be about to let go.
    EXPECT_GE(std::chrono::steady_clock::now() - changeStarted,
              std::chrono::milliseconds(kCourseLockWaitMs));
    close(other);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started,
            std::chrono::milliseconds(kCourseLockWaitMs + 1000));
  const auto after = snapshot(dir);
  if (*c.changeFails) {
    EXPECT_NE(changeFailure.find(c.changeFails), std::string::npos) << changeFailure;
    EXPECT_EQ(after, before);
    return;
  }
  ASSERT_EQ(changeFailure, "");
  // Only the letters changed; what was read of the rest is written back.
  std::array<int, 3> expected = c.lessons;
  expected[1] = 9;
  const CourseState back = course.load();
  EXPECT_EQ(back.notice, "");
  EXPECT_EQ(back.progress.lessons, expected);
  EXPECT_EQ(back.progress.on, c.on);

  // Nothing lost: a damaged file stands beside, byte for byte, under the name the notice gives.
  std::string kept;
  for (const auto& [name, entry] : after) {
    if (name.starts_with("course.json.damaged-")) kept = name;
  }
  if (*c.notice) {
    ASSERT_NE(kept, "");
    EXPECT_EQ(after.at(kept), before.at("course.json"));
    EXPECT_NE(changed.notice.find((dir / kept).string()), std::string::npos) << changed.notice;
    // The name tells when it was kept, to the second, in local time.
    bool when = false;
    for (std::time_t t = changedFrom; t <= std::time(nullptr) && !when; ++t) {
      std::tm local{};
      localtime_r(&t, &local);
      char stamp[32];
      std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
      when = kept == std::string("course.json.damaged-") + stamp;
    }
    EXPECT_TRUE(when) << kept;
  } else {
    EXPECT_EQ(kept, "");
  }
  for (const auto& [name, entry] : before) {
    if (name == "course.json") continue;
    if (name == ours) {
      EXPECT_EQ(after.count(name), 0u) << "our leftover stays";
    } else {
      EXPECT_EQ(after.at(name), entry) << name;
    }
  }
  EXPECT_EQ(after.size(), before.size() + (kept.empty() ? 0 : 1) +
                              (before.count("course.json") ? 0 : 1) - before.count(ours));
}

INSTANTIATE_TEST_SUITE_P(
    Found, CourseFileRows,
    testing::Values(
        CourseCase{"Whole", Found::Text, kWhole, {2, 4, 3}, true, ""},
        CourseCase{"Missing", Found::Missing, "", {1, 1, 1}, false, ""},
        CourseCase{"TrailingComma", Found::Text, kWhole + ",", {2, 4, 3}, true, "байта"},
        CourseCase{"TrailingCommaInside",
                   Found::Text,
                   with("\"mixture\":3", "\"mixture\":3,"),
                   {2, 4, 3},
                   true,
                   "steps"},
        CourseCase{"CutShort", Found::Text, kWhole.substr(0, 50), {2, 4, 1}, true, "mixture"},
        CourseCase{"OnIsYes", Found::Text, with("true", "\"yes\""), {2, 4, 3}, false, "on"},
        CourseCase{"LessonIsAString",
                   Found::Text,
                   with("\"letters\":4", "\"letters\":\"7\""),
                   {2, 1, 3},
                   true,
                   "lessons.letters"},
        CourseCase{"LessonBelowOne",
                   Found::Text,
                   with("\"digits\":2", "\"digits\":-3"),
                   {1, 4, 3},
                   true,
                   "lessons.digits"},
        CourseCase{"LessonHuge",
                   Found::Text,
                   with("\"mixture\":3", "\"mixture\":1e300"),
                   {2, 4, 1},
                   true,
                   "lessons.mixture"},
        CourseCase{"LessonWrapsAt32Bits",
                   Found::Text,
                   with("\"letters\":4", "\"letters\":4294967299"),
                   {2, 1, 3},
                   true,
                   "lessons.letters"},
        CourseCase{"LessonBeyondTheSet",
                   Found::Text,
                   with("\"digits\":2", "\"digits\":10"),
                   {1, 4, 3},
                   true,
                   "lessons.digits"},
        CourseCase{"ADamagedStep",
                   Found::Text,
                   with("\"lesson\":4", "\"lesson\":99"),
                   {2, 4, 3},
                   true,
                   "steps[0]"},
        CourseCase{"NoJsonAtAll", Found::Text, "\x01\xff garbage", {1, 1, 1}, false, "байта"},
        CourseCase{"TooLarge", Found::Huge, "", {1, 1, 1}, false, "слишком велик"},
        CourseCase{"AFifo", Found::Fifo, "", {}, false, "", "не обычный файл", "не обычный файл"},
        CourseCase{"LinkedToDevZero",
                   Found::DevZero,
                   "",
                   {},
                   false,
                   "",
                   "не обычный файл",
                   "не обычный файл"},
        CourseCase{"AFolder", Found::Folder, "", {}, false, "", "это папка", "это папка"},
        CourseCase{"LockHeldByAnotherCopy",
                   Found::LockHeld,
                   kWhole,
                   {2, 4, 3},
                   true,
                   "",
                   "",
                   "другая копия"},
        CourseCase{"LeftoversOfAKilledSave", Found::Leftovers, "", {2, 4, 3}, true, ""},
        CourseCase{"AStepWithoutItsSet",
                   Found::Text,
                   with("\"set\":\"letters\",", ""),
                   {2, 4, 3},
                   true,
                   "steps"},
        CourseCase{"AStepToTheFirstLesson",
                   Found::Text,
                   with("\"lesson\":4}", "\"lesson\":1}"),
                   {2, 4, 3},
                   true,
                   ""},
        // Damage that cannot be kept aside: nothing is saved over it, and the reason is said.
        CourseCase{"DamagedOnAReadOnlyDisk",
                   Found::ReadOnly,
                   kWhole + ",",
                   {2, 4, 3},
                   true,
                   "байта",
                   "",
                   "только для чтения"}),
    [](const auto& info) { return std::string(info.param.name); });

// Two copies of the program change their own sets at the same time, again and again: every step
// of each stays, and each set ends at its copy's last lesson.
TEST(CourseFileTwoCopies, NeitherLosesTheOthersSteps) {
  const fs::path dir =
      fs::temp_directory_path() / ("kelvak_course_two_" + std::to_string(getpid()));
  fs::remove_all(dir);
  const CourseFile course((dir / "course.json").string());
  constexpr int kRounds = 25;
  auto steps = [&](CourseSet set) {
    int failed = 0;
    for (int k = 0; k < kRounds; ++k) {
      try {
        course.change([&](CourseProgress& p) { p.moveTo(set, 2 + k % 8, 1'796'000'000 + k); });
      } catch (const KelvakError&) {
        ++failed;  // the other copy held the lock all the wait: told, not lost
      }
    }
    return failed;
  };
  const pid_t child = fork();
  if (child == 0) _exit(steps(CourseSet::Digits));
  const int failedHere = steps(CourseSet::Letters);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  const int failedThere = WEXITSTATUS(status);
  const CourseState back = course.load();
  EXPECT_EQ(back.notice, "");
  int digits = 0, letters = 0;
  for (const CourseStep& s : back.progress.steps) (s.set == CourseSet::Digits ? digits : letters)++;
  EXPECT_EQ(digits, kRounds - failedThere);
  EXPECT_EQ(letters, kRounds - failedHere);
  EXPECT_EQ(back.progress.lesson(CourseSet::Digits), 2 + (kRounds - 1) % 8);
  EXPECT_EQ(back.progress.lesson(CourseSet::Letters), 2 + (kRounds - 1) % 8);
  fs::remove_all(dir);
}

// The window's settings: a missing file gives the defaults, a saved one what was saved; one that
// cannot be read is said, never taken for a missing one (whose defaults would be saved over it).
TEST(SettingsFileLoad, AMissingFileIsNoneASavedOneComesBackAndAnUnreadableOneIsSaid) {
  const fs::path dir = fs::temp_directory_path() / ("kelvak_settings_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::create_symlink("loop", dir / "loop");  // a path that never resolves: ELOOP
  const SettingsFile file((dir / "settings.json").string());
  EXPECT_FALSE(file.load().has_value());
  KeptSettings kept;
  kept.speed = 20;
  file.save(kept);
  EXPECT_EQ(file.load(), kept);
  EXPECT_THROW(SettingsFile((dir / "loop" / "settings.json").string()).load(), KelvakError);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvak

// The command line: option values and ranges, the messages for bad input, exit codes and files.
#include "app/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "tests/export/export_test_files.h"
#include "files/own_temporary.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

using testing::TempFolder;

// The names in a folder, hidden ones too, sorted.
std::vector<std::string> folderNames(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The words of a command line written as one string.
std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST(CommandLine, NoOptionsOfOursLeaveTheWindow) {
  EXPECT_EQ(parseCommandLine({}).action, CommandLine::Action::Window);
  EXPECT_EQ(parseCommandLine(words("-platform offscreen")).action, CommandLine::Action::Window);
  EXPECT_EQ(parseCommandLine(words("--help")).action, CommandLine::Action::Help);
}

TEST(CommandLine, OptionsGiveTheWindowsSettings) {
  const CommandLine cl = parseCommandLine(
      words("--export a.mp3 --text letters --groups=7 --speed 30 --tone 100 --signal 50 --noise "
            "100 --char-pause 5 --group-pause 1 --long-zero --special-signs --no-key --seed "
            "18446744073709551615"));
  ASSERT_EQ(cl.action, CommandLine::Action::Export);
  EXPECT_FALSE(cl.options.keyPath);  // --no-key
  EXPECT_EQ(cl.options.seed, 18446744073709551615u);
  const TransmissionSettings s = settingsFor(cl.options, {});
  EXPECT_EQ(std::tie(s.textKind, s.groups, s.speed, s.frequency, s.charPause, s.groupPause),
            std::make_tuple(1, 7, 30, 100, 5, 1));
  EXPECT_EQ(s.signalPosition, 63);  // the one position whose label shows 50
  EXPECT_EQ(s.noisePosition, 0);
  EXPECT_TRUE(s.longZero && s.specialSigns && s.randomSource);
}

TEST(CommandLine, AFileNamedLikeAnOptionIsWrittenWithItsFolder) {
  const CommandLine cl = parseCommandLine(words("--export ./--weak.wav --key ./--no-key --weak"));
  EXPECT_EQ(cl.options.audioPath, "./--weak.wav");
  EXPECT_EQ(cl.options.keyPath, "./--no-key");
  EXPECT_TRUE(cl.options.weak);
}

// Without options an export is what the window sends when it opens, from the generator's first
// state; each numbered option spans the window's control (by the settings table, which the window
// reads too) and says so in the help, and a value sets what the control would show for it.
TEST(CommandLine, EachSettingsRowGivesItsOptionsDefaultRangeAndHelp) {
  const ExportRequest plain = parseCommandLine({"--export", "a.wav"}).options;
  const TransmissionSettings opened;
  const auto all = [](const TransmissionSettings& s) {
    return std::tuple(s.speed, s.textKind, s.frequency, s.signalPosition, s.noisePosition, s.groups,
                      s.charPause, s.groupPause, s.randomSource, s.longZero, s.specialSigns);
  };
  EXPECT_EQ(all(settingsFor(plain, {})), all(opened));
  EXPECT_EQ(plain.seed, Random().state());

  // The record's field that each row's control holds.
  const std::map<Setting, std::int32_t TransmissionSettings::*> fields = {
      {Setting::Groups, &TransmissionSettings::groups},
      {Setting::Speed, &TransmissionSettings::speed},
      {Setting::Tone, &TransmissionSettings::frequency},
      {Setting::Signal, &TransmissionSettings::signalPosition},
      {Setting::Noise, &TransmissionSettings::noisePosition},
      {Setting::CharPause, &TransmissionSettings::charPause},
      {Setting::GroupPause, &TransmissionSettings::groupPause}};
  ASSERT_EQ(fields.size(), std::size(kSettingTable));
  const std::string help = helpText();
  for (const auto& [setting, field] : fields) {
    const SettingRow& row = settingRow(setting);
    SCOPED_TRACE(row.option);
    EXPECT_EQ(opened.*field, row.initial);
    const int low = row.commandLow(), high = row.commandHigh();
    // Every position of the control shows a value the option takes, bar those no transmission
    // can use (speed 0).
    for (int position = row.low; position <= row.high; ++position) {
      const int shown = row.valueAt(position);
      EXPECT_TRUE((shown >= low && shown <= high) || shown < row.lowestTaken) << position;
    }
    for (int value : {low, high}) {
      const ExportRequest r =
          parseCommandLine({"--export", "a.wav", row.option, std::to_string(value)}).options;
      EXPECT_EQ(row.valueAt(settingsFor(r, {}).*field), value);
    }
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    for (int value : {low - 1, high + 1}) {
      try {
        parseCommandLine({"--export", "a.wav", row.option, std::to_string(value)});
        ADD_FAILURE() << value << " taken";
      } catch (const UsageError& e) {
        EXPECT_EQ(e.what(),
                  row.option + (": " + std::to_string(value)) + " is out of range " + range);
      }
    }
    const std::size_t line = help.find("\n  " + std::string(row.option) + " " + row.valueName);
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(help.find(range + " (" + std::to_string(row.initialValue()), line),
              std::string::npos);
  }
}

TEST(CommandLine, EveryPercentMapsToAPositionWhoseLabelShowsIt) {
  for (int percent = 0; percent <= 100; ++percent) {
    const int position = positionForPercent(percent);
    ASSERT_TRUE(position >= 0 && position <= 127);
    // The label's own computation: (127 - position) × (1/127) × 100, truncated.
    EXPECT_EQ(static_cast<int>((127 - position) * (1.0 / 127) * 100), percent);
  }
  EXPECT_EQ(positionForPercent(0), 127);  // no noise draws at all
}

struct BadInput {
  const char* name;
  const char* line;
  const char* message;
};
void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class CommandLineRefuses : public ::testing::TestWithParam<BadInput> {};

TEST_P(CommandLineRefuses, WithOneClearLine) {
  try {
    parseCommandLine(words(GetParam().line));
    FAIL() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRefuses,
    ::testing::Values(
        BadInput{"UnknownOption", "--export a.wav --fast",
                 "unknown option '--fast' (kelvak --help lists them)"},
        BadInput{"OutOfRange", "--export a.wav --speed 0", "--speed: 0 is out of range 1..30"},
        BadInput{"OutOfRangeAfterEquals", "--export a.wav --speed=31",
                 "--speed: 31 is out of range 1..30"},
        BadInput{"UnknownOptionWithValue", "--export a.wav --fast=3",
                 "unknown option '--fast' (kelvak --help lists them)"},
        BadInput{"NotAnInteger", "--export a.wav --groups 3x", "--groups: '3x' is not an integer"},
        BadInput{"NegativeSeed", "--export a.wav --seed -5",
                 "--seed: '-5' is not an integer in 0..18446744073709551615"},
        BadInput{"Huge", "--export a.wav --tone 99999999999999999999",
                 "--tone: 99999999999999999999 is out of range 100..5000"},
        BadInput{"MissingValue", "--export a.wav --noise", "--noise needs a value"},
        BadInput{"UnknownKind", "--export a.wav --text words",
                 "--text: 'words' is not one of digits, letters, mixture"},
        BadInput{"UnknownExtension", "--export a.aac",
                 "--export: unknown file extension of 'a.aac': use .wav, .flac, .ogg, .opus, .mp3"},
        BadInput{"NoExport", "--speed 5",
                 "--export FILE is needed (kelvak --help lists the options)"},
        BadInput{"StrayArgument", "--export a.wav b.wav", "unexpected argument 'b.wav'"},
        BadInput{"FlagWithValue", "--export a.wav --no-key=1", "--no-key takes no value"},
        BadInput{"KeyAndNoKey", "--export a.wav --key k.txt --no-key",
                 "--key and --no-key exclude each other"},
        BadInput{"KeyTakesAnOption", "--export a.wav --key --no-key",
                 "--key needs a value, not the option --no-key (a file of that name: ./--no-key)"},
        BadInput{"KeyTakesWeak", "--export a.wav --key --weak",
                 "--key needs a value, not the option --weak (a file of that name: ./--weak)"},
        BadInput{"AllGroupsOfNoFile", "--export a.wav --groups all", "--groups all needs --file"},

        BadInput{"UnknownCourseSet", "--export a.wav --lesson 2 --course-set words",
                 "--course-set: 'words' is not one of letters, digits, mixture"},
        BadInput{"CourseSetWithoutLesson", "--export a.wav --course-set digits",
                 "--course-set needs --lesson N"},
        BadInput{"TwoSets", "--export a.wav --text digits --lesson 2 --course-set letters",
                 "--text and --course-set name different sets"},
        BadInput{"HistoryWithoutWeak", "--export a.wav --history h.jsonl",
                 "--history needs --weak"},
        BadInput{"LessonOfAFile", "--export a.wav --file t.txt --lesson 3",
                 "--file sends a text: --lesson and --weak choose random groups"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- exports and the files around them ---

namespace fs = std::filesystem;

// Everything in a folder, by name: kind, permissions and contents (a link's target), so that a
// change to any file shows.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::file_status st = it->symlink_status();
    std::string& entry = out[fs::relative(it->path(), dir).string()];
    entry = std::to_string(static_cast<int>(st.type())) + " " +
            std::to_string(static_cast<int>(st.permissions())) + " ";
    if (st.type() == fs::file_type::symlink) entry += fs::read_symlink(it->path()).string();
    if (st.type() == fs::file_type::regular) entry += testing::readText(it->path().string());
  }
  return out;
}

// A process of that number that has ended.
pid_t endedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

enum class Run { Export, TwoAtOnce, HelpToFullDevice };

struct FileCase {
  const char* name;
  std::string line;  // "@" stands for the case's folder
  int code;
  const char* says;                            // a part of the one line on standard error
  void (*prepare)(const std::string& dir);     // the files that stand before
  void (*check)(const std::string& dir) = {};  // after an export that succeeded
  Run run = Run::Export;
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

const std::string kLongName = std::string(246, 'n') + ".wav";  // 250 bytes

class ExportFiles : public ::testing::TestWithParam<FileCase> {
 protected:
  TempFolder folder;
  std::string dir = folder.path("");
  bool mounted = false;
  std::string mountedAt;
  std::string boundAt;
  void TearDown() override {
    if (mounted) umount2(mountedAt.c_str(), MNT_DETACH);
    if (!boundAt.empty()) umount2(boundAt.c_str(), MNT_DETACH);
  }

  int exportWith(const std::string& line, std::ostream& err) {
    return runExportCommand(parseCommandLine(words(line)).options, err, false);
  }
  // Runs the case in a process of its own, for what needs one; returns its exit code.
  template <typename F>
  static int inChild(F body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

TEST_P(ExportFiles, NeverHarmAFileNorHideAFailure) {
  const FileCase& c = GetParam();
  std::string line = c.line;
  for (std::size_t at; (at = line.find('@')) != std::string::npos;) line.replace(at, 1, dir);
  // A disk of 64 kB, full long before the first minute of sound; one of few files, all taken.
  for (const auto& [folder, options] :
       {std::pair{"full", "size=64k"}, std::pair{"inodes", "size=1m,nr_inodes=8"}}) {
    if (line.find(dir + folder + "/") == std::string::npos) continue;
    mountedAt = dir + folder;
    fs::create_directory(mountedAt);
    if (mount("kelvak", mountedAt.c_str(), "tmpfs", 0, options) != 0) {
      GTEST_SKIP() << "no small file system to fill: mount: " << std::strerror(errno);
    }
    mounted = true;
  }
  // A sound file that is a mount point passes every check; only its rename fails, after the key
  // has taken its new name.
  if (line.find(dir + "busy.wav") != std::string::npos) {
    write(dir + "busy.wav", "old");
    write(dir + "other", "other");
    if (mount((dir + "other").c_str(), (dir + "busy.wav").c_str(), nullptr, MS_BIND, nullptr) !=
        0) {
      GTEST_SKIP() << "no file to bind: mount: " << std::strerror(errno);
    }
    boundAt = dir + "busy.wav";
  }
  if (c.prepare) c.prepare(dir);
  const auto before = snapshot(dir);

  std::ostringstream err;
  int code = 0;
  const auto started = std::chrono::steady_clock::now();
  switch (c.run) {
    case Run::Export:
      code = exportWith(line, err);
      break;
    case Run::TwoAtOnce:
      // Two exports of different groups to one pair of names, again and again: the pair left must
      // belong together, as the key of a separate export of the same groups tells.
      for (int round = 0; round < 8 && code == 0; ++round) {
        const pid_t a = fork();
        if (a == 0) _exit(exportWith(line + " --seed " + std::to_string(2 * round), std::cerr));
        code = exportWith(line + " --seed " + std::to_string(2 * round + 1), err);
        int status = 0;
        waitpid(a, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string sound = testing::readText(dir + "pair.wav");
        bool matched = false;
        for (int seed : {2 * round, 2 * round + 1}) {
          ASSERT_EQ(
              exportWith("--export " + dir + "ref.wav --groups 3 --seed " + std::to_string(seed),
                         err),
              0);
          if (testing::readText(dir + "ref.wav") == sound) {
            EXPECT_EQ(testing::readText(dir + "ref.key.txt"),
                      testing::readText(dir + "pair.key.txt"))
                << "round " << round;
            matched = true;
          }
        }
        EXPECT_TRUE(matched) << "round " << round;
      }
      break;
    case Run::HelpToFullDevice:
      code = inChild([&] {
        const int full = open("/dev/full", O_WRONLY);
        dup2(full, STDOUT_FILENO);
        dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
        const char* argv[] = {"kelvak", "--help"};
        return runCommandLine(2, argv).value_or(-1);
      });
      break;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  EXPECT_EQ(code, c.code) << err.str();
  const std::string said = err.str();
  if (c.run == Run::Export) {
    // One line, or none for a success.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.code == 0 ? 0 : 1) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
  }
  if (c.code != 0) {
    // Every file that stood before stands unchanged, and nothing was added.
    EXPECT_EQ(snapshot(dir), before);
    // A name refused is refused before the first sample, even of hours of sound.
    if (c.code == kExitUsage) {
      EXPECT_LT(seconds, 1.0);
    }
  } else if (c.check) {
    c.check(dir);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportFiles,
    ::testing::Values(
        FileCase{"FullDiskWithoutKey", "--export @full/a.mp3 --no-key --groups 999 --speed 1", 1,
                 "No space left", [](const std::string& d) { write(d + "full/a.mp3", "good"); }},
        FileCase{"FullDiskWithKey", "--export @full/a.mp3 --groups 999 --speed 1", 1,
                 "No space left",
                 [](const std::string& d) {
                   write(d + "full/a.mp3", "good");
                   write(d + "full/a.key.txt", "key");
                 }},
        FileCase{"NoFreeInode", "--export @inodes/a.wav --groups 1", 1, "No space left",
                 [](const std::string& d) {
                   for (int k = 0; k < 16; ++k) {
                     if (open((d + "inodes/" + std::to_string(k)).c_str(), O_CREAT | O_WRONLY,
                              0644) < 0) {
                       break;
                     }
                   }
                 }},
        FileCase{"SoundRenameFailsAfterTheKeysAndTheNewKeyGoes", "--export @busy.wav --groups 1", 1,
                 "busy", [](const std::string&) {}},
        FileCase{"SoundRenameFailsAfterTheKeysAndTheOldKeyComesBack",
                 "--export @busy.wav --groups 1", 1, "busy",
                 [](const std::string& d) { write(d + "busy.key.txt", "old key"); }},
        FileCase{"NothingToSendOfAnEmptyText", "--export @a.wav --file @t.txt", 2,
                 "nothing to send: '", [](const std::string& d) { write(d + "t.txt", ""); }},
        FileCase{"NothingToSendOfFourDigits", "--export @a.wav --file @t.txt", 2,
                 "holds no whole group", [](const std::string& d) { write(d + "t.txt", "1234"); }},
        FileCase{"NothingToSendOfNoGroups", "--export @a.wav --groups 0", 2, "nothing to send",
                 [](const std::string&) {}},
        FileCase{"GroupsPastTheReadBound", "--export @a.wav --file @t.txt --groups all", 2,
                 "was not read",
                 [](const std::string& d) {
                   write(d + "t.txt", std::string(9 << 20, 'x') + "12345 67890");
                 }},
        FileCase{"HistoryMissing", "--export @a.wav --weak --history @h.jsonl", 2, "--history",
                 [](const std::string&) {}},
        FileCase{"HistoryAllDamaged", "--export @a.wav --weak --history @h.jsonl", 2,
                 "no readable check",
                 [](const std::string& d) { write(d + "h.jsonl", "{\"time\":1}\nkind\n"); }},
        FileCase{"KeyIsADevice", "--export @a.wav --key @null", 2, "not a regular file",
                 [](const std::string& d) {
                   if (mknod((d + "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                     symlink("/dev/null", (d + "null").c_str());  // refused all the same
                   }
                 }},
        FileCase{"KeyIsAFifo", "--export @a.wav --key @fifo", 2, "not a regular file",
                 [](const std::string& d) { mkfifo((d + "fifo").c_str(), 0666); }},
        FileCase{"SoundIsALink", "--export @link.wav", 2, "symbolic link",
                 [](const std::string& d) {
                   write(d + "real.wav", "real");
                   symlink("real.wav", (d + "link.wav").c_str());
                 }},
        FileCase{"SoundIsAFolder", "--export @a.wav --groups 999 --speed 1", 2, "Is a directory",
                 [](const std::string& d) {
                   fs::create_directory(d + "a.wav");
                   write(d + "a.key.txt", "old");
                 }},
        FileCase{"KeyInAMissingFolder", "--export @a.mp3 --key @none/k.txt --groups 999 --speed 1",
                 2, "No such file", [](const std::string& d) { write(d + "a.mp3", "old"); }},
        FileCase{"KeyIsTheTextFile", "--export @a.wav --file @t.txt --key @t.txt", 2, "text file",
                 [](const std::string& d) { write(d + "t.txt", "12345 67890"); }},
        FileCase{"KeyIsTheSoundFileByAnotherName", "--export @a.wav --key @./a.wav", 2,
                 "sound file", [](const std::string&) {}},
        FileCase{"KeyIsAHardLinkOfTheSoundFile", "--export @a.wav --key @k.txt", 2, "sound file",
                 [](const std::string& d) {
                   write(d + "a.wav", "old");
                   link((d + "a.wav").c_str(), (d + "k.txt").c_str());
                 }},
        FileCase{"TextIsAFifo", "--export @a.wav --file @fifo", 2, "--file: cannot read",
                 [](const std::string& d) { mkfifo((d + "fifo").c_str(), 0666); }},
        FileCase{"TextIsEndless", "--export @a.wav --file /dev/zero", 2, "--file: cannot read",
                 [](const std::string&) {}},
        FileCase{"TextIsAFolder", "--export @a.wav --file @", 2, "--file: cannot read",
                 [](const std::string&) {}},
        FileCase{"TextIsMissing", "--export @a.wav --file @gone.txt", 2, "--file: cannot read",
                 [](const std::string&) {}},
        FileCase{"GroupsBeyondTheText", "--export @a.wav --file @t.txt --groups 3", 2,
                 "out of range 0..2",
                 [](const std::string& d) { write(d + "t.txt", "12345 67890 1"); }},
        FileCase{"FromATextFile", "--export @a.wav --file @t.txt", 0, "",
                 [](const std::string& d) { write(d + "t.txt", "12345 67890 1"); },
                 [](const std::string& d) {
                   EXPECT_EQ(testing::readText(d + "a.key.txt"), "12345 67890 \n");
                   EXPECT_EQ(testing::readText(d + "t.txt"), "12345 67890 1");
                 }},
        FileCase{"ReplacedFilesKeepTheirPermissions", "--export @a.wav --groups 1", 0, "",
                 [](const std::string& d) {
                   write(d + "a.wav", "old");
                   write(d + "a.key.txt", "old");
                   chmod((d + "a.wav").c_str(), 0640);
                   chmod((d + "a.key.txt").c_str(), 01604);  // the sticky bit too
                 },
                 [](const std::string& d) {
                   EXPECT_EQ(fs::status(d + "a.wav").permissions(), fs::perms(0640));
                   EXPECT_EQ(fs::status(d + "a.key.txt").permissions(), fs::perms(01604));
                   EXPECT_GT(fs::file_size(d + "a.wav"), 1000u);
                   EXPECT_EQ(folderNames(d), (std::vector<std::string>{"a.key.txt", "a.wav"}));
                 }},
        FileCase{"ANameOf250Bytes", "--export @" + kLongName + " --no-key --groups 1", 0, "",
                 [](const std::string&) {},
                 [](const std::string& d) { EXPECT_GT(fs::file_size(d + kLongName), 1000u); }},
        FileCase{"OnlyOurOwnLeftoversOfThisTargetGo", "--export @a.wav --no-key --groups 1", 0, "",
                 [](const std::string& d) {
                   const long alive = getppid(), dead = endedProcess();
                   const std::uint64_t start = processStart(alive);
                   write(d + ownTemporaryName("a.wav", dead, 5, 0), "killed: goes");
                   write(d + ownTemporaryName("a.wav", alive, start + 1, 1), "number reused: goes");
                   write(d + ownTemporaryName("a.wav", alive, start, 7), "still writing");
                   write(d + ownTemporaryName("b.wav", alive, start + 1, 1), "another target");
                   write(d + ".a.wav.99999-1.part", "another program's");
                   write(d + ".notes.txt.99999-1.part", "another program's");
                 },
                 [](const std::string& d) {
                   const long alive = getppid();
                   const std::uint64_t start = processStart(alive);
                   std::vector<std::string> left = {ownTemporaryName("a.wav", alive, start, 7),
                                                    ownTemporaryName("b.wav", alive, start + 1, 1),
                                                    ".a.wav.99999-1.part",
                                                    ".notes.txt.99999-1.part", "a.wav"};
                   std::sort(left.begin(), left.end());
                   EXPECT_EQ(folderNames(d), left);
                 }},
        FileCase{"TwoExportsAtOnceLeaveOnePair",
                 "--export @pair.wav --groups 3",
                 0,
                 "",
                 [](const std::string&) {},
                 {},
                 Run::TwoAtOnce},
        FileCase{"HelpThatCannotBeWritten",
                 "",
                 1,
                 "",
                 [](const std::string&) {},
                 {},
                 Run::HelpToFullDevice}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineExport, ALongTextFileIsCutWithOneLineOrExportedWhole) {
  TempFolder folder;
  const int groups = kMaxGroups + 12;
  {
    std::ofstream text(folder.path("long.txt"));
    for (int g = 0; g < groups; ++g) text << "12345 ";
    text << "12";  // and a partial group
  }
  const std::string text = folder.path("long.txt");
  auto run = [&](const std::string& options) {
    std::ostringstream err;
    const int code =
        runExportCommand(parseCommandLine(words("--export " + folder.path("a.wav") + " --file " +
                                                text + " --speed 30 " + options))
                             .options,
                         err, false);
    const std::string key = testing::readText(folder.path("a.key.txt"));
    return std::make_tuple(code, err.str(), static_cast<int>(key.size() / 6));
  };
  const auto [code, note, exported] = run("");
  EXPECT_EQ(code, kExitOk);
  EXPECT_EQ(exported, kMaxGroups);
  // One line that names the file's whole groups.
  EXPECT_EQ(std::count(note.begin(), note.end(), '\n'), 1) << note;
  EXPECT_NE(note.find(std::to_string(groups)), std::string::npos) << note;
  // A group count of the user's own says nothing; all groups are every whole group.
  EXPECT_EQ(run("--groups 5"), std::make_tuple(kExitOk, std::string(), 5));
  EXPECT_EQ(run("--groups all"), std::make_tuple(kExitOk, std::string(), groups));
}

// A lesson's key holds only the lesson's characters; --weak with a history sends the character
// received worst most often; a lesson beyond the set's last is refused.
TEST(CommandLineExport, LearningModesChooseTheCharacters) {
  TempFolder folder;
  const std::string wav = folder.path("a.wav"), key = folder.path("a.key.txt");
  auto run = [&](const std::string& line) {
    std::ostringstream err;
    const int code = runExportCommand(parseCommandLine(words(line)).options, err, false);
    return std::to_string(code) + " " + err.str();
  };
  auto keyCounts = [&] {
    std::map<char32_t, int> n;
    const std::string text = testing::readText(key);
    for (std::size_t pos = 0; pos < text.size();) {
      const char32_t ch = nextUtf8Char(text, pos);
      if (ch != U' ' && ch != U'\n') ++n[ch];
    }
    return n;
  };
  ASSERT_EQ(run("--export " + wav + " --lesson 3 --course-set digits --groups 40 --speed 30"),
            "0 ");
  std::set<char32_t> seen;
  for (const auto& [ch, n] : keyCounts()) seen.insert(ch);
  EXPECT_EQ(seen, (std::set<char32_t>{U'5', U'0', U'1', U'6'}));

  // Every digit sent 500 times: 7 received right 100 times, the others 475.
  std::string line = R"({"time":"2026-12-09T12:40:00Z","source":"digits","speed":12,"tone":500,)"
                     R"("noise":0,"groups":500,"sent":5000,"correct":4375,"wrong":625,"missed":0,)"
                     R"("extra":0,"chars":{)";
  for (char d = '0'; d <= '9'; ++d) {
    if (d != '0') line += ",";
    const int right = d == '7' ? 100 : 475;
    line += std::string("\"") + d + R"(":{"sent":500,"correct":)" + std::to_string(right) +
            R"(,"missed":0,"as":{"а":)" + std::to_string(500 - right) + "}}";
  }
  std::ofstream(folder.path("h.jsonl")) << line << "}}\n";
  ASSERT_EQ(run("--export " + wav + " --weak --history " + folder.path("h.jsonl") +
                " --groups 100 --speed 30"),
            "0 ");
  const auto counts = keyCounts();
  for (const auto& [ch, n] : counts) {
    if (ch != U'7') {
      EXPECT_GT(counts.at(U'7'), 3 * n) << static_cast<char>(ch);
    }
  }
  EXPECT_EQ(run("--export " + wav + " --lesson 40 --course-set letters"),
            "2 kelvak: --lesson: 40 is out of range 1..30 (the lessons of letters)\n");
  EXPECT_EQ(run("--export " + wav + " --lesson 0 --course-set digits"),
            "2 kelvak: --lesson: 0 is out of range 1..9 (the lessons of digits)\n");
}

}  // namespace
}  // namespace kelvak

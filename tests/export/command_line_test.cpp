// The command line: option values and ranges, the messages for bad input, exit codes and files.
#include "export/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tests/export/export_test_files.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

using testing::TempFolder;

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
  EXPECT_FALSE(cl.options.writeKey);
  EXPECT_EQ(cl.options.seed, 18446744073709551615u);
  const TransmissionSettings s = settingsFor(cl.options, {});
  EXPECT_EQ(std::tie(s.textKind, s.groups, s.speed, s.frequency, s.charPause, s.groupPause),
            std::make_tuple(1, 7, 30, 100, 5, 1));
  EXPECT_EQ(s.signalPosition, 63);  // the one position whose label shows 50
  EXPECT_EQ(s.noisePosition, 0);
  EXPECT_TRUE(s.longZero && s.specialSigns && s.randomSource);
}

TEST(CommandLine, EveryPercentMapsToAPositionWhoseLabelShowsIt) {
  for (int percent = 0; percent <= 100; ++percent) {
    const int position = sliderPositionForPercent(percent);
    ASSERT_TRUE(position >= 0 && position <= 127);
    // The label's own computation: (127 - position) × (1/127) × 100, truncated.
    EXPECT_EQ(static_cast<int>((127 - position) * (1.0 / 127) * 100), percent);
  }
  EXPECT_EQ(sliderPositionForPercent(0), 127);  // no noise draws at all
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
        BadInput{"NotAnInteger", "--export a.wav --groups 3x", "--groups: '3x' is not an integer"},
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

TEST(CommandLineExport, BadFilesGiveExitCodeTwoAndLeaveNothing) {
  TempFolder folder;
  std::ofstream(folder.path("text.txt")) << "12345 67890 1";  // two whole groups
  auto run = [&](const std::string& line) {
    std::ostringstream err;
    const int code = runExportCommand(parseCommandLine(words(line)).options, err, false);
    return std::to_string(code) + " " + err.str();
  };
  const std::string wav = folder.path("a.wav"), text = folder.path("text.txt");
  EXPECT_EQ(
      run("--export " + folder.path("none/a.wav")),
      "2 kelvak: cannot write '" + folder.path("none/a.wav") + "': No such file or directory\n");
  EXPECT_EQ(run("--export " + wav + " --file " + folder.path("gone.txt")),
            "2 kelvak: --file: cannot read '" + folder.path("gone.txt") +
                "': No such file or directory\n");
  EXPECT_EQ(run("--export " + wav + " --file " + text + " --groups 3"),
            "2 kelvak: --groups: 3 is out of range 0..2 (the whole groups of '" + text + "')\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"text.txt"});
  EXPECT_EQ(run("--export " + wav + " --file " + text), "0 ");
  EXPECT_EQ(testing::readText(folder.path("a.key.txt")), "12345 67890 \n");
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
}

}  // namespace
}  // namespace kelvak

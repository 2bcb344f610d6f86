// The command line: option values and ranges, the messages for bad input, exit codes and files.
#include "export/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/export/export_test_files.h"

namespace kelvak {
namespace {

using testing::TempFolder;

TEST(CommandLine, NoOptionsOfOursLeaveTheWindow) {
  EXPECT_EQ(parseCommandLine({}).action, CommandLine::Action::Window);
  EXPECT_EQ(parseCommandLine({"-platform", "offscreen"}).action, CommandLine::Action::Window);
  EXPECT_EQ(parseCommandLine({"--help"}).action, CommandLine::Action::Help);
}

TEST(CommandLine, OptionsGiveTheWindowsSettings) {
  const CommandLine cl = parseCommandLine({"--export",
                                           "a.mp3",
                                           "--text",
                                           "letters",
                                           "--groups=7",
                                           "--speed",
                                           "30",
                                           "--tone",
                                           "100",
                                           "--signal",
                                           "50",
                                           "--noise",
                                           "100",
                                           "--char-pause",
                                           "5",
                                           "--group-pause",
                                           "1",
                                           "--long-zero",
                                           "--special-signs",
                                           "--seed",
                                           "18446744073709551615",
                                           "--no-key"});
  ASSERT_EQ(cl.action, CommandLine::Action::Export);
  const ExportOptions& o = cl.options;
  EXPECT_FALSE(o.writeKey);
  EXPECT_EQ(o.seed, 18446744073709551615u);
  const ExportSettings s = settingsFor(o, {});
  EXPECT_EQ(s.textKind, 1);
  EXPECT_EQ(s.groups, 7);
  EXPECT_EQ(s.speed, 30);
  EXPECT_EQ(s.frequency, 100);
  EXPECT_EQ(s.signalPosition, 63);  // the one position whose label shows 50
  EXPECT_EQ(s.noisePosition, 0);
  EXPECT_EQ(s.charPause, 5);
  EXPECT_EQ(s.groupPause, 1);
  EXPECT_TRUE(s.longZero && s.specialSigns && s.randomSource);
}

TEST(CommandLine, DefaultsAreTheWindowsInitialValues) {
  const CommandLine cl = parseCommandLine({"--export", "dir/a.wav"});
  EXPECT_EQ(cl.options.keyPath, "dir/a.key.txt");
  const ExportSettings s = settingsFor(cl.options, {});
  const ExportSettings window;  // the window's controls at start-up
  EXPECT_EQ(s.signalPosition, window.signalPosition);
  EXPECT_EQ(s.noisePosition, window.noisePosition);
  EXPECT_EQ(std::tie(s.speed, s.textKind, s.frequency, s.groups, s.charPause, s.groupPause),
            std::tie(window.speed, window.textKind, window.frequency, window.groups,
                     window.charPause, window.groupPause));
}

TEST(CommandLine, EveryPercentMapsToAPositionWhoseLabelShowsIt) {
  for (int percent = 0; percent <= 100; ++percent) {
    const int position = sliderPositionForPercent(percent);
    ASSERT_GE(position, 0);
    ASSERT_LE(position, 127);
    // The label's own computation: (127 - position) × (1/127) × 100, truncated.
    EXPECT_EQ(static_cast<int>((127 - position) * (1.0 / 127) * 100), percent);
  }
  EXPECT_EQ(sliderPositionForPercent(0), 127);  // no noise draws at all
  EXPECT_EQ(sliderPositionForPercent(100), 0);
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;
  const char* message;
};

class CommandLineRefuses : public ::testing::TestWithParam<BadInput> {};

TEST_P(CommandLineRefuses, WithOneClearLine) {
  const BadInput& c = GetParam();
  try {
    parseCommandLine(c.args);
    FAIL() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_EQ(std::string(e.what()), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRefuses,
    ::testing::Values(
        BadInput{"UnknownOption",
                 {"--export", "a.wav", "--fast"},
                 "unknown option '--fast' (kelvak --help lists them)"},
        BadInput{"OutOfRange",
                 {"--export", "a.wav", "--speed", "31"},
                 "--speed: 31 is out of range 1..30"},
        BadInput{
            "SpeedZero", {"--export", "a.wav", "--speed", "0"}, "--speed: 0 is out of range 1..30"},
        BadInput{"NotAnInteger",
                 {"--export", "a.wav", "--groups", "3x"},
                 "--groups: '3x' is not an integer"},
        BadInput{"Huge",
                 {"--export", "a.wav", "--tone", "99999999999999999999"},
                 "--tone: 99999999999999999999 is out of range 100..5000"},
        BadInput{"MissingValue", {"--export", "a.wav", "--noise"}, "--noise needs a value"},
        BadInput{"UnknownKind",
                 {"--export", "a.wav", "--text", "words"},
                 "--text: 'words' is not one of digits, letters, mixture"},
        BadInput{"UnknownExtension",
                 {"--export", "a.aac"},
                 "--export: unknown file extension of 'a.aac': use .wav, .flac, .ogg, .opus, .mp3"},
        BadInput{"NoExport",
                 {"--speed", "5"},
                 "--export FILE is needed (kelvak --help lists the options)"},
        BadInput{"StrayArgument", {"--export", "a.wav", "b.wav"}, "unexpected argument 'b.wav'"},
        BadInput{"FlagWithValue", {"--export", "a.wav", "--no-key=1"}, "--no-key takes no value"},
        BadInput{"KeyAndNoKey",
                 {"--export", "a.wav", "--key", "k.txt", "--no-key"},
                 "--key and --no-key exclude each other"}),
    [](const auto& info) { return std::string(info.param.name); });

int run(const std::vector<std::string>& args, std::string& messages) {
  std::ostringstream err;
  const int code = runExportCommand(parseCommandLine(args).options, err, false);
  messages = err.str();
  return code;
}

TEST(CommandLineExport, WritesTheSoundAndItsKeyAndExitsZero) {
  TempFolder folder;
  std::string messages;
  EXPECT_EQ(run({"--export", folder.path("a.wav"), "--groups", "1", "--speed", "30"}, messages),
            kExitOk);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(testing::readText(folder.path("a.key.txt")), "80648 \n");
  EXPECT_EQ(run({"--export", folder.path("b.flac"), "--groups", "1", "--seed", "2", "--no-key"},
                messages),
            kExitOk);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.key.txt", "a.wav", "b.flac"}));
}

TEST(CommandLineExport, BadFilesGiveExitCodeTwoAndLeaveNothing) {
  TempFolder folder;
  std::ofstream(folder.path("text.txt")) << "12345 67890 1";  // two whole groups
  std::string messages;
  EXPECT_EQ(run({"--export", folder.path("none/a.wav")}, messages), kExitUsage);
  EXPECT_EQ(messages, "kelvak: cannot write '" + folder.path("none/a.wav") +
                          "': No such file or directory\n");
  EXPECT_EQ(run({"--export", folder.path("a.wav"), "--file", folder.path("gone.txt")}, messages),
            kExitUsage);
  EXPECT_EQ(messages, "kelvak: --file: cannot read '" + folder.path("gone.txt") +
                          "': No such file or directory\n");
  EXPECT_EQ(
      run({"--export", folder.path("a.wav"), "--file", folder.path("text.txt"), "--groups", "3"},
          messages),
      kExitUsage);
  EXPECT_EQ(messages, "kelvak: --groups: 3 is out of range 0..2 (the whole groups of '" +
                          folder.path("text.txt") + "')\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"text.txt"});
  EXPECT_EQ(run({"--export", folder.path("a.wav"), "--file", folder.path("text.txt")}, messages),
            kExitOk);
  EXPECT_EQ(testing::readText(folder.path("a.key.txt")), "12345 67890 \n");
}

}  // namespace
}  // namespace kelvak

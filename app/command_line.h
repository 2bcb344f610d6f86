// The command line: `kelvak --export FILE [options]` makes a sound file without any window.
#pragma once

#include <csignal>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/transmission_plan.h"
#include "playback/settings.h"

namespace kelvak {

// Bad input on the command line; the message is one line without the program's name.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the export itself failed (an encoder, a full disk)
constexpr int kExitUsage = 2;    // bad input: options, values, file names

// What `--export` asks for: the files, the learning modes and the one settings record, which the
// options change where they name a control and leave as the window opens it elsewhere.
struct ExportRequest {
  std::string audioPath;
  std::optional<std::string> keyPath;   // none: --no-key; by default beside the sound file
  std::optional<std::string> textFile;  // the file source instead of random groups
  bool groupsGiven = false;  // else the window's count, or the file's whole groups with a text file
  bool allGroups = false;    // --groups all: every whole group of the text file, beyond 999 too
  std::uint64_t seed = Random::kInitialState;  // the generator's state at start-up
  // The learning modes: a course lesson of the text kind's set, and the weak characters of a
  // history (the user's own without historyPath).
  std::optional<int> lesson;
  bool weak = false;
  std::optional<std::string> historyPath;
  // The level options' percentages are held as the slider positions that show them.
  TransmissionSettings settings;
};

struct CommandLine {
  enum class Action { Window, Help, Export };
  Action action = Action::Window;
  ExportRequest options;
};

// Arguments without the program's name. None at all, or none that starts with "--", leaves the
// program to its window (and the toolkit its own options). Throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// What `kelvak --help` prints.
std::string helpText();

// The settings the options give; reads the group count against the file's whole groups when a
// text file is the source. Throws UsageError.
TransmissionSettings settingsFor(const ExportRequest& options, const FileText& text);

// The learning modes' weights for the options; none without --lesson and --weak. Reads the
// history for --weak. Throws UsageError for a lesson beyond the set's, KelvakError for a history
// that cannot be read.
std::shared_ptr<const SymbolWeights> learningWeightsFor(const ExportRequest& options);

// Runs an export from the command line: reads the text file, plans, writes, and prints one-line
// messages to `err` (progress on one rewritten line when `terminal`). Returns the exit code. When
// `stop` becomes non-zero (a signal's number) the export ends leaving no file, with 128 + that.
int runExportCommand(const ExportRequest& options, std::ostream& err, bool terminal,
                     const volatile std::sig_atomic_t* stop = nullptr);

// The program's entry for its own options: prints the help or runs an export, and returns the exit
// code; nullopt when the arguments leave the program to its window.
std::optional<int> runCommandLine(int argc, const char* const* argv);

}  // namespace kelvak

// Parsing the export options and running an export from the command line.
#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <ostream>
#include <sstream>
#include <system_error>
#include <utility>

#include "app/process.h"
#include "app/user_files.h"
#include "base/error.h"
#include "export/audio_file.h"
#include "export/exporter.h"
#include "text/utf8_path.h"
#include "training/history.h"
#include "training/learning_path.h"

namespace kelvak {

namespace {

constexpr const char* kKinds[] = {"digits", "letters", "mixture"};
constexpr std::size_t kHelpColumn = 23;  // where the help's descriptions begin

// CLI11's check of an integer option's value in min..max, with the program's messages. The value
// goes on in plain decimal (CLI11 itself would read "010" as octal), or as `store` turns it. Only
// the last value given counts, so only that one is checked. The seed, the one unsigned option,
// takes no plus sign and names its range when it is no integer, as it always has.
template <typename T>
CLI::Validator integerCheck(T min, T max, std::function<T(T)> store = nullptr) {
  return CLI::Validator(
             [min, max, store](std::string& text) -> std::string {
               const std::string range = std::to_string(min) + ".." + std::to_string(max);
               const char* first = text.data();
               const char* last = first + text.size();
               if (std::is_signed_v<T> && first != last && *first == '+') ++first;
               T v{};
               const auto [end, ec] = std::from_chars(first, last, v);
               if (text.empty() || ec == std::errc::invalid_argument || end != last) {
                 return "'" + text + "' is not an integer" +
                        (std::is_signed_v<T> ? "" : " in " + range);
               }
               if (ec == std::errc::result_out_of_range || v < min || v > max) {
                 return text + " is out of range " + range;
               }
               text = std::to_string(store ? store(v) : v);
               return "";
             },
             "")
      .application_index(0);
}

// An option right after one that needs a value was meant as an option, not as the value: a file
// really named so is written "./--no-key".
CLI::Validator notAnOption(const char* name) {
  return CLI::Validator(
             [name](std::string& v) -> std::string {
               if (v.starts_with("--")) {
                 throw UsageError(std::string(name) + " needs a value, not the option " + v +
                                  " (a file of that name: ./" + v + ")");
               }
               return "";
             },
             "")
      .application_index(0);
}

// The field of the settings record that each numbered option other than --groups sets.
constexpr std::pair<Setting, int TransmissionSettings::*> kSettingFields[] = {
    {Setting::Speed, &TransmissionSettings::speed},
    {Setting::Tone, &TransmissionSettings::frequency},
    {Setting::Signal, &TransmissionSettings::signalPosition},
    {Setting::Noise, &TransmissionSettings::noisePosition},
    {Setting::CharPause, &TransmissionSettings::charPause},
    {Setting::GroupPause, &TransmissionSettings::groupPause},
};

// The rules between options, in the order the program names the first one broken, in its own
// words. CLI11 keeps the pairs apart or together; two rules depend on the values.
enum class Relation {
  Excludes,
  Needs,
  NeedsForAll,  // with the value "all"
  SameSet,      // both name the same set
};
struct OptionRule {
  const char* option;
  Relation relation;
  const char* other;
  const char* message;
};
constexpr const char* kFileSendsAText =
    "--file sends a text: --lesson and --weak choose random groups";
constexpr OptionRule kOptionRules[] = {
    {"--key", Relation::Excludes, "--no-key", "--key and --no-key exclude each other"},
    {"--groups", Relation::NeedsForAll, "--file", "--groups all needs --file"},
    {"--course-set", Relation::Needs, "--lesson", "--course-set needs --lesson N"},
    {"--text", Relation::SameSet, "--course-set", "--text and --course-set name different sets"},
    {"--history", Relation::Needs, "--weak", "--history needs --weak"},
    {"--file", Relation::Excludes, "--lesson", kFileSendsAText},
    {"--file", Relation::Excludes, "--weak", kFileSendsAText},
};

// A setting's help: its meaning, the command line's range and the window's initial value.
std::string settingHelp(const SettingRow& row, const std::string& note = "") {
  return std::string(row.meaning) + ", " + std::to_string(row.commandLow()) + ".." +
         std::to_string(row.commandHigh()) + " (" + std::to_string(row.initialValue()) + note + ")";
}

// The help is CLI11's, with the program's own frame: the usage and what a file holds before the
// options, the exit status after them, --export in the usage rather than among the options, and
// lines of their own for an option's special values (--groups all).
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() { column_width(kHelpColumn); }
  void addLine(const CLI::Option* after, const std::string& name, const std::string& meaning) {
    std::ostringstream line;
    CLI::detail::format_help(line, name, meaning, kHelpColumn);
    extraLines_[after] += line.str();
  }
  // The value's name alone: the rules between options are the help's prose.
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_option_text().empty() ? "" : " " + option->get_option_text();
  }
  std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
    std::string out = app->get_description();
    for (const CLI::Option* option :
         app->get_options([](const CLI::Option* o) { return !o->get_group().empty(); })) {
      out += make_option(option, false);
      if (const auto extra = extraLines_.find(option); extra != extraLines_.end()) {
        out += extra->second;
      }
    }
    return out + app->get_footer();
  }

 private:
  std::map<const CLI::Option*, std::string> extraLines_;
};

bool isOption(const std::string& word) { return word.starts_with("--"); }

// Every option with its help, in the help's order, reading its value into `o` and `course`.
void declareOptions(CLI::App& app, ExportRequest& o, int& course) {
  auto formatter = std::make_shared<HelpFormatter>();
  app.formatter(formatter);
  app.set_help_flag();  // no -h: the program's --help comes last
  app.allow_extras();   // told in the program's words
  app.description(
      "Usage: kelvak                         start the trainer's window\n"
      "       kelvak --export FILE [options]  write a transmission to a sound file\n"
      "\n"
      "The file holds what Play sends with the same settings: the start signal one second\n"
      "in, then the groups, each symbol at the time the window would send it. Its format\n"
      "follows the extension: .wav, .flac (both keep the samples exactly), .ogg, .opus, .mp3.\n"
      "\n"
      "Options (the window's controls, with their ranges and initial values):\n");
  app.footer("\nExit status: 0 done, 1 the export failed, 2 bad input.\n");
  // An option with a value, `into` a variable or a function; the last one given counts, read by
  // `value` (which may rewrite it) after the check that it is no option.
  const auto valued = [&app](const char* name, auto& into, const char* valueName,
                             const std::string& help, CLI::Validator value = {}) {
    CLI::Option* option;
    if constexpr (std::is_invocable_v<decltype(into), const std::string&>) {
      option = app.add_option_function<std::string>(name, into, help);
    } else {
      option = app.add_option(name, into, help);
    }
    // CLI11 runs the last transform added first.
    return option->option_text(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->transform(value)
        ->transform(notAnOption(name));
  };
  // A value that names one of a few things, handed on as the thing's number.
  const auto named = [](auto indexOf, const char* names) {
    return CLI::Validator(
               [indexOf, names](std::string& v) -> std::string {
                 const std::optional<int> index = indexOf(v);
                 if (!index) return "'" + v + "' is not one of " + names;
                 v = std::to_string(*index);
                 return "";
               },
               "")
        .application_index(0);
  };

  valued("--export", o.audioPath, "FILE", "")->group("")->required();
  valued("--text", o.settings.textKind, "KIND", "digits, letters or mixture (digits)",
         named(
             [](const std::string& v) -> std::optional<int> {
               for (int k = 0; k < 3; ++k) {
                 if (v == kKinds[k] || v == std::to_string(k)) return k;
               }
               return std::nullopt;
             },
             "digits, letters, mixture"));
  const SettingRow& groups = settingRow(Setting::Groups);
  auto readGroups = std::function<void(const std::string&)>([&o](const std::string& v) {
    o.allGroups = v == "all";
    o.groupsGiven = !o.allGroups;
    o.settings.groups = o.allGroups ? settingRow(Setting::Groups).initialValue() : std::stoi(v);
  });
  const CLI::Validator groupCount = integerCheck(groups.commandLow(), groups.commandHigh());
  CLI::Option* groupsOption = valued(
      groups.option, readGroups, groups.valueName,
      settingHelp(groups, "; with --file, the\nfile's whole groups, and at most that"),
      CLI::Validator([groupCount](std::string& v) { return v == "all" ? "" : groupCount(v); }, "")
          .application_index(0));
  formatter->addLine(groupsOption, "--groups all",
                     "with --file: every whole group of the file, beyond 999 too");
  for (const auto& [setting, field] : kSettingFields) {
    const SettingRow& row = settingRow(setting);
    valued(row.option, o.settings.*field, row.valueName, settingHelp(row),
           integerCheck<int>(row.commandLow(), row.commandHigh(),
                             [&row](int v) { return row.positionFor(v); }));
  }
  app.add_flag("--long-zero", o.settings.longZero, "send the zero as five dashes (digits only)");
  app.add_flag("--special-signs", o.settings.specialSigns,
               "include the special signs in letters and mixture");
  valued("--file", o.textFile, "TEXTFILE",
         "send the characters of a text file instead of random groups");
  valued("--seed", o.seed, "N",
         "start the random sequence elsewhere (1: the groups of the\n"
         "first Play after the window opens)",
         integerCheck(std::numeric_limits<std::uint64_t>::min(),
                      std::numeric_limits<std::uint64_t>::max()));
  // The set's own range is known only once every option is read: see learningWeightsFor.
  valued("--lesson", o.lesson, "N",
         "send lesson N of the course: its characters, the newest\ntwice as often",
         integerCheck(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
  valued("--course-set", course, "SET",
         "the course's set: letters, digits or mixture (that of --text)",
         named(
             [](const std::string& v) -> std::optional<int> {
               const std::optional<CourseSet> set = courseSetNamed(v);
               return set ? std::optional<int>(static_cast<int>(*set)) : std::nullopt;
             },
             "letters, digits, mixture"));
  app.add_flag("--weak", o.weak, "send the characters received worst more often");
  valued("--history", o.historyPath, "FILE",
         "with --weak: weigh by this history instead of the user's own");
  valued("--key", o.keyPath, "FILE", "write the answer key there (default: FILE with .key.txt)");
  const std::string noKey = "write no answer key";
  app.add_flag("--no-key", noKey);
  app.set_help_flag("--help", "show this text");
  for (const OptionRule& rule : kOptionRules) {
    CLI::Option* option = app.get_option(rule.option);
    if (rule.relation == Relation::Excludes) option->excludes(rule.other);
    if (rule.relation == Relation::Needs) option->needs(rule.other);
  }
}

std::string clock(std::int64_t samples) {
  const std::int64_t s = samples / kSampleRate;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  return buf;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  if (std::none_of(args.begin(), args.end(), isOption)) return cl;

  ExportRequest& o = cl.options;
  int course = 0;
  CLI::App app;
  declareOptions(app, o, course);

  // "--speed=10" is split here: "--speed=" gives the empty value (CLI11 would wait for the next
  // word), and a flag with a value is refused (CLI11 would take "--no-key=0" as false).
  std::vector<std::string> words;
  for (const std::string& a : args) {
    const std::size_t eq = isOption(a) ? a.find('=') : std::string::npos;
    if (eq == std::string::npos) {
      words.push_back(a);
      continue;
    }
    const std::string name = a.substr(0, eq);
    if (const CLI::Option* flag = app.get_option_no_throw(name);
        flag && flag->get_expected_max() == 0) {
      throw UsageError(name + " takes no value");
    }
    words.push_back(name);
    words.push_back(a.substr(eq + 1));
  }
  std::reverse(words.begin(), words.end());  // as CLI11 takes them
  // CLI11 reads the values first, then the help, then the rules between options; an unknown word
  // is named before the help and the rules.
  bool help = false, exportMissing = false;
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    help = true;
  } catch (const CLI::RequiredError&) {
    exportMissing = true;
  } catch (const CLI::ExcludesError&) {
    // Named below, with the rules on values, in the program's order.
  } catch (const CLI::RequiresError&) {
    // The same.
  } catch (const CLI::ArgumentMismatch&) {
    // Any word after an option is taken as its value: only the last one can miss it.
    throw UsageError(args.back() + " needs a value");
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    const std::string& extra = extras.front();
    if (!isOption(extra)) throw UsageError("unexpected argument '" + extra + "'");
    throw UsageError("unknown option '" + extra + "' (kelvak --help lists them)");
  }
  if (help) {
    cl.action = CommandLine::Action::Help;
    return cl;
  }
  if (exportMissing) {
    throw UsageError("--export FILE is needed (kelvak --help lists the options)");
  }
  const auto given = [&app](const char* name) { return app.count(name) > 0; };
  for (const OptionRule& rule : kOptionRules) {
    const bool both = given(rule.option) && given(rule.other);
    const bool broken =
        (rule.relation == Relation::Excludes && both) ||
        (rule.relation == Relation::Needs && given(rule.option) && !given(rule.other)) ||
        (rule.relation == Relation::NeedsForAll && o.allGroups && !given(rule.other)) ||
        (rule.relation == Relation::SameSet && both && course != o.settings.textKind);
    if (broken) throw UsageError(rule.message);
  }
  if (given("--course-set")) o.settings.textKind = course;
  if (o.audioPath.empty()) throw UsageError("--export needs a file name");
  const std::optional<AudioFormat> format = audioFormatForPath(o.audioPath);
  if (!format) {
    throw UsageError("--export: unknown file extension of '" + o.audioPath + "': use " +
                     knownExtensions());
  }
  if (!audioFormatWritable(*format)) {
    throw UsageError("--export: this build cannot write " + std::string(audioFormatName(*format)) +
                     " files, only WAV: '" + o.audioPath + "'");
  }
  if (given("--no-key")) {
    o.keyPath.reset();
  } else if (!o.keyPath) {
    o.keyPath = defaultKeyPath(o.audioPath);
  }
  if (o.keyPath && *o.keyPath == o.audioPath) {
    throw UsageError("--key names the sound file itself");
  }
  cl.action = CommandLine::Action::Export;
  return cl;
}

std::string helpText() {
  ExportRequest request;
  int course = 0;
  CLI::App app;
  declareOptions(app, request, course);
  return app.help();
}

TransmissionSettings settingsFor(const ExportRequest& o, const FileText& text) {
  TransmissionSettings s = o.settings;
  s.randomSource = !o.textFile;
  if (o.textFile) {
    // Loading a file sets the group count to its whole groups and limits the spin arrows to it.
    if (!o.groupsGiven) s.groups = text.groups();
    if (s.groups > text.groups()) {
      throw UsageError("--groups: " + std::to_string(s.groups) + " is out of range 0.." +
                       std::to_string(text.groups()) + " (the whole groups of '" + *o.textFile +
                       "')");
    }
  }
  return s;
}

std::shared_ptr<const SymbolWeights> learningWeightsFor(const ExportRequest& o) {
  if (!o.lesson && !o.weak) return nullptr;
  LearningPath path;
  if (o.lesson) {
    const auto set = static_cast<CourseSet>(o.settings.textKind);
    const int last = lessonCount(set, o.settings.specialSigns);
    if (*o.lesson < 1 || *o.lesson > last) {
      throw UsageError("--lesson: " + std::to_string(*o.lesson) + " is out of range 1.." +
                       std::to_string(last) + " (the lessons of " +
                       std::string(courseSetName(set)) + ")");
    }
    CourseProgress progress;
    progress.on = true;
    progress.lessons[static_cast<std::size_t>(set)] = *o.lesson;
    path.setProgress(progress);
  }
  if (o.weak) {
    path.setWeakOn(true);
    // The user's own history may not exist yet; one named on the command line must, and must
    // hold checks to weigh by.
    if (o.historyPath) {
      std::error_code error;
      (void)std::filesystem::status(utf8Path(*o.historyPath), error);
      if (error) {
        throw UsageError("--history: cannot read '" + *o.historyPath + "': " + error.message());
      }
    }
    // Read through once, only what the weights need kept: a history of years is never held.
    const HistoryTallies history =
        History(o.historyPath.value_or(userFilePath(UserFile::History))).latestSendings();
    if (o.historyPath) {
      if (history.checks == 0 && history.damaged > 0) {
        throw UsageError("--history: '" + *o.historyPath + "' holds no readable check (" +
                         std::to_string(history.damaged) + " damaged lines)");
      }
    }
    path.setTallies(history.latest.tallies());
  }
  return path.weightsFor(
      {true, o.settings.textKind, o.settings.longZero, o.settings.specialSigns, nullptr});
}

int runExportCommand(const ExportRequest& options, std::ostream& err, bool terminal,
                     const volatile std::sig_atomic_t* stop) {
  try {
    FileText text;
    std::optional<FileIdentity> source;
    std::int64_t fileBytes = 0;
    if (options.textFile) {
      try {
        RegularFile file(*options.textFile);
        source = FileIdentity{file.device(), file.inode()};
        fileBytes = file.size();
        text = readFileText(file, kMaxFileBytes);
      } catch (const FileReadError& e) {
        throw UsageError("--file: cannot read '" + *options.textFile + "': " + e.what());
      }
    }
    if (options.textFile && !options.allGroups && text.count() > kMaxFileSymbols) {
      // Read whole, to tell the learner how much of a long file is left out.
      if (!options.groupsGiven) {
        err << "kelvak: '" << *options.textFile << "' holds " << text.groups()
            << " whole groups; the first " << kMaxGroups
            << " are exported (--groups all exports them all)\n";
      }
      text.symbols.resize(kMaxFileSymbols);
    }
    TransmissionSettings settings = settingsFor(options, text);
    // The bytes beyond the read bound were never looked at, whatever the first ones held.
    std::string unread;
    if (options.textFile && fileBytes > static_cast<std::int64_t>(kMaxFileBytes) &&
        (options.allGroups || !text.more)) {
      unread = "'" + *options.textFile + "' is larger (" + std::to_string(fileBytes) +
               " bytes) than the " + std::to_string(kMaxFileBytes >> 20) +
               " MiB read of a text file: what lies beyond was not read";
    }
    if (settings.groups == 0) {
      std::string why = "--groups 0 sends no group";
      if (options.textFile && text.groups() == 0) {
        why = "'" + *options.textFile + "' holds no whole group of five characters";
      }
      if (options.textFile && text.groups() == 0 && !unread.empty()) {
        why = "the first " + std::to_string(kMaxFileBytes >> 20) + " MiB read of '" +
              *options.textFile + "' hold no whole group of five characters; the file is larger (" +
              std::to_string(fileBytes) + " bytes), and what lies beyond was not read";
      }
      throw UsageError("nothing to send: " + why);
    }
    if (!unread.empty()) err << "kelvak: " << unread << "\n";
    settings.weights = learningWeightsFor(options);
    Random random;
    random.setState(options.seed);
    const TransmissionPlan plan = planTransmission(settings, text, random);

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    bool shown = false;
    int lastPercent = -1;
    auto progress = [&](std::int64_t done, std::int64_t total) {
      if (stop && *stop) return false;
      // Only a long export on a terminal gets the line; a short one would only flicker.
      if (!terminal || Clock::now() - started < std::chrono::milliseconds(300)) return true;
      const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
      if (percent == lastPercent) return true;
      lastPercent = percent;
      err << "\rkelvak: writing " << options.audioPath << "  " << percent << "%  (" << clock(done)
          << " of " << clock(total) << ")\033[K" << std::flush;
      shown = true;
      return true;
    };
    const bool written = writeExport(plan, options.audioPath, options.keyPath, progress, source);
    if (shown) err << "\n";
    if (!written) {
      err << "kelvak: stopped; " << options.audioPath << " was not written\n";
      return 128 + static_cast<int>(*stop);
    }
    return kExitOk;
  } catch (const UsageError& e) {
    err << "kelvak: " << e.what() << "\n";
    return kExitUsage;
  } catch (const UnwritablePathError& e) {
    err << "kelvak: " << e.what() << "\n";
    return kExitUsage;
  } catch (const AudioWriteError& e) {
    err << "kelvak: " << e.what() << "\n";
    return kExitFailure;
  } catch (const KelvakError& e) {
    // The settings allow no transmission (pauses, length): the user's input too.
    err << "kelvak: " << e.what() << "\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    err << "kelvak: " << e.what() << "\n";
    return kExitFailure;
  }
}

std::optional<int> runCommandLine(int argc, const char* const* argv) {
  CommandLine cl;
  try {
    cl = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::cerr << "kelvak: " << e.what() << "\n";
    return kExitUsage;
  }
  switch (cl.action) {
    case CommandLine::Action::Window:
      return std::nullopt;
    case CommandLine::Action::Help:
      // A help that could not be written (a full disk, a closed pipe) was not shown.
      if (!(std::cout << helpText() << std::flush)) {
        std::cerr << "kelvak: --help: cannot write the help to standard output\n";
        return kExitFailure;
      }
      return kExitOk;
    case CommandLine::Action::Export:
      break;
  }
  // Interrupted, the export removes its temporary file rather than leave half a file behind.
  static volatile std::sig_atomic_t stop = 0;
  stopOnInterrupt(stop);
  return runExportCommand(cl.options, std::cerr, standardErrorIsTerminal(), &stop);
}

}  // namespace kelvak

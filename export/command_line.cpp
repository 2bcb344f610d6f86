// Parsing the export options and running an export from the command line.
#include "export/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <ostream>
#include <system_error>

#include "base/error.h"
#include "export/audio_file.h"
#include "export/command_line_platform.h"
#include "export/exporter.h"
#include "text/utf8_path.h"
#include "training/history.h"
#include "training/learning_path.h"

namespace kelvak {

namespace {

constexpr const char* kKinds[] = {"digits", "letters", "mixture"};

struct Range {
  long long min, max;
};

long long integerValue(const std::string& option, const std::string& text, Range range) {
  long long v = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, last, v);
  if (text.empty() || ec == std::errc::invalid_argument || end != last) {
    throw UsageError(option + ": '" + text + "' is not an integer");
  }
  if (ec == std::errc::result_out_of_range || v < range.min || v > range.max) {
    throw UsageError(option + ": " + text + " is out of range " + std::to_string(range.min) + ".." +
                     std::to_string(range.max));
  }
  return v;
}

std::uint64_t seedValue(const std::string& text) {
  std::uint64_t v = 0;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(text.data(), last, v);
  if (text.empty() || ec == std::errc::invalid_argument || end != last) {
    throw UsageError("--seed: '" + text + "' is not an integer in 0..18446744073709551615");
  }
  if (ec == std::errc::result_out_of_range) {
    throw UsageError("--seed: " + text + " is out of range 0..18446744073709551615");
  }
  return v;
}

// A setting's line in the help: its option, meaning, range and initial value.
std::string optionHelp(Setting setting, const std::string& note = "") {
  const SettingRow& row = settingRow(setting);
  std::string head = std::string(row.option) + " " + row.valueName;
  head.resize(std::max<std::size_t>(head.size() + 1, 21), ' ');
  return "  " + head + row.meaning + ", " + std::to_string(row.commandLow()) + ".." +
         std::to_string(row.commandHigh()) + " (" + std::to_string(row.initialValue()) + note +
         ")\n";
}

constexpr const char* kFlags[] = {"--help", "--long-zero", "--special-signs", "--no-key", "--weak"};

std::string clock(std::int64_t samples) {
  const std::int64_t s = samples / kSampleRate;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  return buf;
}

}  // namespace

int sliderPositionForPercent(int percent) {
  try {
    return positionForPercent(percent);
  } catch (const KelvakError& e) {
    throw UsageError(e.what());
  }
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  const auto ours = [](const std::string& a) { return a.starts_with("--"); };
  if (std::none_of(args.begin(), args.end(), ours)) return cl;

  ExportOptions& o = cl.options;
  std::optional<int> textGiven, courseSet;
  CLI::App app;
  app.set_help_flag();  // --help only chooses what to do
  app.allow_extras();   // told in the program's words below
  // An option with a value: the last one given counts, read with the program's own messages.
  // An option right after one that needs a value was meant as an option, not as the value: a file
  // really named so is written "./--no-key".
  const auto valued = [&](const char* name, std::function<void(const std::string&)> read) {
    app.add_option_function<std::string>(
           name,
           [name, ours, read = std::move(read)](const std::string& v) {
             if (ours(v)) {
               throw UsageError(std::string(name) + " needs a value, not the option " + v +
                                " (a file of that name: ./" + v + ")");
             }
             read(v);
           })
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  };
  const auto ranged = [&](Setting setting, int& out) {
    const SettingRow& row = settingRow(setting);
    valued(row.option, [&out, &row](const std::string& v) {
      out = static_cast<int>(integerValue(row.option, v, {row.commandLow(), row.commandHigh()}));
    });
  };
  for (const char* f : kFlags) app.add_flag(f);

  valued("--export", [&](const std::string& v) { o.audioPath = v; });
  valued("--text", [&](const std::string& v) {
    int kind = -1;
    for (int k = 0; k < 3; ++k) {
      if (v == kKinds[k] || v == std::to_string(k)) kind = k;
    }
    if (kind < 0) throw UsageError("--text: '" + v + "' is not one of digits, letters, mixture");
    o.textKind = kind;
    textGiven = kind;
  });
  valued("--groups", [&](const std::string& v) {
    o.allGroups = v == "all";
    o.groups.reset();
    const SettingRow& row = settingRow(Setting::Groups);
    const Range range{row.commandLow(), row.commandHigh()};
    if (!o.allGroups) o.groups = static_cast<int>(integerValue(row.option, v, range));
  });
  ranged(Setting::Speed, o.speed);
  ranged(Setting::Tone, o.frequency);
  ranged(Setting::Signal, o.signalPercent);
  ranged(Setting::Noise, o.noisePercent);
  ranged(Setting::CharPause, o.charPause);
  ranged(Setting::GroupPause, o.groupPause);
  valued("--file", [&](const std::string& v) { o.textFile = v; });
  valued("--seed", [&](const std::string& v) { o.seed = seedValue(v); });
  valued("--key", [&](const std::string& v) { o.keyPath = v; });
  valued("--lesson", [&](const std::string& v) {
    // The set's own range is known only once every option is read: see learningWeightsFor.
    o.lesson = static_cast<int>(integerValue(
        "--lesson", v, {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}));
  });
  valued("--course-set", [&](const std::string& v) {
    const auto set = courseSetNamed(v);
    if (!set) throw UsageError("--course-set: '" + v + "' is not one of letters, digits, mixture");
    courseSet = static_cast<int>(*set);
  });
  valued("--history", [&](const std::string& v) { o.historyPath = v; });

  // "--speed=10" is split here: "--speed=" gives the empty value (CLI11 would wait for the next
  // word), and a flag with a value is refused (CLI11 would take "--no-key=0" as false).
  std::vector<std::string> words;
  for (const std::string& a : args) {
    const std::size_t eq = ours(a) ? a.find('=') : std::string::npos;
    if (eq == std::string::npos) {
      words.push_back(a);
      continue;
    }
    const std::string name = a.substr(0, eq);
    if (std::find(std::begin(kFlags), std::end(kFlags), name) != std::end(kFlags)) {
      throw UsageError(name + " takes no value");
    }
    words.push_back(name);
    words.push_back(a.substr(eq + 1));
  }
  std::reverse(words.begin(), words.end());  // as CLI11 takes them
  try {
    app.parse(words);
  } catch (const CLI::ArgumentMismatch&) {
    // Any word after an option is taken as its value: only the last one can miss it.
    throw UsageError(args.back() + " needs a value");
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    const std::string& extra = extras.front();
    if (!ours(extra)) throw UsageError("unexpected argument '" + extra + "'");
    throw UsageError("unknown option '" + extra + "' (kelvak --help lists them)");
  }
  o.longZero = app.count("--long-zero") > 0;
  o.specialSigns = app.count("--special-signs") > 0;
  o.weak = app.count("--weak") > 0;
  const bool help = app.count("--help") > 0, exportGiven = app.count("--export") > 0;
  const bool keyGiven = app.count("--key") > 0, noKey = app.count("--no-key") > 0;
  if (help) {
    cl.action = CommandLine::Action::Help;
    return cl;
  }
  if (!exportGiven) throw UsageError("--export FILE is needed (kelvak --help lists the options)");
  if (keyGiven && noKey) throw UsageError("--key and --no-key exclude each other");
  if (o.allGroups && !o.textFile) throw UsageError("--groups all needs --file");
  if (courseSet && !o.lesson) throw UsageError("--course-set needs --lesson N");
  if (courseSet && textGiven && *courseSet != *textGiven) {
    throw UsageError("--text and --course-set name different sets");
  }
  if (courseSet) o.textKind = *courseSet;
  if (o.historyPath && !o.weak) throw UsageError("--history needs --weak");
  if (o.textFile && (o.lesson || o.weak)) {
    throw UsageError("--file sends a text: --lesson and --weak choose random groups");
  }
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
  o.writeKey = !noKey;
  if (o.writeKey && !o.keyPath) o.keyPath = defaultKeyPath(o.audioPath);
  if (o.writeKey && *o.keyPath == o.audioPath) {
    throw UsageError("--key names the sound file itself");
  }
  cl.action = CommandLine::Action::Export;
  return cl;
}

std::string helpText() {
  using namespace std::string_literals;
  return "Usage: kelvak                         start the trainer's window\n"
         "       kelvak --export FILE [options]  write a transmission to a sound file\n"
         "\n"
         "The file holds what Play sends with the same settings: the start signal one second\n"
         "in, then the groups, each symbol at the time the window would send it. Its format\n"
         "follows the extension: .wav, .flac (both keep the samples exactly), .ogg, .opus, .mp3.\n"
         "\n"
         "Options (the window's controls, with their ranges and initial values):\n"
         "  --text KIND          digits, letters or mixture (digits)\n"s +
         optionHelp(Setting::Groups, "; with --file, the\n" + std::string(23, ' ') +
                                         "file's whole groups, and at most that") +
         "  --groups all         with --file: every whole group of the file, beyond 999 too\n" +
         optionHelp(Setting::Speed) + optionHelp(Setting::Tone) + optionHelp(Setting::Signal) +
         optionHelp(Setting::Noise) + optionHelp(Setting::CharPause) +
         optionHelp(Setting::GroupPause) +
         "  --long-zero          send the zero as five dashes (digits only)\n"
         "  --special-signs      include the special signs in letters and mixture\n"
         "  --file TEXTFILE      send the characters of a text file instead of random groups\n"
         "  --seed N             start the random sequence elsewhere (1: the groups of the\n"
         "                       first Play after the window opens)\n"
         "  --lesson N           send lesson N of the course: its characters, the newest\n"
         "                       twice as often\n"
         "  --course-set SET     the course's set: letters, digits or mixture (that of --text)\n"
         "  --weak               send the characters received worst more often\n"
         "  --history FILE       with --weak: weigh by this history instead of the user's own\n"
         "  --key FILE           write the answer key there (default: FILE with .key.txt)\n"
         "  --no-key             write no answer key\n"
         "  --help               show this text\n"
         "\n"
         "Exit status: 0 done, 1 the export failed, 2 bad input.\n";
}

TransmissionSettings settingsFor(const ExportOptions& o, const FileText& text) {
  TransmissionSettings s;
  s.speed = o.speed;
  s.textKind = o.textKind;
  s.frequency = o.frequency;
  s.signalPosition = sliderPositionForPercent(o.signalPercent);
  s.noisePosition = sliderPositionForPercent(o.noisePercent);
  s.charPause = o.charPause;
  s.groupPause = o.groupPause;
  s.longZero = o.longZero;
  s.specialSigns = o.specialSigns;
  s.randomSource = !o.textFile;
  if (o.textFile) {
    // Loading a file sets the group count to its whole groups and limits the spin arrows to it.
    s.groups = o.groups.value_or(text.groups());
    if (s.groups > text.groups()) {
      throw UsageError("--groups: " + std::to_string(s.groups) + " is out of range 0.." +
                       std::to_string(text.groups()) + " (the whole groups of '" + *o.textFile +
                       "')");
    }
  } else {
    s.groups = o.groups.value_or(settingRow(Setting::Groups).initialValue());
  }
  return s;
}

std::shared_ptr<const SymbolWeights> learningWeightsFor(const ExportOptions& o) {
  if (!o.lesson && !o.weak) return nullptr;
  LearningPath path;
  if (o.lesson) {
    const auto set = static_cast<CourseSet>(o.textKind);
    const int last = lessonCount(set, o.specialSigns);
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
    const HistoryContents contents = History(o.historyPath.value_or(userHistoryPath())).load();
    if (o.historyPath) {
      if (contents.records.empty() && !contents.damagedLines.empty()) {
        throw UsageError("--history: '" + *o.historyPath + "' holds no readable check (" +
                         std::to_string(contents.damagedLines.size()) + " damaged lines)");
      }
    }
    path.setHistory(contents.records);
  }
  return path.weightsFor({true, o.textKind, o.longZero, o.specialSigns, nullptr});
}

int runExportCommand(const ExportOptions& options, std::ostream& err, bool terminal,
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
      if (!options.groups) {
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
    const bool written = writeExport(
        plan, options.audioPath, options.writeKey ? options.keyPath : std::optional<std::string>{},
        progress, source);
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

// Parsing the export options and running an export from the command line.
#include "export/command_line.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <ostream>

#include "base/error.h"
#include "export/audio_file.h"
#include "export/exporter.h"
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
    throw UsageError("--seed: '" + text + "' is not an integer");
  }
  if (ec == std::errc::result_out_of_range) {
    throw UsageError("--seed: " + text + " is out of range 0..18446744073709551615");
  }
  return v;
}

bool takesValue(const std::string& name) {
  static const char* const names[] = {"--export",      "--text",       "--groups", "--speed",
                                      "--tone",        "--signal",     "--noise",  "--char-pause",
                                      "--group-pause", "--file",       "--seed",   "--key",
                                      "--lesson",      "--course-set", "--history"};
  for (const char* n : names) {
    if (name == n) return true;
  }
  return false;
}

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
  bool ours = false;
  for (const std::string& a : args) ours = ours || a.rfind("--", 0) == 0;
  if (!ours) return cl;

  ExportOptions& o = cl.options;
  bool exportGiven = false, help = false, keyGiven = false, noKey = false;
  std::optional<int> textGiven, courseSet;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (name.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + name + "'");
    if (const std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (takesValue(name)) {
      if (!value) {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
      }
    } else if (value) {
      throw UsageError(name + " takes no value");
    }
    const std::string& v = value ? *value : name;

    if (name == "--help") {
      help = true;
    } else if (name == "--export") {
      o.audioPath = v;
      exportGiven = true;
    } else if (name == "--text") {
      int kind = -1;
      for (int k = 0; k < 3; ++k) {
        if (v == kKinds[k] || v == std::to_string(k)) kind = k;
      }
      if (kind < 0) throw UsageError("--text: '" + v + "' is not one of digits, letters, mixture");
      o.textKind = kind;
      textGiven = kind;
    } else if (name == "--groups") {
      o.groups = static_cast<int>(integerValue(name, v, {0, kMaxGroups}));
    } else if (name == "--speed") {
      // Speed 0 is on the window's slider, but no transmission can be formed there.
      o.speed = static_cast<int>(integerValue(name, v, {1, 30}));
    } else if (name == "--tone") {
      o.frequency = static_cast<int>(integerValue(name, v, {100, 5000}));
    } else if (name == "--signal") {
      o.signalPercent = static_cast<int>(integerValue(name, v, {0, 100}));
    } else if (name == "--noise") {
      o.noisePercent = static_cast<int>(integerValue(name, v, {0, 100}));
    } else if (name == "--char-pause") {
      o.charPause = static_cast<int>(integerValue(name, v, {1, 5}));
    } else if (name == "--group-pause") {
      o.groupPause = static_cast<int>(integerValue(name, v, {1, 5}));
    } else if (name == "--long-zero") {
      o.longZero = true;
    } else if (name == "--special-signs") {
      o.specialSigns = true;
    } else if (name == "--file") {
      o.textFile = v;
    } else if (name == "--seed") {
      o.seed = seedValue(v);
    } else if (name == "--key") {
      o.keyPath = v;
      keyGiven = true;
    } else if (name == "--no-key") {
      noKey = true;
    } else if (name == "--lesson") {
      o.lesson = static_cast<int>(integerValue(name, v, {1, kMaxGroups}));
    } else if (name == "--course-set") {
      const auto set = courseSetNamed(v);
      if (!set)
        throw UsageError("--course-set: '" + v + "' is not one of letters, digits, mixture");
      courseSet = static_cast<int>(*set);
    } else if (name == "--weak") {
      o.weak = true;
    } else if (name == "--history") {
      o.historyPath = v;
    } else {
      throw UsageError("unknown option '" + name + "' (kelvak --help lists them)");
    }
  }
  if (help) {
    cl.action = CommandLine::Action::Help;
    return cl;
  }
  if (!exportGiven) throw UsageError("--export FILE is needed (kelvak --help lists the options)");
  if (keyGiven && noKey) throw UsageError("--key and --no-key exclude each other");
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
  if (!audioFormatForPath(o.audioPath)) {
    throw UsageError("--export: unknown file extension of '" + o.audioPath + "': use " +
                     knownExtensions());
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
  return "Usage: kelvak                         start the trainer's window\n"
         "       kelvak --export FILE [options]  write a transmission to a sound file\n"
         "\n"
         "The file holds what Play sends with the same settings: the start signal one second\n"
         "in, then the groups, each symbol at the time the window would send it. Its format\n"
         "follows the extension: .wav, .flac (both keep the samples exactly), .ogg, .opus, .mp3.\n"
         "\n"
         "Options (the window's controls, with their ranges and initial values):\n"
         "  --text KIND          digits, letters or mixture (digits)\n"
         "  --groups N           groups of five characters, 0..999 (30; with --file, the\n"
         "                       file's whole groups, and at most that)\n"
         "  --speed N            groups per minute, 1..30 (12)\n"
         "  --tone N             tone frequency in Hz, 100..5000 (500)\n"
         "  --signal P           signal level in percent, 0..100 (100)\n"
         "  --noise P            interference level in percent, 0..100 (0)\n"
         "  --char-pause N       pause between characters in dashes, 1..5 (1)\n"
         "  --group-pause N      pause between groups in dashes, 1..5 (2)\n"
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
    s.groups = o.groups.value_or(kDefaultGroups);
  }
  return s;
}

namespace {

// The user's history where the window keeps it: the data folder the desktop names.
std::string userHistoryPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder = data && *data == '/' ? data : "";
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/.local/share";
  }
  return folder + "/kelvak/history.jsonl";
}

}  // namespace

std::shared_ptr<const SymbolWeights> learningWeightsFor(const ExportOptions& o) {
  if (!o.lesson && !o.weak) return nullptr;
  LearningPath path;
  if (o.lesson) {
    const auto set = static_cast<CourseSet>(o.textKind);
    const int last = lessonCount(set, o.specialSigns);
    if (*o.lesson > last) {
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
    path.setHistory(History(o.historyPath.value_or(userHistoryPath())).load().records);
  }
  return path.weightsFor({true, o.textKind, o.longZero, o.specialSigns, nullptr});
}

int runExportCommand(const ExportOptions& options, std::ostream& err, bool terminal,
                     const volatile std::sig_atomic_t* stop) {
  try {
    FileText text;
    if (options.textFile) {
      if (!std::ifstream(*options.textFile, std::ios::binary)) {
        throw UsageError("--file: cannot read '" + *options.textFile +
                         "': " + std::strerror(errno));
      }
      text = readFileText(*options.textFile);
    }
    TransmissionSettings settings = settingsFor(options, text);
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
    const bool written =
        writeExport(plan, options.audioPath,
                    options.writeKey ? options.keyPath : std::optional<std::string>{}, progress);
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
      std::cout << helpText();
      return kExitOk;
    case CommandLine::Action::Export:
      break;
  }
  // Interrupted, the export removes its temporary file rather than leave half a file behind.
  static volatile std::sig_atomic_t stop = 0;
  struct sigaction action {};
  action.sa_handler = [](int signal) { stop = signal; };
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return runExportCommand(cl.options, std::cerr, ::isatty(STDERR_FILENO) == 1, &stop);
}

}  // namespace kelvak

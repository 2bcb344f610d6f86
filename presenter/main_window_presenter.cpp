// The main window's handlers, below the toolkit.
#include "presenter/main_window_presenter.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>

#include "base/system_reason.h"
#include "export/exporter.h"
#include "text/utf8_path.h"
#include "export/target_files.h"
#include "export/transmission_plan.h"
#include "presenter/text_format.h"
#include "training/check_source.h"

namespace kelvak {

namespace {

// Prompts shown when a control receives the keyboard focus.
const char* promptFor(PromptedControl control) {
  switch (control) {
    case PromptedControl::Speed:
      return "Выберите скорость воспроизведения (групп в минуту)";
    case PromptedControl::Signal:
      return "Выберите уровень полезного сигнала в процентах";
    case PromptedControl::Noise:
      return "Выберите уровень помехи в процентах (advansed users only)";
    case PromptedControl::Tone:
      return "Выберите частоту полезного сигнала в герцах";
    case PromptedControl::GroupCount:
      return "Выберите количаство групп в воспроизводимом тексте";
  }
  return "";
}

// The last part of a path.
std::string fileNameOf(const std::string& path) { return utf8String(utf8Path(path).filename()); }

// Today in the local calendar, YYYY-MM-DD.
std::string today() { return localTimeText(std::time(nullptr), "%Y-%m-%d"); }

// Characters of a UTF-8 key, its spaces not among them.
std::size_t keyCharacters(const std::string& key) {
  return static_cast<std::size_t>(std::count_if(key.begin(), key.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte != ' ' && (byte & 0xC0) != 0x80;
  }));
}

// A file of the export that was not written, in the window's language.
std::string writeFailureText(const WriteFailure& f) {
  std::string why;
  switch (f.fault) {
    case WriteFault::System:
      why = systemReason(f.error);
      break;
    case WriteFault::SymbolicLink:
      why = "это символическая ссылка, а она не заменяется: укажите сам файл";
      break;
    case WriteFault::NotRegular:
      why = "это не обычный файл, а заменяется только обычный";
      break;
    case WriteFault::NoTemporaryName:
      why = "рядом нет свободного имени для временного файла";
      break;
    case WriteFault::NoFileName:
      why = "не указано имя файла";
      break;
    case WriteFault::SoundFileItself:
      why = "это сам звуковой файл " + f.other;
      break;
    case WriteFault::TextFileSent:
      why = "это передаваемый текстовый файл";
      break;
    case WriteFault::TooLongForWav:
      why = "запись слишком длинна для файла WAV";
      break;
    case WriteFault::Encoder:
      why = "ошибка кодировщика (" + f.other + ")";
      break;
  }
  return "Файл " + f.path + " не записан: " + why;
}

}  // namespace

StatusLine savedExportStatus(const SavedExport& saved) {
  StatusLine line;
  line.text = "Сохранено: " + fileNameOf(saved.audioPath);
  line.detail = "Сохранено: " + saved.audioPath;
  if (!saved.keyPath.empty()) {
    line.text += "; ключ: " + fileNameOf(saved.keyPath);
    line.detail += "; ключ: " + saved.keyPath;
  }
  return line;
}

std::string suggestedExportName(const TransmissionSettings& settings, const std::string& filePath,
                                const std::string& isoDay) {
  static const char* const kKinds[] = {"цифры", "буквы", "смесь"};
  std::string kind;
  if (!settings.randomSource && !filePath.empty()) {
    // The file's name up to its last full stop.
    kind = fileNameOf(filePath);
    kind = kind.substr(0, std::min(kind.rfind('.'), kind.size()));
  } else {
    kind = kKinds[std::clamp(settings.textKind, 0, 2)];
  }
  return kind + "_скорость" + std::to_string(settings.speed) + "_" + isoDay;
}

MainWindowPresenter::MainWindowPresenter(MainView& view, Timer& timer, WaveDevice& device,
                                         ErrorGate& gate)
    : view_(view), gate_(gate), engine_(view, timer, device, random_) {}

void MainWindowPresenter::dispatch(const std::function<void()>& handler) {
  gate_.run(handler);
  followSound();
}

void MainWindowPresenter::followSound() { view_.followSoundIn(engine_.followSound()); }

void MainWindowPresenter::soundFollowDue() { followSound(); }

void MainWindowPresenter::controlsMade() {
  for (const SettingRow& row : kSettingTable) {
    view_.setUpSetting(static_cast<Setting>(&row - kSettingTable), row.low, row.high, row.initial);
  }
  for (SoundSetting slider :
       {SoundSetting::Speed, SoundSetting::Signal, SoundSetting::Noise, SoundSetting::Frequency}) {
    view_.showSettingValue(slider, shownValue(slider));
  }
}

int MainWindowPresenter::shownValue(SoundSetting slider) const {
  switch (slider) {
    case SoundSetting::Speed:
      return view_.speed();
    case SoundSetting::Frequency:
      return view_.frequency();
    case SoundSetting::Signal:
      return levelPercent(view_.signalPosition());
    case SoundSetting::Noise:
      return levelPercent(view_.noisePosition());
  }
  return 0;
}

void MainWindowPresenter::settingChanged(SoundSetting slider) {
  dispatch([this, slider] {
    view_.showSettingValue(slider, shownValue(slider));
    engine_.soundSettingChanged(slider);
  });
}

void MainWindowPresenter::controlEntered(PromptedControl control) {
  dispatch([this, control] { view_.setStatusText(promptFor(control)); });
}

void MainWindowPresenter::textKindChanged() {
  if (kindWatch_) dispatch(kindWatch_);
}

void MainWindowPresenter::fileTextChosen() {
  dispatch([this] {
    if (const std::optional<std::string> path = view_.chooseTextFile()) engine_.loadFile(*path);
  });
}

void MainWindowPresenter::randomTextChosen() {
  dispatch([this] { engine_.useRandomText(); });
}

void MainWindowPresenter::playClicked() {
  dispatch([this] {
    // A failed start has cleared the last transmission as well.
    try {
      engine_.play();
    } catch (...) {
      if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
      throw;
    }
    if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
  });
}

void MainWindowPresenter::stopClicked() {
  dispatch([this] { engine_.stopPlayback(); });
}

void MainWindowPresenter::pauseClicked() {
  dispatch([this] { engine_.pause(); });
}

void MainWindowPresenter::timerTicked() {
  dispatch([this] { engine_.tick(); });
}

void MainWindowPresenter::stopTransmission() {
  if (engine_.open()) engine_.stopPlayback();
}

void MainWindowPresenter::aboutRequested() {
  dispatch([this] { view_.showAbout(); });
}

void MainWindowPresenter::helpRequested() {
  dispatch([this] { view_.showHelp(); });
}

void MainWindowPresenter::exitRequested() {
  // Ends the message loop at once; the sound stops with it rather than playing on into the exit.
  dispatch([this] {
    engine_.shutdown();
    view_.quit();
  });
}

void MainWindowPresenter::saveSoundRequested() {
  dispatch([this] { saveSound(); });
}

void MainWindowPresenter::saveSound() {
  // What Play would send next, with the window's generator, so the next Play goes on from where
  // the file ends.
  TransmissionSettings settings = settingsFrom(view_);
  if (settings.randomSource) settings.weights = engine_.weightsFor(settings.choice());
  const std::optional<std::string> chosen =
      view_.chooseSoundFile(suggestedExportName(settings, engine_.filePath(), today()));
  if (!chosen) return;
  const std::string& audioPath = *chosen;
  const std::string keyPath = defaultKeyPath(audioPath);

  // The loaded text file is the learner's: neither the sound nor its key may take its place (a
  // text loaded from "lesson.key.txt" and saved as "lesson.wav" would become the key).
  const std::optional<FileIdentity> loaded =
      engine_.filePath().empty() ? std::nullopt : identityOf(engine_.filePath());

  GeneratorPlan planned(settings, engine_.fileText(), random_, engine_.unitMs());
  const TransmissionPlan& plan = planned.plan();
  const ExportRun run =
      view_.runExport(fileNameOf(audioPath), [&](const ExportProgress& progress) {
        return writeExport(plan, audioPath, keyPath, progress, loaded);
      });
  // A cancelled or failed export leaves the generator as it was.
  if (!run.completed) planned.giveBack();
  // F10 during the export ends the program as it does elsewhere, once the export has cleaned up;
  // what the export met on its way out is not reported then.
  if (run.quit) {
    engine_.shutdown();
    view_.quit();
    return;
  }
  if (run.failure) {
    try {
      std::rethrow_exception(run.failure);
    } catch (const ExportFileError& e) {
      throw KelvakError(writeFailureText(e.failure()));
    }
  }
  if (!run.completed) return;

  const SavedExport saved{audioPath, keyPath, settings, keyCharacters(plan.answerKey)};
  const StatusLine status = savedExportStatus(saved);
  view_.setStatusText(status.text, status.detail);
  if (trainingEvents_.exported) {
    trainingEvents_.exported({saved.keyPath,
                              recordSettingsFor(settings.forming(), !settings.randomSource,
                                                engine_.filePath(), saved.symbols)});
  }
}

}  // namespace kelvak

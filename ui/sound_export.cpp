// The save dialog and the progress of an export from the main window. The samples are written on a
// thread of their own, so the window (and a transmission it plays) goes on meanwhile.
#include "ui/sound_export.h"

#include <sys/stat.h>

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "export/audio_file.h"
#include "export/exporter.h"
#include "ui/file_dialog_size.h"

namespace kelvak {

namespace {

const char* const kDialogTitle = "Сохранить в звуковой файл";
const char* const kProgressText = "Сохранение в звуковой файл %1...";
const char* const kCancelText = "Отмена";
constexpr int kProgressSteps = 1000;
constexpr int kProgressDelayMs = 500;  // a short export finishes before any dialog shows
constexpr int kPollMs = 100;

// The filters of the save dialog, one a format; the first is chosen at the start.
QStringList nameFilters() {
  QStringList out;
  for (AudioFormat f : {AudioFormat::Wav, AudioFormat::Flac, AudioFormat::OggVorbis,
                        AudioFormat::Opus, AudioFormat::Mp3}) {
    out << QString("%1 (*%2)").arg(audioFormatName(f), audioFormatExtension(f));
  }
  return out;
}

// The folder of the last export of this run; empty: the start folder.
QString& lastFolder() {
  static QString folder;
  return folder;
}

// The extension a filter names, without its dot: "WAV (*.wav)" gives "wav".
QString filterSuffix(const QString& filter) {
  const int star = filter.indexOf("*.");
  return star < 0 ? QString() : filter.mid(star + 2).chopped(1);
}

}  // namespace

StatusLine savedExportStatus(const SavedExport& saved) {
  auto name = [](const std::string& path) {
    return QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString();
  };
  StatusLine line;
  line.text = "Сохранено: " + name(saved.audioPath);
  line.detail = "Сохранено: " + saved.audioPath;
  if (!saved.keyPath.empty()) {
    line.text += "; ключ: " + name(saved.keyPath);
    line.detail += "; ключ: " + saved.keyPath;
  }
  return line;
}

QString suggestedExportName(const TransmissionSettings& settings, const std::string& filePath,
                            const QDate& day) {
  static const char* const kKinds[] = {"цифры", "буквы", "смесь"};
  QString kind;
  if (!settings.randomSource && !filePath.empty()) {
    kind = QFileInfo(QFile::decodeName(filePath.c_str())).completeBaseName();
  } else {
    kind = QString::fromUtf8(kKinds[std::clamp(settings.textKind, 0, 2)]);
  }
  return QString::fromUtf8("%1_скорость%2_%3")
      .arg(kind)
      .arg(settings.speed)
      .arg(day.toString(Qt::ISODate));
}

ExportOutcome exportSoundFile(QWidget* parent, const Controls& controls, Random& random,
                              const FileText& fileText, const std::string& filePath,
                              std::int32_t unitMs,
                              const std::function<bool(QFileDialog&)>& presentDialog,
                              const Transmission::Weighting& weighting) {
  TransmissionSettings settings = settingsFrom(controls);
  if (weighting && settings.randomSource) settings.weights = weighting(settings.choice());
  QFileDialog dialog(parent, QString::fromUtf8(kDialogTitle));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The file list's dates and kinds in Russian whatever the system's language, as the program.
  dialog.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(nameFilters());
  dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& f) { dialog.setDefaultSuffix(filterSuffix(f)); });
  if (!lastFolder().isEmpty()) dialog.setDirectory(lastFolder());
  dialog.selectFile(suggestedExportName(settings, filePath, QDate::currentDate()) + "." +
                    filterSuffix(dialog.selectedNameFilter()));
  fitFileDialog(dialog);
  if (!presentDialog(dialog)) return {};
  // A name typed without any extension takes the format chosen last.
  dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  const std::string audioPath = QFile::encodeName(chosen.front()).toStdString();
  lastFolder() = QFileInfo(chosen.front()).absolutePath();

  // The loaded text file is the learner's: neither the sound nor its key may take its place (a
  // text loaded from "lesson.key.txt" and saved as "lesson.wav" would become the key).
  std::optional<FileIdentity> loaded;
  struct stat info {};
  if (!filePath.empty() && ::stat(filePath.c_str(), &info) == 0) {
    loaded = FileIdentity{info.st_dev, info.st_ino};
  }

  GeneratorPlan planned(settings, fileText, random, unitMs);
  const TransmissionPlan& plan = planned.plan();

  std::atomic<std::int64_t> done{0};
  std::atomic<bool> cancel{false}, finished{false};
  bool completed = false;
  std::exception_ptr failure;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      completed = writeExport(
          plan, audioPath, defaultKeyPath(audioPath),
          [&](std::int64_t d, std::int64_t) {
            done = d;
            return !cancel.load();
          },
          loaded);
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  QProgressDialog progress(
      QString::fromUtf8(kProgressText).arg(QFileInfo(chosen.front()).fileName()),
      QString::fromUtf8(kCancelText), 0, kProgressSteps, parent);
  progress.setWindowTitle(QString::fromUtf8(kDialogTitle));
  progress.setMinimumWidth(progress.fontMetrics().horizontalAdvance(progress.labelText()) * 3 / 2);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { cancel = true; });
  // The dialog holds the keyboard, so the main window's F10 is the dialog's too: it cancels the
  // export and ends the program once the export has cleaned up.
  bool quit = false;
  QAction quitAction(&progress);
  quitAction.setShortcut(Qt::Key_F10);
  progress.addAction(&quitAction);
  QObject::connect(&quitAction, &QAction::triggered, &loop, [&] {
    quit = true;
    cancel = true;
    loop.quit();
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &progress, [&] {
    const std::int64_t total = std::max<std::int64_t>(plan.totalSamples, 1);
    progress.setValue(static_cast<int>(done.load() * kProgressSteps / total));
  });
  poll.start(kPollMs);
  if (!finished) loop.exec();
  // The program may be ending (its exit leaves every event loop): a file not finished by then is
  // not wanted.
  if (!finished) cancel = true;
  worker.join();
  progress.close();

  if (failure && !quit) {
    planned.giveBack();
    std::rethrow_exception(failure);
  }
  if (!completed) {
    planned.giveBack();
    return {std::nullopt, quit};
  }
  SavedExport saved{audioPath, defaultKeyPath(audioPath), settings, 0};
  saved.symbols =
      static_cast<std::size_t>(QString::fromStdString(plan.answerKey).remove(' ').size());
  return {saved, false};
}

}  // namespace kelvak

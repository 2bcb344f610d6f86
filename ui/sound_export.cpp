// The save dialog and the progress of an export from the main window. The samples are written on a
// thread of their own, so the window (and a transmission it plays) goes on meanwhile.
#include "ui/sound_export.h"

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

std::optional<std::string> askSoundFileName(
    QWidget* parent, const std::string& suggestedName,
    const std::function<bool(QFileDialog&)>& presentDialog) {
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
  dialog.selectFile(QString::fromStdString(suggestedName) + "." +
                    filterSuffix(dialog.selectedNameFilter()));
  fitFileDialog(dialog);
  if (!presentDialog(dialog)) return std::nullopt;
  // A name typed without any extension takes the format chosen last.
  dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  lastFolder() = QFileInfo(chosen.front()).absolutePath();
  return QFile::encodeName(chosen.front()).toStdString();
}

ExportRun runExportWithProgress(QWidget* parent, const std::string& fileName,
                                const ExportWork& work) {
  std::atomic<std::int64_t> done{0}, total{1};
  std::atomic<bool> cancel{false}, finished{false};
  ExportRun run;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      run.completed = work([&](std::int64_t d, std::int64_t t) {
        done = d;
        total = std::max<std::int64_t>(t, 1);
        return !cancel.load();
      });
    } catch (...) {
      run.failure = std::current_exception();
    }
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  QProgressDialog progress(QString::fromUtf8(kProgressText).arg(QFile::decodeName(fileName.c_str())),
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
  QAction quitAction(&progress);
  quitAction.setShortcut(Qt::Key_F10);
  progress.addAction(&quitAction);
  QObject::connect(&quitAction, &QAction::triggered, &loop, [&] {
    run.quit = true;
    cancel = true;
    loop.quit();
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &progress, [&] {
    progress.setValue(static_cast<int>(done.load() * kProgressSteps / total.load()));
  });
  poll.start(kPollMs);
  if (!finished) loop.exec();
  // The program may be ending (its exit leaves every event loop): a file not finished by then is
  // not wanted.
  if (!finished) cancel = true;
  worker.join();
  progress.close();
  return run;
}

}  // namespace kelvak

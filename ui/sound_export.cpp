// The save dialog and the progress of an export from the main window. The samples are written on a
// thread of their own, so the window (and a transmission it plays) goes on meanwhile.
#include "ui/sound_export.h"

#include <QApplication>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include "export/audio_file.h"
#include "export/exporter.h"
#include "presenter/export_worker.h"
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

// Sees F10 before every window of the application while it lives.
class F10Watch : public QObject {
 public:
  explicit F10Watch(std::function<void()> pressed) : pressed_(std::move(pressed)) {
    qApp->installEventFilter(this);
  }
  ~F10Watch() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
      return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::NoModifier) return false;
    // Claimed as a key of its own, it comes as a key press, not as a window's shortcut.
    event->accept();
    if (event->type() == QEvent::KeyPress && !key->isAutoRepeat()) pressed_();
    return true;
  }

 private:
  std::function<void()> pressed_;
};

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
  QEventLoop loop;
  ExportWorker worker(work, [&loop] {
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
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { worker.cancel(); });
  // F10 during the export cancels it and ends the program once the export has cleaned up,
  // wherever the keyboard is: taken before any window's shortcuts see it.
  bool quit = false;
  F10Watch f10([&] {
    quit = true;
    worker.cancel();
    loop.quit();
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &progress,
                   [&] { progress.setValue(worker.progress(kProgressSteps)); });
  poll.start(kPollMs);
  if (!worker.finished()) loop.exec();
  // The program may be ending (its exit leaves every event loop): a file not finished by then is
  // not wanted.
  if (!worker.finished()) worker.cancel();
  ExportRun run = worker.join();
  run.quit = quit;
  progress.close();
  return run;
}

}  // namespace kelvak

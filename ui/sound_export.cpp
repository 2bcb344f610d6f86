// The save dialog and the progress of an export from the main window. The samples are written on a
// thread of their own, so the window (and a transmission it plays) goes on meanwhile.
#include "ui/sound_export.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

#include "export/audio_file.h"
#include "export/exporter.h"

namespace kelvak {

namespace {

const char* const kDialogTitle = "Сохранить в звуковой файл";
const char* const kProgressText = "Сохранение в звуковой файл...";
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

// The extension a filter names, without its dot: "WAV (*.wav)" gives "wav".
QString filterSuffix(const QString& filter) {
  const int star = filter.indexOf("*.");
  return star < 0 ? QString() : filter.mid(star + 2).chopped(1);
}

}  // namespace

void exportSoundFile(QWidget* parent, const Controls& controls, Random& random,
                     const FileText& fileText, std::int32_t unitMs,
                     const std::function<bool(QFileDialog&)>& presentDialog,
                     const Transmission::Weighting& weighting) {
  QFileDialog dialog(parent, QString::fromUtf8(kDialogTitle));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(nameFilters());
  dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& f) { dialog.setDefaultSuffix(filterSuffix(f)); });
  if (!presentDialog(dialog)) return;
  // A name typed without any extension takes the format chosen last.
  dialog.setDefaultSuffix(filterSuffix(dialog.selectedNameFilter()));
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return;
  const std::string audioPath = QFile::encodeName(chosen.front()).toStdString();

  TransmissionSettings settings = settingsFrom(controls);
  if (weighting && settings.randomSource) settings.weights = weighting(settings.choice());
  GeneratorPlan planned(settings, fileText, random, unitMs);
  const TransmissionPlan& plan = planned.plan();

  std::atomic<std::int64_t> done{0};
  std::atomic<bool> cancel{false}, finished{false};
  bool completed = false;
  std::exception_ptr failure;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      completed = writeExport(plan, audioPath, defaultKeyPath(audioPath),
                              [&](std::int64_t d, std::int64_t) {
                                done = d;
                                return !cancel.load();
                              });
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  QProgressDialog progress(QString::fromUtf8(kProgressText), QString::fromUtf8(kCancelText), 0,
                           kProgressSteps, parent);
  progress.setWindowTitle(QString::fromUtf8(kDialogTitle));
  progress.setMinimumWidth(progress.fontMetrics().horizontalAdvance(progress.labelText()) * 3 / 2);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { cancel = true; });
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

  if (failure) {
    planned.giveBack();
    std::rethrow_exception(failure);
  }
  if (!completed) planned.giveBack();
}

}  // namespace kelvak

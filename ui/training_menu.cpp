// The training menu: its commands and what the check window needs from the main window.
#include "ui/training_menu.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QStandardPaths>
#include <chrono>

#include "playback/error_gate.h"
#include "playback/transmission.h"
#include "training/check_source.h"
#include "ui/check_window.h"
#include "ui/statistics_window.h"

namespace kelvak {

TrainingMenu::TrainingMenu(TrainingHost& host, ErrorGate& gate, std::string historyPath)
    : host_(host),
      gate_(gate),
      history_(historyPath.empty() ? defaultHistoryPath() : std::move(historyPath)) {
  menu = new QMenu(QString::fromUtf8("Тре&нировка"), host.hostWindow());
  menu->setObjectName("TrainingMenu");
  menu->setAttribute(Qt::WA_WindowPropagation);  // the window's font, as its other menus
  hideText = menu->addAction(QString::fromUtf8("&Скрывать текст при передаче"));
  hideText->setObjectName("HideTextItem");
  hideText->setCheckable(true);  // clear at every start
  checkReception = menu->addAction(QString::fromUtf8("&Проверить приём..."));
  checkReception->setObjectName("CheckReceptionItem");
  statistics = menu->addAction(QString::fromUtf8("С&татистика..."));
  statistics->setObjectName("StatisticsItem");
  menu->addSeparator();
  newSequence = menu->addAction(QString::fromUtf8("&Новая последовательность"));
  newSequence->setObjectName("NewSequenceItem");
  host.insertTrainingMenu(menu);

  connect(hideText, &QAction::toggled, this,
          [this](bool on) { gate_.run([this, on] { host_.setTransmittedTextHidden(on); }); });
  connect(checkReception, &QAction::triggered, this,
          [this] { gate_.run([this] { checkWindow().showInFront(); }); });
  connect(statistics, &QAction::triggered, this,
          [this] { gate_.run([this] { statisticsWindow().showInFront(); }); });
  connect(newSequence, &QAction::triggered, this,
          [this] { gate_.run([this] { seedFromClock(); }); });

  host.setTrainingEvents({[this] {
                            if (check_) check_->transmissionStarted();
                          },
                          [this](const ExportedKey& key) {
                            exported_.push_back(key);
                            // Offered at once: a learner who exports a lesson checks it against
                            // this key.
                            checkWindow().useKey(key.keyPath, key.settings);
                          }});
}

TrainingMenu::~TrainingMenu() {
  host_.setTrainingEvents({});
  delete check_;
  delete statistics_;
  delete menu;
}

std::string TrainingMenu::defaultHistoryPath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return QDir(dir).filePath("history.jsonl").toStdString();
}

CheckWindow& TrainingMenu::checkWindow() {
  if (!check_) {
    check_ = new CheckWindow(
        history_,
        [this] {
          const Transmission& engine = host_.transmission();
          return checkSourceFor(engine.lastSent(), engine.open());
        },
        [this](const std::function<void()>& handler) { gate_.run(handler); }, host_.hostWindow());
    check_->setKeySettings([this](const std::string& path) { return keySettings(path); });
    // An open statistics window shows every check as soon as it is recorded.
    connect(check_, &CheckWindow::recorded, this, [this] {
      if (statistics_ && statistics_->isVisible()) statistics_->reload();
    });
  }
  return *check_;
}

StatisticsWindow& TrainingMenu::statisticsWindow() {
  if (!statistics_) statistics_ = new StatisticsWindow(history_, host_.hostWindow());
  return *statistics_;
}

RecordSettings TrainingMenu::keySettings(const std::string& keyPath) const {
  for (auto k = exported_.rbegin(); k != exported_.rend(); ++k) {
    if (k->keyPath == keyPath) return k->settings;
  }
  // A key of another run says nothing of its settings: those the window shows now are the best
  // guess; the record names the key's file, as a text file's.
  const TransmissionSettings now = host_.windowSettings();
  RecordSettings s = recordSettingsFor(now.forming(), true, keyPath, 0);
  return s;
}

void TrainingMenu::seedFromClock() {
  // Any state is a good start for this generator; the clock in nanoseconds differs every run.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  host_.reseedGenerator(ns ^ (ns << 29));
  host_.showStatus("Следующие группы будут новыми");
}

}  // namespace kelvak

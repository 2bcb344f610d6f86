// The training menu: its commands and what the check window needs from the main window.
#include "ui/training_menu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>

#include "playback/error_gate.h"
#include "synth/symbol_table.h"
#include "ui/check_window.h"
#include "ui/main_window.h"
#include "ui/statistics_window.h"
#include "ui_main_window.h"

namespace kelvak {

namespace {

// The level in percent as the window's label shows it.
int levelPercent(int position) { return static_cast<int>((127 - position) * (1.0 / 127) * 100); }

}  // namespace

TrainingMenu::TrainingMenu(TForm1& form, ErrorGate& gate, std::string historyPath)
    : form_(form),
      gate_(gate),
      history_(historyPath.empty() ? defaultHistoryPath() : std::move(historyPath)) {
  menu = new QMenu(QString::fromUtf8("Тре&нировка"), form.ui().MainMenu1);
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
  form.ui().MainMenu1->insertMenu(form.ui().N3->menuAction(), menu);

  connect(hideText, &QAction::toggled, this,
          [this](bool on) { gate_.run([this, on] { form_.engine().setTextHidden(on); }); });
  connect(checkReception, &QAction::triggered, this,
          [this] { gate_.run([this] { checkWindow().showInFront(); }); });
  connect(statistics, &QAction::triggered, this,
          [this] { gate_.run([this] { statisticsWindow().showInFront(); }); });
  connect(newSequence, &QAction::triggered, this,
          [this] { gate_.run([this] { seedFromClock(); }); });
}

TrainingMenu::~TrainingMenu() {
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
          const Transmission& engine = form_.engine();
          const SentText& last = engine.lastSent();
          CheckSource s;
          for (std::uint8_t i : last.symbols) s.sent += SymbolTable[i].unicode;
          s.number = last.number;
          s.running = engine.open();
          const int kind = std::clamp(last.sound.textKind, 0, 2);
          s.settings.source = last.fromFile ? TextSource::File : static_cast<TextSource>(kind);
          if (last.fromFile) {
            s.settings.file =
                QFileInfo(QString::fromStdString(last.filePath)).fileName().toStdString();
          }
          s.settings.speed = last.sound.speed;
          s.settings.tone = last.sound.frequency;
          s.settings.noise = levelPercent(last.sound.noisePosition);
          s.settings.groups = static_cast<int>((last.symbols.size() + 4) / 5);
          return s;
        },
        [this](const std::function<void()>& handler) { gate_.run(handler); }, &form_);
  }
  return *check_;
}

StatisticsWindow& TrainingMenu::statisticsWindow() {
  if (!statistics_) statistics_ = new StatisticsWindow(history_, &form_);
  return *statistics_;
}

void TrainingMenu::seedFromClock() {
  // Any state is a good start for this generator; the clock in nanoseconds differs every run.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  form_.random().setState(ns ^ (ns << 29));
  form_.setStatusText("Следующие группы будут новыми");
}

}  // namespace kelvak

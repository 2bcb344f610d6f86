// The training menu: its items and windows, bound to the training presenter.
#include "ui/training_menu.h"

#include <QAction>
#include <QLayout>
#include <QMenu>

#include "app/user_files.h"
#include "base/error.h"
#include "ui/check_window.h"
#include "ui/course_dialog.h"
#include "ui/drill_window.h"
#include "ui/learning_summary.h"
#include "ui/main_window.h"
#include "ui/statistics_window.h"

namespace kelvak {


TrainingMenu::TrainingMenu(MainWindow& window, ErrorGate& gate, std::string historyPath)
    : window_(&window), gate_(gate) {
  menu = new QMenu(QString::fromUtf8("Тре&нировка"), window_);
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
  course = menu->addAction(QString::fromUtf8("&Курс..."));
  course->setObjectName("CourseItem");
  weakCharacters = menu->addAction(QString::fromUtf8("Чаще с&лабые знаки"));
  weakCharacters->setObjectName("WeakCharactersItem");
  weakCharacters->setCheckable(true);
  drill = menu->addAction(QString::fromUtf8("&Знак за знаком..."));
  drill->setObjectName("DrillItem");
  menu->addSeparator();
  newSequence = menu->addAction(QString::fromUtf8("&Новая последовательность"));
  newSequence->setObjectName("NewSequenceItem");
  window.insertTrainingMenu(menu);

  presenter_ = std::make_unique<TrainingPresenter>(
      window.presenter(), *this, gate,
      historyPath.empty() ? defaultHistoryPath() : std::move(historyPath),
      [this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
      });
  TrainingPresenter& p = *presenter_;
  connect(course, &QAction::triggered, this, [this] {
    gate_.run([this] {
      courseDialog().refresh(presenter_->textKind(), presenter_->specialSigns());
      courseDialog().showInFront();
    });
  });
  connect(weakCharacters, &QAction::toggled, this, [&p](bool on) { p.setWeakOn(on); });
  connect(drill, &QAction::triggered, this, [this] {
    gate_.run([this] {
      presenter_->drillRequested();
      drillWindow().show();
      drillWindow().raise();
      drillWindow().activateWindow();
    });
  });
  connect(hideText, &QAction::toggled, this, [&p](bool on) { p.hideTextChanged(on); });
  connect(checkReception, &QAction::triggered, this,
          [this] { gate_.run([this] { checkWindow().showInFront(); }); });
  connect(statistics, &QAction::triggered, this, [this] {
    gate_.run([this] {
      StatisticsWindow& window = statisticsWindow();
      if (summary_) {
        summary_->refresh(presenter_->learning(), presenter_->keeper().summary(),
                          presenter_->textKind(), presenter_->specialSigns());
      }
      window.showInFront();
    });
  });
  connect(newSequence, &QAction::triggered, this, [&p] { p.newSequenceRequested(); });
}

TrainingMenu::~TrainingMenu() {
  delete drill_;
  delete course_;
  delete check_;
  delete statistics_;
  delete menu;
  presenter_.reset();
}

std::string TrainingMenu::defaultHistoryPath() {
  return userFilePath(UserFile::History);
}

CheckWindow& TrainingMenu::checkWindow() {
  if (!check_) {
    check_ = new CheckWindow(
        presenter_->history(), [this] { return presenter_->checkSource(); },
        [this](const std::function<void()>& handler) { gate_.run(handler); }, window_);
    check_->setKeySettings(
        [this](const std::string& path) { return presenter_->keySettings(path); });
    check_->afterRecord = [this](const CheckResult& result, const CheckSource& source,
                                 std::int64_t time) {
      return presenter_->afterCheck(result, source, time);
    };
    // An open statistics window shows every check as soon as it is recorded.
    connect(check_, &CheckWindow::recorded, this, [this] {
      if (statistics_ && statistics_->isVisible()) statistics_->reload();
    });
  }
  return *check_;
}

StatisticsWindow& TrainingMenu::statisticsWindow() {
  if (!statistics_) {
    statistics_ = new StatisticsWindow(presenter_->keeper(), window_);
    // The learning modes' part sits below the window's own.
    summary_ = new LearningSummary;
    statistics_->layout()->addWidget(summary_);
    summary_->refresh(presenter_->learning(), presenter_->keeper().summary(),
                      presenter_->textKind(), presenter_->specialSigns());
    presenter_->keeper().start();
    statistics_->presenter().checkRemoved = [this](const CheckRecord& removed) {
      return presenter_->checkRemoved(removed);
    };
  }
  return *statistics_;
}

CourseDialog& TrainingMenu::courseDialog() {
  if (!course_) course_ = new CourseDialog(*this, window_);
  return *course_;
}

DrillWindow& TrainingMenu::drillWindow() {
  if (!drill_) {
    drill_ = new DrillWindow(
        window_->presenter().drillEngine(), presenter_->history(),
        [this] {
          const DrillStart start = presenter_->drillStart();
          DrillWindow::Start s;
          s.weights = start.weights;
          s.source = start.source;
          s.speed = start.speed;
          return s;
        },
        [this](int speed) { presenter_->chooseSpeed(speed); },
        [this](const std::function<void()>& handler) { gate_.run(handler); }, window_);
  }
  return *drill_;
}

// --- what the presenter tells the windows ---

void TrainingMenu::learningChanged(int textKind, bool specialSigns) {
  if (course_) course_->refresh(textKind, specialSigns);
  if (summary_ && statistics_ && statistics_->isVisible()) {
    summary_->refresh(presenter_->learning(), presenter_->keeper().summary(), textKind,
                      specialSigns);
  }
}

void TrainingMenu::setWeakTicked(bool on) {
  if (weakCharacters->isChecked() != on) weakCharacters->setChecked(on);
}

void TrainingMenu::setHideTicked(bool on) {
  if (hideText->isChecked() != on) hideText->setChecked(on);
}

void TrainingMenu::transmissionStarted() {
  if (check_) check_->transmissionStarted();
}

void TrainingMenu::keyExported(const ExportedKey& key) {
  checkWindow().useKey(key.keyPath, key.settings);
}

void TrainingMenu::historyRead() {
  if (statistics_ && statistics_->isVisible()) statistics_->reload();
}

void TrainingMenu::checkRemoved(std::int64_t time) {
  if (check_) check_->checkRemoved(time);
}

}  // namespace kelvak

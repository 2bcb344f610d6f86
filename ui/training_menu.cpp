// The training menu: its commands and what the check window needs from the main window.
#include "ui/training_menu.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QLayout>
#include <QMenu>
#include <QStandardPaths>
#include <chrono>

#include "base/error.h"
#include "playback/transmission.h"
#include "presenter/error_gate.h"
#include "synth/symbol_table.h"
#include "training/check_source.h"
#include "training/undo_check.h"
#include "ui/check_window.h"
#include "ui/course_dialog.h"
#include "ui/drill_window.h"
#include "ui/learning_summary.h"
#include "ui/statistics_window.h"

namespace kelvak {

TrainingMenu::TrainingMenu(TrainingHost& host, ErrorGate& gate, std::string historyPath)
    : host_(host),
      gate_(gate),
      history_(historyPath.empty() ? defaultHistoryPath() : std::move(historyPath)),
      keeper_(history_,
              [this](std::function<void()> f) {
                QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
              }),
      courseFile_(CourseFile::besideHistory(history_.path())) {
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
  host.insertTrainingMenu(menu);

  keeper_.changed = [this] { gate_.run([this] { historyRead(); }); };
  host.setSymbolWeighting(
      [this](const SymbolChoice& choice) { return learning_.weightsFor(choice); });
  gate_.run([this] { loadLearning(); });
  host.watchTextKind([this] { gate_.run([this] { textKindChanged(); }); });
  connect(course, &QAction::triggered, this, [this] {
    gate_.run([this] {
      courseDialog().refresh(host_.textKind(), host_.specialSigns());
      courseDialog().showInFront();
    });
  });
  connect(weakCharacters, &QAction::toggled, this,
          [this](bool on) { gate_.run([this, on] { setWeakOn(on); }); });
  connect(drill, &QAction::triggered, this, [this] {
    gate_.run([this] {
      host_.stopTransmission();
      drillWindow().show();
      drillWindow().raise();
      drillWindow().activateWindow();
    });
  });

  connect(hideText, &QAction::toggled, this,
          [this](bool on) { gate_.run([this, on] { host_.setTransmittedTextHidden(on); }); });
  connect(checkReception, &QAction::triggered, this,
          [this] { gate_.run([this] { checkWindow().showInFront(); }); });
  connect(statistics, &QAction::triggered, this, [this] {
    gate_.run([this] {
      StatisticsWindow& window = statisticsWindow();
      if (summary_) {
        summary_->refresh(learning_, keeper_.summary(), host_.textKind(), host_.specialSigns());
      }
      window.showInFront();
    });
  });
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
  // Records kept while another program held the history's lock get a last try.
  history_.appendPending();
  host_.setTrainingEvents({});
  host_.setSymbolWeighting({});
  host_.watchTextKind({});
  delete drill_;
  delete course_;
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
    check_->afterRecord = [this](const CheckResult& result, const CheckSource& source,
                                 std::int64_t time) { return afterCheck(result, source, time); };
    // An open statistics window shows every check as soon as it is recorded.
    connect(check_, &CheckWindow::recorded, this, [this] {
      if (statistics_ && statistics_->isVisible()) statistics_->reload();
    });
  }
  return *check_;
}

StatisticsWindow& TrainingMenu::statisticsWindow() {
  if (!statistics_) {
    statistics_ = new StatisticsWindow(keeper_, host_.hostWindow());
    // The learning modes' part sits below the window's own.
    summary_ = new LearningSummary;
    statistics_->layout()->addWidget(summary_);
    keeper_.start();
    summary_->refresh(learning_, keeper_.summary(), host_.textKind(), host_.specialSigns());
    statistics_->presenter().checkRemoved = [this](const CheckRecord& removed) {
      return checkRemoved(removed);
    };
  }
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

CourseDialog& TrainingMenu::courseDialog() {
  if (!course_) course_ = new CourseDialog(*this, host_.hostWindow());
  return *course_;
}

DrillWindow& TrainingMenu::drillWindow() {
  if (!drill_) {
    drill_ = new DrillWindow(
        host_.drillEngine(), history_,
        [this] {
          DrillWindow::Start s;
          const int kind = host_.textKind();
          s.weights = learning_.weightList(kind, host_.specialSigns());
          if (s.weights.empty()) {
            for (const int symbol :
                 courseOrder(static_cast<CourseSet>(kind), host_.specialSigns())) {
              s.weights.emplace_back(symbol, 1);
            }
          }
          s.source = static_cast<TextSource>(kind);
          s.speed = host_.speed();
          return s;
        },
        [this](int speed) { host_.chooseSpeed(speed); },
        [this](const std::function<void()>& handler) { gate_.run(handler); }, host_.hostWindow());
  }
  return *drill_;
}

void TrainingMenu::loadLearning() {
  // A course file that cannot be read is said, and the course starts from its beginning in
  // memory; the file itself stays as it is until a change keeps it aside.
  try {
    const CourseState loaded = courseFile_.load();
    learning_.setProgress(loaded.progress);
    if (!loaded.notice.empty()) gate_.report(loaded.notice);
  } catch (const KelvakError& e) {
    gate_.report(e.what());
  }
  // The course goes on with the set the learner chose for it, whatever the window starts with.
  const auto& set = learning_.progress().set;
  if (learning_.courseOn() && set) host_.chooseTextKind(static_cast<int>(*set));
  reloadHistory();
  learningChanged();
}

void TrainingMenu::textKindChanged() {
  // While the course is on, the text kind chosen is the course's set.
  const int kind = host_.textKind();
  if (learning_.courseOn() && kind >= 0 && kind <= 2 &&
      learning_.progress().set != static_cast<CourseSet>(kind)) {
    const auto set = static_cast<CourseSet>(kind);
    learning_.setCourseSet(set);
    changeCourse([set](CourseProgress& p) { p.set = set; });
  }
  learningChanged();
}

void TrainingMenu::reloadHistory() {
  // Only the weak characters read the history; a course alone needs none of it.
  if (!learning_.weakOn()) return;
  keeper_.start();
  keeper_.update();
  learning_.setTallies(keeper_.summary().recentTallies());
}

void TrainingMenu::historyRead() {
  reloadHistory();
  learningChanged();
  if (statistics_ && statistics_->isVisible()) statistics_->reload();
}

void TrainingMenu::changeCourse(const std::function<void(CourseProgress&)>& change) {
  CourseProgress mine = learning_.progress();
  change(mine);
  try {
    // The file as another copy of the program may have left it, with this change.
    const CourseState saved = courseFile_.change(change);
    learning_.setProgress(saved.progress);
    if (!saved.notice.empty()) gate_.report(saved.notice);
  } catch (const KelvakError& e) {
    // Not written: the change holds for this run, and the learner is told.
    learning_.setProgress(mine);
    gate_.report(e.what());
  }
  learningChanged();
}

void TrainingMenu::setCourseOn(bool on) {
  // Switched on, the course sends the set the window shows.
  const int kind = host_.textKind();
  const bool takeKind = on && kind >= 0 && kind <= 2;
  gate_.run([this, on, takeKind, kind] {
    changeCourse([on, takeKind, kind](CourseProgress& p) {
      p.on = on;
      if (takeKind) p.set = static_cast<CourseSet>(kind);
    });
  });
}

void TrainingMenu::setWeakOn(bool on) {
  learning_.setWeakOn(on);
  if (weakCharacters->isChecked() != on) weakCharacters->setChecked(on);
  reloadHistory();
  learningChanged();
}

void TrainingMenu::chooseLesson(int set, int lesson) {
  if (set < 0 || set > 2) return;
  gate_.run([this, set, lesson] {
    host_.chooseTextKind(set);
    const auto course = static_cast<CourseSet>(set);
    const int chosen = clampLesson(course, host_.specialSigns(), lesson);
    const std::int64_t time = QDateTime::currentSecsSinceEpoch();
    changeCourse([=](CourseProgress& p) {
      p.set = course;
      p.moveTo(course, chosen, time);
    });
  });
}

std::string TrainingMenu::afterCheck(const CheckResult& result, const CheckSource& source,
                                     std::int64_t time) {
  // The record is written; a history that cannot be read back is said after what was done.
  reloadHistory();
  const std::string unread = learning_.weakOn() ? keeper_.error() : std::string();
  const int kind = static_cast<int>(source.settings.source);
  std::string said;
  if (learning_.courseOn() && kind <= 2) {
    const auto set = static_cast<CourseSet>(kind);
    const bool special = host_.specialSigns();
    if (const auto next = learning_.afterCheck(set, special, result.sent, result.accuracyPercent(),
                                               source.sent, time)) {
      changeCourse([set, time, lesson = *next](CourseProgress& p) { p.moveTo(set, lesson, time); });
      said = "Урок пройден! Следующий — урок " + std::to_string(*next) +
             ", новый знак: " + displayUtf8(newestSymbol(set, special, *next)) + ".";
    }
  }
  learningChanged();
  if (!unread.empty()) said += (said.empty() ? "" : " ") + unread;
  return said;
}

std::string TrainingMenu::checkRemoved(const CheckRecord& removed) {
  if (check_) check_->checkRemoved(removed.time);
  std::string said;
  CourseProgress progress = learning_.progress();
  if (takeBackStepOf(progress, removed)) {
    const auto set = static_cast<CourseSet>(removed.settings.source);
    said = "Курс вернулся к уроку " + std::to_string(progress.lesson(set)) + ".";
    changeCourse([&removed](CourseProgress& p) { takeBackStepOf(p, removed); });
  }
  reloadHistory();
  learningChanged();
  return said;
}

void TrainingMenu::learningChanged() {
  const int kind = host_.textKind();
  const bool special = host_.specialSigns();
  // The status bar has little room beside the progress bar: the lesson's number, and its
  // characters in the tooltip.
  std::string status, detail;
  if (learning_.courseOn() && kind >= 0 && kind <= 2) {
    const auto set = static_cast<CourseSet>(kind);
    const int lesson = clampLesson(set, special, learning_.progress().lesson(set));
    static constexpr const char* kSetWords[] = {"Цифры", "Буквы", "Смесь"};
    status = std::string(kSetWords[kind]) + ", урок " + std::to_string(lesson);
    detail = "Play передаёт курс, " + std::string(kSetWords[kind]) + ": " +
             lessonText(set, special, lesson);
  }
  if (learning_.weakOn()) {
    status += status.empty() ? "Слабые" : "+";
    detail += detail.empty() ? "Чаще слабые знаки" : "; чаще слабые знаки";
  }
  host_.setLearningStatus(status, detail);
  if (course_) course_->refresh(kind, special);
  if (summary_ && statistics_ && statistics_->isVisible()) {
    summary_->refresh(learning_, keeper_.summary(), kind, special);
  }
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

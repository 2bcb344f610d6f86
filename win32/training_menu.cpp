// The training menu's items on the Windows API.
#include "win32/training_menu.h"

#include "presenter/learning_summary.h"
#include "win32/main_window.h"

namespace kelvak::win32 {

namespace {

enum Item : int {
  kHideTextItem = 300, kCheckReceptionItem, kStatisticsItem, kCourseItem, kWeakCharactersItem, kDrillItem,
  kNewSequenceItem,
};

}  // namespace

TrainingMenu::TrainingMenu(MainWindow& window, ErrorGate& gate, const std::string& historyPath)
    : window_(window), gate_(gate) {
  menu_ = CreatePopupMenu();
  AppendMenuW(menu_, MF_STRING, kHideTextItem, L"&Скрывать текст при передаче");
  AppendMenuW(menu_, MF_STRING, kCheckReceptionItem, L"&Проверить приём...");
  AppendMenuW(menu_, MF_STRING, kStatisticsItem, L"С&татистика...");
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu_, MF_STRING, kCourseItem, L"&Курс...");
  AppendMenuW(menu_, MF_STRING, kWeakCharactersItem, L"Чаще с&лабые знаки");
  AppendMenuW(menu_, MF_STRING, kDrillItem, L"&Знак за знаком...");
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu_, MF_STRING, kNewSequenceItem, L"&Новая последовательность");
  window_.insertMenu(menu_, L"Тре&нировка", [this](int id) { return command(id); });
  presenter_ = std::make_unique<TrainingPresenter>(
      window.presenter(), *this, gate, historyPath,
      [&window](std::function<void()> f) { window.post(std::move(f)); });
}

TrainingMenu::~TrainingMenu() {
  statistics_.reset();
  drill_.reset();
  course_.reset();
  check_.reset();
  presenter_.reset();
}

CheckWindow& TrainingMenu::checkWindow() {
  if (!check_) {
    check_ = std::make_unique<CheckWindow>(
        window_.handle(), presenter_->history(), [this] { return presenter_->checkSource(); },
        [this](const std::function<void()>& handler) { dispatch(handler); });
    CheckPresenter& check = check_->presenter();
    check.keySettings = [this](const std::string& path) { return presenter_->keySettings(path); };
    check.afterRecord = [this](const CheckResult& result, const CheckSource& source,
                               std::int64_t time) {
      return presenter_->afterCheck(result, source, time);
    };
    // An open statistics window shows every check as soon as it is recorded.
    check_->recorded = [this] {
      if (statistics_ && statistics_->visible()) statistics_->presenter().reload();
    };
  }
  return *check_;
}

StatisticsWindow& TrainingMenu::statisticsWindow() {
  if (!statistics_) {
    statistics_ = std::make_unique<StatisticsWindow>(window_.handle(), presenter_->keeper());
    presenter_->keeper().start();
    statistics_->presenter().checkRemoved = [this](const CheckRecord& removed) {
      return presenter_->checkRemoved(removed);
    };
  }
  return *statistics_;
}

void TrainingMenu::showSummary() {
  const LearningSummaryTexts texts =
      learningSummary(presenter_->learning(), presenter_->keeper().summary(),
                      presenter_->textKind(), presenter_->specialSigns());
  statistics_->showSummary(texts.course + "\n" + texts.weights + "\n" + texts.drills);
}

CourseDialog& TrainingMenu::courseDialog() {
  if (!course_) {
    TrainingPresenter& p = *presenter_;
    course_ = std::make_unique<CourseDialog>(
        window_.handle(),
        CourseActions{[&p]() -> const CourseProgress& { return p.learning().progress(); },
                      [&p](bool on) { p.setCourseOn(on); },
                      [&p](int set, int lesson) { p.chooseLesson(set, lesson); }});
  }
  return *course_;
}

DrillWindow& TrainingMenu::drillWindow() {
  if (!drill_) {
    Transmission& engine = window_.presenter().drillEngine();
    drill_ = std::make_unique<DrillWindow>(
        window_.handle(),
        DrillSound{[&engine](int symbol) { return engine.soundSymbol(symbol); },
                   [&engine] { engine.endSymbols(); }},
        presenter_->history(),
        [this] {
          const DrillStart start = presenter_->drillStart();
          return DrillPresenter::Start{start.weights, start.source, start.speed};
        },
        [this](int speed) { presenter_->chooseSpeed(speed); },
        [this](const std::function<void()>& handler) { dispatch(handler); });
  }
  return *drill_;
}

bool TrainingMenu::command(int id) {
  switch (id) {
    case kHideTextItem:
      presenter_->hideTextChanged(!ticked(kHideTextItem));
      return true;
    case kWeakCharactersItem:
      presenter_->setWeakOn(!ticked(kWeakCharactersItem));
      return true;
    case kNewSequenceItem:
      presenter_->newSequenceRequested();
      return true;
    case kCheckReceptionItem:
      dispatch([this] { checkWindow().showInFront(); });
      return true;
    case kStatisticsItem:
      dispatch([this] {
        statisticsWindow().showInFront();
        showSummary();
      });
      return true;
    case kCourseItem:
      dispatch([this] {
        courseDialog().refresh(presenter_->textKind(), presenter_->specialSigns());
        courseDialog().showInFront();
      });
      return true;
    case kDrillItem:
      dispatch([this] {
        presenter_->drillRequested();
        drillWindow().showInFront();
      });
      return true;
    default:
      return false;
  }
}

bool TrainingMenu::ticked(int id) const {
  return (GetMenuState(menu_, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void TrainingMenu::tick(int id, bool on) {
  CheckMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void TrainingMenu::learningChanged(int textKind, bool specialSigns) {
  if (course_) course_->refresh(textKind, specialSigns);
  if (statistics_ && statistics_->visible()) showSummary();
}

void TrainingMenu::setWeakTicked(bool on) { tick(kWeakCharactersItem, on); }
void TrainingMenu::setHideTicked(bool on) { tick(kHideTextItem, on); }

void TrainingMenu::transmissionStarted() {
  if (check_) check_->presenter().transmissionStarted();
}

void TrainingMenu::keyExported(const ExportedKey& key) {
  // Offered at once: a learner who exports a lesson checks it against this key.
  checkWindow().presenter().useKey(key.keyPath, key.settings);
}

void TrainingMenu::historyRead() {
  if (statistics_ && statistics_->visible()) statistics_->presenter().reload();
}

void TrainingMenu::checkRemoved(std::int64_t time) {
  if (check_) check_->presenter().checkRemoved(time);
}

}  // namespace kelvak::win32

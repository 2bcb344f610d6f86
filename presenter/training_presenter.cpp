// The training menu's rules, below the toolkit.
#include "presenter/training_presenter.h"

#include <chrono>

#include "base/error.h"
#include "synth/symbol_table.h"
#include "training/undo_check.h"

namespace kelvak {

namespace {

std::int64_t secondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool isCourseSet(int kind) { return kind >= 0 && kind <= 2; }

}  // namespace

TrainingPresenter::TrainingPresenter(TrainingHost& host, TrainingView& view, ErrorGate& gate,
                                     const std::string& historyPath, HistoryKeeper::Post post)
    : host_(host),
      view_(view),
      gate_(gate),
      history_(historyPath),
      keeper_(history_, std::move(post)),
      courseFile_(CourseFile::besideHistory(history_.path())) {
  keeper_.changed = [this] { gate_.run([this] { historyRead(); }); };
  host_.setSymbolWeighting(
      [this](const SymbolChoice& choice) { return learning_.weightsFor(choice); });
  gate_.run([this] { loadLearning(); });
  host_.watchTextKind([this] { textKindChanged(); });
  host_.setTrainingEvents({[this] { view_.transmissionStarted(); },
                           [this](const ExportedKey& key) {
                             exported_.push_back(key);
                             // Offered at once: a learner who exports a lesson checks it
                             // against this key.
                             view_.keyExported(key);
                           }});
}

TrainingPresenter::~TrainingPresenter() {
  // Records kept while another program held the history's lock get a last try.
  history_.appendPending();
  host_.setTrainingEvents({});
  host_.setSymbolWeighting({});
  host_.watchTextKind({});
}

void TrainingPresenter::loadLearning() {
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

void TrainingPresenter::textKindChanged() {
  // While the course is on, the text kind chosen is the course's set.
  const int kind = host_.textKind();
  if (learning_.courseOn() && isCourseSet(kind) &&
      learning_.progress().set != static_cast<CourseSet>(kind)) {
    const auto set = static_cast<CourseSet>(kind);
    learning_.setCourseSet(set);
    changeCourse([set](CourseProgress& p) { p.set = set; });
  }
  learningChanged();
}

void TrainingPresenter::reloadHistory() {
  // Only the weak characters read the history; a course alone needs none of it.
  if (!learning_.weakOn()) return;
  keeper_.start();
  keeper_.update();
  learning_.setTallies(keeper_.summary().recentTallies());
}

void TrainingPresenter::historyRead() {
  reloadHistory();
  learningChanged();
  view_.historyRead();
}

void TrainingPresenter::changeCourse(const std::function<void(CourseProgress&)>& change) {
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

void TrainingPresenter::setCourseOn(bool on) {
  // Switched on, the course sends the set the window shows.
  const int kind = host_.textKind();
  const bool takeKind = on && isCourseSet(kind);
  gate_.run([this, on, takeKind, kind] {
    changeCourse([on, takeKind, kind](CourseProgress& p) {
      p.on = on;
      if (takeKind) p.set = static_cast<CourseSet>(kind);
    });
  });
}

void TrainingPresenter::setWeakOn(bool on) {
  gate_.run([this, on] {
    learning_.setWeakOn(on);
    view_.setWeakTicked(on);
    reloadHistory();
    learningChanged();
  });
}

void TrainingPresenter::chooseLesson(int set, int lesson) {
  if (!isCourseSet(set)) return;
  gate_.run([this, set, lesson] {
    host_.chooseTextKind(set);
    const auto course = static_cast<CourseSet>(set);
    const int chosen = clampLesson(course, host_.specialSigns(), lesson);
    const std::int64_t time = secondsNow();
    changeCourse([=](CourseProgress& p) {
      p.set = course;
      p.moveTo(course, chosen, time);
    });
  });
}

void TrainingPresenter::hideTextChanged(bool hidden) {
  gate_.run([this, hidden] {
    textHidden_ = hidden;
    view_.setHideTicked(hidden);
    host_.setTransmittedTextHidden(hidden);
  });
}

void TrainingPresenter::drillRequested() { host_.stopTransmission(); }

void TrainingPresenter::newSequenceRequested() {
  gate_.run([this] {
    // Any state is a good start for this generator; the clock in nanoseconds differs every run.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    host_.reseedGenerator(ns ^ (ns << 29));
    host_.showStatus("Следующие группы будут новыми");
  });
}

CheckSource TrainingPresenter::checkSource() const {
  const Transmission& engine = host_.transmission();
  return checkSourceFor(engine.lastSent(), engine.open());
}

RecordSettings TrainingPresenter::keySettings(const std::string& keyPath) const {
  for (auto k = exported_.rbegin(); k != exported_.rend(); ++k) {
    if (k->keyPath == keyPath) return k->settings;
  }
  // A key of another run says nothing of its settings: those the window shows now are the best
  // guess; the record names the key's file, as a text file's.
  return recordSettingsFor(host_.windowSettings().forming(), true, keyPath, 0);
}

DrillStart TrainingPresenter::drillStart() const {
  DrillStart s;
  const int kind = host_.textKind();
  const bool special = host_.specialSigns();
  s.weights = learning_.weightList(kind, special);
  if (s.weights.empty()) {
    for (const int symbol : courseOrder(static_cast<CourseSet>(kind), special)) {
      s.weights.emplace_back(symbol, 1);
    }
  }
  s.source = static_cast<TextSource>(kind);
  s.speed = host_.speed();
  return s;
}

std::string TrainingPresenter::afterCheck(const CheckResult& result, const CheckSource& source,
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

std::string TrainingPresenter::checkRemoved(const CheckRecord& removed) {
  view_.checkRemoved(removed.time);
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

void TrainingPresenter::learningChanged() {
  const int kind = host_.textKind();
  const bool special = host_.specialSigns();
  // The status bar has little room beside the progress bar: the lesson's number, and its
  // characters in the tooltip.
  std::string status, detail;
  if (learning_.courseOn() && isCourseSet(kind)) {
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
  view_.learningChanged(kind, special);
}

}  // namespace kelvak

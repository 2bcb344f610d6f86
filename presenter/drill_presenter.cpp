// The drill window's behaviour, sounding through the transmission.
#include "presenter/drill_presenter.h"

#include <chrono>
#include <ctime>

#include "base/error.h"
#include "presenter/text_format.h"
#include "synth/symbol_table.h"
#include "text/utf8.h"

namespace kelvak {

DrillPresenter::DrillPresenter(DrillView& view, DrillSound sound, const History& history,
                               std::function<Start()> start, std::function<void(int)> setSpeed,
                               Dispatch dispatch)
    : steadyMs([] {
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
      }),
      view_(view),
      sound_(std::move(sound)),
      history_(history),
      start_(std::move(start)),
      setSpeed_(std::move(setSpeed)),
      dispatch_(std::move(dispatch)) {}

DrillPresenter::~DrillPresenter() {
  if (drill_) sound_.end();
}

void DrillPresenter::startClicked() {
  dispatch_([this] { begin(); });
}

void DrillPresenter::stopClicked() {
  dispatch_([this] { finish(); });
}

void DrillPresenter::closed() {
  dispatch_([this] { finish(); });
}

void DrillPresenter::keyTyped(char32_t ch) {
  dispatch_([this, ch] { answer(ch); });
}

void DrillPresenter::begin() {
  if (drill_) return;
  const Start s = start_();
  weights_ = std::make_unique<SymbolWeights>(s.weights);
  const auto seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  Random random;
  random.setState(seed);
  drill_ = std::make_unique<Drill>(*weights_, s.speed, random);
  source_ = s.source;
  if (drill_->speed() != s.speed) setSpeed_(drill_->speed());
  shown_.running = true;
  shown_.recordNote.clear();
  shown_.latin.clear();
  shown_.sent = shown_.typed = "—";
  showSession();
  next();
}

void DrillPresenter::sound(int symbol) {
  try {
    heardMs_ = sound_.sound(symbol);
  } catch (const KelvakError&) {
    // The sound cannot be heard (the server went away): the session ends with what was heard and
    // answered, and the report says why.
    finish();
    throw;
  }
  soundedAt_ = steadyMs();
}

void DrillPresenter::next() {
  if (!drill_) return;
  // The last answer stays in view while the next character sounds.
  sound(drill_->next());
  waiting_ = true;
}

void DrillPresenter::answer(char32_t ch) {
  if (!drill_ || !waiting_) return;
  waiting_ = false;
  const std::int64_t reaction = steadyMs() - soundedAt_ - heardMs_;
  const Drill::Outcome out = drill_->answer(ch, reaction);
  const DrillAnswer& a = drill_->answers().back();
  shown_.sent = displayUtf8(a.symbol);
  shown_.typed = utf8Of(ch);
  shown_.typedRight = out.right;
  shown_.reaction = "Реакция: " + std::to_string(a.reactionMs) + " мс";
  if (setSpeed_) setSpeed_(out.speed);
  // One line for the session, as the check says it once for a copy.
  if (!drill_->readAsCyrillic().empty()) {
    shown_.latin = readAsCyrillicText(drill_->readAsCyrillic());
  }
  showSession();
  if (out.replay) {
    // The learner hears the character once more with its answer in view, then goes on.
    sound(a.symbol);
    view_.after(static_cast<int>(heardMs_) + kAfterReplayMs,
                [this] { dispatch_([this] { next(); }); });
  } else {
    next();
  }
}

void DrillPresenter::showSession() {
  const DrillRecord r = drill_->record(source_, 0);
  shown_.speed = "Скорость: " + std::to_string(drill_->speed()) + " гр/мин";
  shown_.tally = "Знаков: " + std::to_string(r.sent) + ", верно: " + std::to_string(r.correct) +
                 " (" + fixedText(r.accuracyPercent(), 0) +
                 " %), медиана реакции: " + std::to_string(r.medianReactionMs) + " мс";
  view_.showDrill(shown_);
}

void DrillPresenter::finish() {
  if (!drill_) return;
  waiting_ = false;
  std::unique_ptr<Drill> done = std::move(drill_);
  shown_.running = false;
  view_.showDrill(shown_);
  sound_.end();
  if (done->answers().empty()) return;
  try {
    history_.append(done->record(source_, std::time(nullptr)));
    shown_.recordNote = "Занятие записано в историю.";
  } catch (const KelvakError& e) {
    shown_.recordNote = std::string(e.what()) + " (" + history_.path() + ").";
  }
  view_.showDrill(shown_);
}

}  // namespace kelvak

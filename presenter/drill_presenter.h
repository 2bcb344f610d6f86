// The drill window's behaviour: a session's start and end, each answer and what the window says
// of it, and the session's record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "playback/symbol_weights.h"
#include "settings/setting_table.h"
#include "training/drill.h"
#include "training/history.h"

namespace kelvak {

// Everything the drill window shows.
struct DrillShown {
  std::string sent = "—", typed = "—";  // the last character sent and the key typed for it
  bool typedRight = true;               // false marks the typed one
  std::string reaction, speed, tally, latin, recordNote;
  // A session runs: Stop is offered instead of Start, and the window takes the keys as answers.
  bool running = false;
};

class DrillView {
 public:
  virtual ~DrillView() = default;
  virtual void showDrill(const DrillShown& shown) = 0;
  // Runs `then` once, `ms` from now.
  virtual void after(int ms, std::function<void()> then) = 0;
};

// How the drill's characters sound: one symbol now, returning how long until its tone ends [ms];
// and the end of the sounds, once the last has been heard.
struct DrillSound {
  std::function<std::int32_t(int symbol)> sound;
  std::function<void()> end;
};

class DrillPresenter {
 public:
  using Dispatch = std::function<void(const std::function<void()>&)>;
  // What a session needs of the main window when it starts.
  struct Start {
    std::vector<std::pair<int, std::uint32_t>> weights;  // the characters to drill
    TextSource source = TextSource::Letters;
    int speed = settingRow(Setting::Speed).initial;
  };
  // After a replayed character, the next one comes once it has been heard and this much later.
  static constexpr int kAfterReplayMs = 400;

  // The speed rule moves the window's speed by `setSpeed`; each session goes into `history` when
  // it ends. Events run through `dispatch`.
  DrillPresenter(DrillView& view, DrillSound sound, const History& history,
                 std::function<Start()> start, std::function<void(int)> setSpeed,
                 Dispatch dispatch);
  ~DrillPresenter();

  // --- the learner's events ---
  void startClicked();
  void stopClicked();
  void closed();  // the window was closed: the session ends
  void keyTyped(char32_t ch);

  void begin();   // starts a session with the first character
  void finish();  // ends the session and records it
  // The learner typed `ch`.
  void answer(char32_t ch);
  bool running() const { return drill_ != nullptr; }
  const Drill* drill() const { return drill_.get(); }

  // The steady clock [ms] that measures reactions.
  std::function<std::int64_t()> steadyMs;

 private:
  void sound(int symbol);
  void next();
  // Shows the session so far.
  void showSession();

  DrillView& view_;
  DrillSound sound_;
  const History& history_;
  std::function<Start()> start_;
  std::function<void(int)> setSpeed_;
  Dispatch dispatch_;
  std::unique_ptr<SymbolWeights> weights_;
  std::unique_ptr<Drill> drill_;
  TextSource source_ = TextSource::Letters;
  std::int64_t soundedAt_ = 0;  // [ms] by steadyMs, when the character was written to the device
  std::int64_t heardMs_ = 0;    // from writing until the tone has been heard to its end
  bool waiting_ = false;        // a character sounds and waits for its answer
  DrillShown shown_;
};

}  // namespace kelvak

// "Знак за знаком...": one character sounds, the learner types it, and the next comes at once.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "playback/symbol_weights.h"
#include "training/drill.h"
#include "training/history.h"

class QLabel;
class QPushButton;

namespace kelvak {

class Transmission;

class DrillWindow : public QDialog {
  Q_OBJECT

 public:
  using Dispatch = std::function<void(const std::function<void()>&)>;
  // What a session needs of the main window when it starts.
  struct Start {
    std::vector<std::pair<int, std::uint32_t>> weights;  // the characters to drill
    TextSource source = TextSource::Letters;
    int speed = 12;
  };

  // Characters sound through `engine`; the speed rule moves the window's speed by `setSpeed`;
  // each session goes into `history` when it ends. Handlers run through `dispatch`.
  DrillWindow(Transmission& engine, const History& history, std::function<Start()> start,
              std::function<void(int)> setSpeed, Dispatch dispatch, QWidget* parent = nullptr);
  ~DrillWindow() override;

  void begin();   // starts a session with the first character
  void finish();  // ends the session and records it
  // The learner typed `ch` (also the window's keys, for tests).
  void answer(char32_t ch);
  bool running() const { return drill_ != nullptr; }
  const Drill* drill() const { return drill_.get(); }

  QLabel* sentLabel = nullptr;
  QLabel* typedLabel = nullptr;
  QLabel* reactionLabel = nullptr;
  QLabel* speedLabel = nullptr;
  QLabel* tallyLabel = nullptr;
  QLabel* recordLabel = nullptr;
  QLabel* latinLabel = nullptr;  // which Latin keys were read as Russian letters
  QPushButton* startButton = nullptr;
  QPushButton* stopButton = nullptr;

  // Told when a session went into the history.
  std::function<void()> recorded;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void sound(int symbol);
  void next();
  void showTally();
  void showLatin();

  Transmission& engine_;
  const History& history_;
  std::function<Start()> start_;
  std::function<void(int)> setSpeed_;
  Dispatch dispatch_;
  std::unique_ptr<SymbolWeights> weights_;
  std::unique_ptr<Drill> drill_;
  TextSource source_ = TextSource::Letters;
  QElapsedTimer sounded_;     // since the character was written to the device
  std::int64_t heardMs_ = 0;  // from writing until the tone has been heard to its end
  bool waiting_ = false;      // a character sounds and waits for its answer
};

}  // namespace kelvak

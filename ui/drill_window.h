// "Знак за знаком...": one character sounds, the learner types it, and the next comes at once.
#pragma once

#include <QDialog>
#include <functional>

#include "presenter/drill_presenter.h"

class QLabel;
class QPushButton;

namespace kelvak {

class Transmission;

class DrillWindow : public QDialog, private DrillView {
  Q_OBJECT

 public:
  using Dispatch = DrillPresenter::Dispatch;
  using Start = DrillPresenter::Start;

  // Characters sound through `engine`; the speed rule moves the window's speed by `setSpeed`;
  // each session goes into `history` when it ends. Handlers run through `dispatch`.
  DrillWindow(Transmission& engine, const History& history, std::function<Start()> start,
              std::function<void(int)> setSpeed, Dispatch dispatch, QWidget* parent = nullptr);

  void answer(char32_t ch) { presenter_.answer(ch); }
  bool running() const { return presenter_.running(); }
  const Drill* drill() const { return presenter_.drill(); }

  QLabel* sentLabel = nullptr;
  QLabel* typedLabel = nullptr;
  QLabel* reactionLabel = nullptr;
  QLabel* speedLabel = nullptr;
  QLabel* tallyLabel = nullptr;
  QLabel* recordLabel = nullptr;
  QLabel* latinLabel = nullptr;  // which Latin keys were read as Russian letters
  QPushButton* startButton = nullptr;
  QPushButton* stopButton = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void showDrill(const DrillShown& shown) override;
  void after(int ms, std::function<void()> then) override;

  DrillPresenter presenter_;
};

}  // namespace kelvak

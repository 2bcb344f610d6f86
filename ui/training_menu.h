// The "Тренировка" menu of the main window: hiding the text while sending, the check window, the
// statistics window and a new random sequence. It sits beside the window's own menus and leaves
// them as they are.
#pragma once

#include <QObject>
#include <QPointer>
#include <string>

#include "training/history.h"

class QAction;
class QMenu;
class TForm1;

namespace kelvak {

class CheckWindow;
class ErrorGate;
class StatisticsWindow;

class TrainingMenu : public QObject {
  Q_OBJECT

 public:
  // Puts the menu on the window's menu bar before "Справка". Its commands and the check button
  // run through `gate`, as the window's own handlers do. `historyPath` empty: the history file in
  // the user's data folder. Must not outlive `form`; its end takes the menu and the two windows
  // with it.
  TrainingMenu(TForm1& form, ErrorGate& gate, std::string historyPath = {});
  ~TrainingMenu() override;

  // The history file in the user's data folder (QStandardPaths::AppDataLocation).
  static std::string defaultHistoryPath();

  // The windows, made on first use.
  CheckWindow& checkWindow();
  StatisticsWindow& statisticsWindow();

  QPointer<QMenu> menu;
  QAction* hideText = nullptr;
  QAction* checkReception = nullptr;
  QAction* statistics = nullptr;
  QAction* newSequence = nullptr;

 private:
  void seedFromClock();

  TForm1& form_;
  ErrorGate& gate_;
  History history_;
  // Children of the main window, so they stay in front of it like the help window.
  QPointer<CheckWindow> check_;
  QPointer<StatisticsWindow> statistics_;
};

}  // namespace kelvak

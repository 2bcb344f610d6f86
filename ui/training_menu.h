// The "Тренировка" menu of the main window: hiding the text while sending, the check window, the
// statistics window and a new random sequence. It sits beside the window's own menus and leaves
// them as they are.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "playback/settings.h"
#include "training/check_record.h"
#include "training/history.h"

class QAction;
class QMenu;
class QWidget;

namespace kelvak {

class CheckWindow;
class ErrorGate;
class StatisticsWindow;
class Transmission;

// An answer key the main window has just written beside a sound file, with the settings of the
// transmission it holds.
struct ExportedKey {
  std::string keyPath;
  RecordSettings settings;
};

// What the training menu hears of the main window.
struct TrainingEvents {
  std::function<void()> transmissionStarted;  // after every Play
  std::function<void(const ExportedKey&)> exported;
};

// What the training menu needs of the main window, and no more.
class TrainingHost {
 public:
  virtual ~TrainingHost() = default;
  // The window the training windows stay in front of.
  virtual QWidget* hostWindow() = 0;
  // Puts the menu on the window's menu bar, before "Справка".
  virtual void insertTrainingMenu(QMenu* menu) = 0;
  virtual const Transmission& transmission() const = 0;
  virtual void setTransmittedTextHidden(bool hidden) = 0;
  // Starts the program's generator from another state: the next groups differ.
  virtual void reseedGenerator(std::uint64_t state) = 0;
  virtual void showStatus(const std::string& utf8) = 0;
  // The handlers the window calls from now on; empty ones are not called.
  virtual void setTrainingEvents(TrainingEvents events) = 0;
  // The settings the window shows now.
  virtual TransmissionSettings windowSettings() const = 0;
};

class TrainingMenu : public QObject {
  Q_OBJECT

 public:
  // Puts the menu on the window's menu bar before "Справка". Its commands and the check button
  // run through `gate`, as the window's own handlers do. `historyPath` empty: the history file in
  // the user's data folder. Must not outlive `host`; its end takes the menu and the two windows
  // with it.
  TrainingMenu(TrainingHost& host, ErrorGate& gate, std::string historyPath = {});
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
  RecordSettings keySettings(const std::string& keyPath) const;

  TrainingHost& host_;
  ErrorGate& gate_;
  History history_;
  // Children of the main window, so they stay in front of it like the help window.
  QPointer<CheckWindow> check_;
  QPointer<StatisticsWindow> statistics_;
  std::vector<ExportedKey> exported_;  // the keys written in this run
};

}  // namespace kelvak

// What the training functions (their menu and windows) need of the main window, and no more.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "playback/settings.h"
#include "playback/transmission.h"
#include "training/check_record.h"

namespace kelvak {

// An answer key the main window has just written beside a sound file, with the settings of the
// transmission it holds.
struct ExportedKey {
  std::string keyPath;
  RecordSettings settings;
};

// What the training functions hear of the main window.
struct TrainingEvents {
  std::function<void()> transmissionStarted;  // after every Play, also one that failed
  std::function<void(const ExportedKey&)> exported;
};

class TrainingHost {
 public:
  virtual ~TrainingHost() = default;
  virtual const Transmission& transmission() const = 0;
  virtual void setTransmittedTextHidden(bool hidden) = 0;
  // Starts the program's generator from another state: the next groups differ.
  virtual void reseedGenerator(std::uint64_t state) = 0;
  virtual void showStatus(const std::string& utf8) = 0;
  // The handlers the window calls from now on; empty ones are not called.
  virtual void setTrainingEvents(TrainingEvents events) = 0;
  // The settings the window shows now.
  virtual TransmissionSettings windowSettings() const = 0;

  // --- the learning modes ---
  // The window's settings the modes follow (the window's own controls answer them).
  virtual int textKind() const = 0;  // 0 digits, 1 letters, 2 mixture
  virtual bool specialSigns() const = 0;
  virtual int speed() const = 0;  // groups per minute
  virtual void chooseTextKind(int kind) = 0;
  virtual void chooseSpeed(int speed) = 0;  // as if the slider was moved
  // The weights each tick's draw picks from; none: the window's own even choice.
  virtual void setSymbolWeighting(Transmission::Weighting weighting) = 0;
  // A short text kept at the side of the status bar, with a longer one for its tooltip; empty:
  // none.
  virtual void setLearningStatus(const std::string& utf8, const std::string& detail) = 0;
  // The transmission, for the drill's single characters.
  virtual Transmission& drillEngine() = 0;
  // Ends a transmission that is open, as Stop does.
  virtual void stopTransmission() = 0;
  // Told whenever the text kind or the special signs change; empty: nothing is told.
  virtual void watchTextKind(std::function<void()> changed) = 0;
};

}  // namespace kelvak

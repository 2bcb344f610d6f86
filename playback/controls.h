// What the transmission reads from and writes to the main window's controls.
#pragma once

#include <cstdint>
#include <string>

namespace kelvak {

// Implemented by the main window (and by fakes in tests). Every value is read at the moment it is
// used; nothing is copied when a transmission starts.
class Controls {
 public:
  virtual ~Controls() = default;

  // --- settings ---
  virtual int speed() const = 0;                   // groups per minute, 0..30
  virtual int textKind() const = 0;                // 0 digits, 1 letters, 2 mixture
  virtual int frequency() const = 0;               // [Hz]
  virtual int signalPosition() const = 0;          // 0 (top, full level) .. 127
  virtual int noisePosition() const = 0;           // 0 (top, full noise) .. 127 (no noise)
  virtual std::string groupCountText() const = 0;  // group count field, as typed
  virtual std::string charPauseText() const = 0;   // pause between characters, as typed
  virtual std::string groupPauseText() const = 0;  // pause between groups, as typed
  virtual bool randomSource() const = 0;           // the "random" menu item is ticked
  virtual bool longZero() const = 0;
  virtual bool specialSigns() const = 0;

  // --- transmission state shown in the window ---
  virtual void setPlayEnabled(bool on) = 0;
  virtual void setStopEnabled(bool on) = 0;
  virtual void setPauseEnabled(bool on) = 0;
  virtual void setPauseDown(bool down) = 0;
  virtual void setGroupCountEnabled(bool on) = 0;
  virtual void clearText() = 0;
  virtual void appendText(const std::string& utf8) = 0;
  virtual void setStatusText(const std::string& utf8) = 0;
  virtual void setProgressMax(std::uint16_t max) = 0;
  virtual void setProgressPosition(std::uint16_t position) = 0;  // kept within 0..max by the bar
  virtual std::uint16_t progressPosition() const = 0;
  // A modal message box owned by the main window, stop icon and one OK button.
  virtual void showMessage(const std::string& text, const std::string& caption) = 0;

  // --- text source ---
  virtual void setSourceChecks(bool randomTicked) = 0;  // ticks one of the two menu items
  virtual void setGroupCountMax(int max) = 0;           // spin arrows' upper bound
  virtual void setGroupCount(int groups) = 0;           // spin position, written into the field
  virtual void setTextKindEnabled(bool on) = 0;
};

}  // namespace kelvak

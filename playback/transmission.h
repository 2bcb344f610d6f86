// The transmission: Play, the timer tick, Pause, Stop, re-forming on sound changes, text source.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playback/controls.h"
#include "playback/symbol_weights.h"
#include "playback/text_source.h"
#include "playback/timer.h"
#include "playback/wave_device.h"
#include "synth/buffer_forming.h"
#include "synth/random.h"

namespace kelvak {

// The sliders whose change re-forms the sound.
enum class SoundSetting { Speed, Signal, Noise, Frequency };

// Texts the transmission shows.
inline constexpr const char* kFormingStatus = "Формирование буфера";
inline constexpr const char* kPlayingStatus = "Воспроизвожу. Нажмите Стоп, если надоело";
inline constexpr const char* kOpenErrorText = "Error opening waveform stream";
inline constexpr const char* kOpenErrorCaption = "Error";

// What the last transmission sent after its start signal: the learner's copy is checked
// against it.
struct SentText {
  std::vector<std::uint8_t> symbols;  // symbol indices in the order sent
  std::uint32_t number = 0;           // counts the transmissions of this run; 0 before the first
  FormingSettings sound;              // the settings the last symbol was formed with
  bool fromFile = false;
  std::string filePath;  // the file last chosen, with fromFile
};

// Owns everything a transmission needs besides the window: the 46 symbol blocks, UnitMs, the
// symbol counter, the file text and the stale flag. Every operation may throw KelvakError; the
// caller reports it and the state stays sound.
class Transmission {
 public:
  Transmission(Controls& controls, Timer& timer, WaveDevice& device, Random& random);

  // --- the window's events ---
  void play();                                   // Play button
  void tick();                                   // Timer1 tick: sends one symbol
  void pause();                                  // Pause button: pauses or resumes
  void soundSettingChanged(SoundSetting which);  // after the slider's label was written
  void loadFile(const std::string& path);        // "from file" confirmed in the dialog
  void useRandomText();                          // "random" menu item
  // Stops the timer and the sound at once, without waiting (the program is ending).
  void shutdown();

  // Ends the transmission (the Stop button, and the tick that sends the last symbol): waits for
  // the last block, closes the device, returns to idle.
  void stopPlayback();

  // --- state, for the window and for tests ---
  bool open() const { return device_.isOpen(); }
  std::int32_t symbolCounter() const { return symbolCounter_; }
  std::int32_t unitMs() const { return unitMs_; }
  bool buffersStale() const { return buffersStale_; }
  const SymbolBuffers& buffers() const { return buffers_; }
  const FileText& fileText() const { return fileText_; }

  // --- training ---
  // The text of the last transmission, also of one stopped early.
  const SentText& lastSent() const { return sent_; }
  // The text file chosen last; empty before the first.
  const std::string& filePath() const { return filePath_; }
  // While set, the pane receives nothing during a transmission, and everything sent appears at
  // once when the transmission ends or is stopped. Set during a transmission, it clears the pane;
  // cleared, it shows at once what was sent so far.
  void setTextHidden(bool hidden);
  bool textHidden() const { return textHidden_; }

  // --- the learning modes ---
  // Gives the weights the random source's draw picks from for the settings read at a tick; null
  // (or no weighting at all): the text kind's symbols evenly, as without any mode.
  using Weighting = std::function<std::shared_ptr<const SymbolWeights>(const SymbolChoice&)>;
  void setWeighting(Weighting weighting) { weighting_ = std::move(weighting); }
  std::shared_ptr<const SymbolWeights> weightsFor(const SymbolChoice& choice) const {
    return weighting_ ? weighting_(choice) : nullptr;
  }

  // --- single symbols, for the character drill ---
  // Sounds one symbol now through the transmission's device and blocks, formed anew when a sound
  // setting changed; opens the device first when it is closed. Nothing is shown in the pane and
  // the generator is not drawn from beyond the forming. Returns how long the symbol's tone lasts
  // [ms]. Throws KelvakError while a transmission is open, and for a device that cannot be opened
  // with its own text.
  std::int32_t soundSymbol(int index);
  // Waits for the last single symbol to be heard, then closes the device.
  void endSymbols();

 private:
  // Forms the 46 blocks from the window's current settings, showing progress.
  void bufferForming();
  // The symbol for the current tick.
  int nextSymbolIndex();
  // Forms a complete new set from the current settings; the set in use is untouched on failure.
  SymbolBuffers formNewSet();
  // Puts a new set in use, then shows the playing prompt and the progress of the transmission.
  void adopt(SymbolBuffers fresh);
  void finishForming();
  void setIdleControls();
  SymbolChoice choice() const;
  // True when, with the file source, symbol number `counter` lies beyond the file text.
  bool beyondFileText(std::int32_t counter) const;
  // Appends to the pane the sent characters it does not show yet, in one piece.
  void showSentText();

  Controls& controls_;
  Timer& timer_;
  WaveDevice& device_;
  Random& random_;

  SymbolBuffers buffers_;
  SymbolBuffers spare_;  // the set last replaced during this transmission, memory for the next
  std::int32_t unitMs_ = 0;
  std::int32_t symbolCounter_ = 0;
  FileText fileText_;
  bool buffersStale_ = false;
  bool pauseDown_ = false;  // the pressed state last given to the Pause button

  SentText sent_;
  FormingSettings lastSound_;
  std::string filePath_;
  std::size_t shown_ = 0;  // symbols of sent_ the pane shows
  bool textHidden_ = false;

  Weighting weighting_;
  std::shared_ptr<const SymbolWeights> weights_;  // those of the tick being sent
  bool singles_ = false;                          // the device is open for single symbols
};

}  // namespace kelvak

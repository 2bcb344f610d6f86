// The transmission: Play, the timer tick, Pause, Stop, re-forming on sound changes, text source.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/controls.h"
#include "playback/schedule.h"
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
// Once a transmission has ended or was stopped: the playing prompt would still ask for Stop.
inline constexpr const char* kEndedStatus = "Передача окончена";
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
  void tick();                                   // a timer tick: sends one symbol
  void pause();                                  // Pause button: pauses or resumes
  void soundSettingChanged(SoundSetting which);  // after the slider's label was written
  void loadFile(const std::string& path);        // "from file" confirmed in the dialog
  void useRandomText();                          // "random" menu item
  // Stops the timer and the sound at once, without waiting (the program is ending).
  void shutdown();

  // The pane and the progress follow the sound: each character appears, and the bar advances, when
  // its block begins to sound by the device's clock. Shows what has begun to sound by now; returns
  // how long until the next block written begins to sound [ms], at most kFollowSoundMaxMs, or -1
  // when none waits. The window calls it again after that long (each tick calls it too).
  int followSound();
  static constexpr std::int64_t kFollowSoundMaxMs = 100;
  // Stop waits for the sound: meanwhile the pane keeps following it, for at most this long [ms]
  // besides (a lead and a symbol are less than two seconds).
  static constexpr std::int64_t kFollowToTheEndMaxMs = 2000;

  // The timer's next interval is moved by how much later than one lead before its place (by the
  // stream's clock) a tick fell due, so the ticks keep ahead of the sound however the steady clock
  // and the sound card's clock drift apart, and catch up after the window was held up. Where the
  // symbols sound never moves. A tick that came early is let wait at most this much longer [ms];
  // one that came late shortens the next interval by up to half.
  static constexpr std::int64_t kSteerLaterMs = 20;
  static constexpr std::uint32_t kSteeredIntervalLimit = 0x7FFFFFFF;

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
  // the generator is not drawn from beyond the forming. Returns how long until the symbol's tone
  // ends [ms]: the device's lead and the tone. Throws KelvakError while a transmission is open, and
  // for a device that cannot be opened with its own text.
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
  // The file text's symbols with the file source; none with the random source.
  std::optional<std::int32_t> fileCount() const;
  // Appends to the pane, in one piece, the sent characters before `upTo` it does not show yet.
  void showSentText(std::size_t upTo);
  int followSoundAt(std::chrono::steady_clock::time_point now);
  // Follows the sound with the pane until the last block written begins to sound, sleeping
  // between; nothing to do for a device without a lead.
  void followSoundToTheLastBlock();
  // The timer was switched on again now: the next symbol's place counts from this moment.
  void rebase();
  // The interval to give the timer after a tick whose symbol falls on `onset`.
  std::uint32_t steered(std::uint32_t interval, std::int64_t onset) const;

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
  // Where this transmission's symbols sound, from sample 0 at `start_` (the steady clock).
  TransmissionSchedule schedule_;
  std::chrono::steady_clock::time_point start_{};
  std::uint32_t nominalInterval_ = Timer::kInitialInterval;  // the last interval the ticks set
  // Blocks written that have not begun to sound: where they start, and the symbols of sent_ and
  // the symbol counter the window shows once they do.
  struct Pending {
    std::int64_t position;
    std::size_t symbols;
    std::int32_t counter;
  };
  std::deque<Pending> pending_;
  std::size_t heardSymbols_ = 0;   // symbols of sent_ whose blocks have begun to sound
  std::int32_t heardCounter_ = 0;  // the symbol counter as far as the sound has come
};

}  // namespace kelvak

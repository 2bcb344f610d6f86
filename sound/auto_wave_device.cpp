// Choosing the sound output at open, and saying why none opened.
#include "sound/auto_wave_device.h"

#include <cstdio>

namespace kelvak {

bool AutoWaveDevice::open() {
  if (isOpen()) return true;
  active_ = nullptr;
  openError_.clear();
  switch (pulse_.tryOpen()) {
    case PulseWaveDevice::OpenResult::Opened:
      active_ = &pulse_;
      output_ = Output::Pulse;
      return true;
    case PulseWaveDevice::OpenResult::Failed:
      openError_ = "PulseAudio: " + pulse_.openError();
      break;
    case PulseWaveDevice::OpenResult::NoServer:
      if (sdl_.open()) {
        active_ = &sdl_;
        output_ = Output::Sdl;
        return true;
      }
      openError_ = "PulseAudio: " + pulse_.openError() + "; SDL: " + sdl_.openError();
      break;
  }
  std::fprintf(stderr, "kelvak: cannot open the sound output: %s\n", openError_.c_str());
  return false;
}

bool AutoWaveDevice::write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) {
  return isOpen() && active_->write(std::move(block), toneSamples, position);
}

void AutoWaveDevice::close() {
  if (active_) active_->close();
  active_ = nullptr;
}

}  // namespace kelvak

// Reading WAV files back with the system's RIFF functions (mmio), a reader independent of the
// writer under test.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <stdexcept>

#include "tests/export/export_test_files.h"
#include "text/win32_strings.h"

namespace kelvak::testing {

SoundFile readSoundFile(const std::string& path, bool read) {
  std::wstring name = wideOf(path);
  HMMIO file = mmioOpenW(name.data(), nullptr, MMIO_READ | MMIO_ALLOCBUF);
  if (!file) throw std::runtime_error("cannot open " + path);
  const auto fail = [&](const char* what) {
    mmioClose(file, 0);
    throw std::runtime_error(path + ": " + what);
  };
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) fail("no WAVE chunk");
  MMCKINFO chunk{};
  chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) fail("no fmt chunk");
  PCMWAVEFORMAT format{};
  if (chunk.cksize < sizeof format ||
      mmioRead(file, reinterpret_cast<HPSTR>(&format), sizeof format) != sizeof format) {
    fail("short fmt chunk");
  }
  if (format.wf.wFormatTag != WAVE_FORMAT_PCM || format.wf.nChannels != 1 ||
      format.wBitsPerSample != 8) {
    fail("not 8-bit mono PCM");
  }
  mmioAscend(file, &chunk, 0);
  chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) fail("no data chunk");
  SoundFile out{static_cast<int>(format.wf.nSamplesPerSec), chunk.cksize, {}};
  if (read) {
    out.samples.resize(chunk.cksize);
    const LONG got = mmioRead(file, reinterpret_cast<HPSTR>(out.samples.data()),
                              static_cast<LONG>(chunk.cksize));
    if (got != static_cast<LONG>(chunk.cksize)) fail("short data chunk");
  }
  mmioClose(file, 0);
  return out;
}

}  // namespace kelvak::testing

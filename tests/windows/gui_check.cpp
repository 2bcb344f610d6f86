// What tests/windows/gui_test.sh needs from inside Wine while it drives kelvak.exe's main window
// with xdotool: the window's status text and pane, read as another program reads them (WM_GETTEXT),
// and the export made by `kelvak.exe --export` turned into what wine_sound_check compares a
// recording with.
//
//   gui_check expected DIR WAV KEY      DIR/export.u8 (the WAV's samples) and DIR/sent.txt (each
//                                      symbol the export sends and its onset), from the export
//                                      decoded; it must send the start signal and then the key
//   gui_check wait STATE SECONDS        until the status bar says the state's text (playing,
//                                      ended; prompt: any text) or a message box is up; prints
//                                      what they said
//   gui_check watch OUT SECONDS         writes every change of the pane to OUT with the system
//                                      time [µs since 1970], until the transmission has ended
//   gui_check box                       the text of the message box over the main window
//   gui_check progress NAME             the export's progress window: shown, its text naming the
//                                      file NAME, the main window disabled meanwhile; read from
//                                      the window system alone, so the program may be held stopped
// Prints "PASS name" or "FAIL name: why" where it judges; the exit code is the number of failures.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "playback/transmission.h"
#include "synth/buffer_forming.h"
#include "synth/symbol_table.h"
#include "tests/harness/tone_analysis.h"
#include "text/win32_strings.h"

namespace kelvak {
namespace {

int failures = 0;

void verdict(const std::string& name, bool ok, const std::string& why = {}) {
  if (ok) {
    std::printf("PASS %s\n", name.c_str());
  } else {
    std::printf("FAIL %s: %s\n", name.c_str(), why.c_str());
    ++failures;
  }
  std::fflush(stdout);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The export's samples: the data of a plain 44-byte header (PCM, mono, 8 bits, the program's rate).
int expected(const std::string& dir, const std::string& wavPath, const std::string& keyPath) {
  const std::string wav = readFile(wavPath);
  const bool plain = wav.size() > 44 && wav.compare(0, 4, "RIFF") == 0 &&
                     wav.compare(8, 8, "WAVEfmt ") == 0 && wav.compare(36, 4, "data") == 0 &&
                     wav[22] == 1 && wav[34] == 8;
  verdict("export: a plain WAV of unsigned 8-bit mono samples", plain,
          std::to_string(wav.size()) + " bytes of another form");
  if (!plain) return failures;
  const std::vector<std::uint8_t> samples(wav.begin() + 44, wav.end());
  std::ofstream(dir + "/export.u8", std::ios::binary)
      .write(wav.data() + 44, static_cast<std::streamsize>(samples.size()));

  // The window opens at these settings, and the export without options takes them too.
  const FormingSettings settings;
  const double samplesPerUnit =
      samplesPerUnitFor(unitDuration(settings.speed, settings.textKind).value_or(0));
  const auto heard = testing::decodeSymbols(testing::findToneRuns(samples), samplesPerUnit);

  // What the export should send: the start signal, then the key's characters.
  std::vector<int> sent{kStartSignal};
  std::string keyText;
  for (wchar_t c : wideOf(readFile(keyPath))) {
    if (c == L' ' || c == L'\r' || c == L'\n') continue;
    sent.push_back(indexOfChar(static_cast<char32_t>(c)).value_or(-1));
    keyText += sent.back() < 0 ? std::string("?") : displayUtf8(sent.back());
  }
  std::vector<double> onsets;
  for (std::size_t k = 0; k < heard.size() && k < sent.size(); ++k) {
    onsets.push_back(static_cast<double>(heard[k].onset));
  }
  bool intact = heard.size() == sent.size() && sent.size() > 1;
  if (intact) {
    for (const auto& c : testing::checkSymbols(heard, sent, onsets, samplesPerUnit, 2.0)) {
      intact = intact && c.intact;
    }
  }
  std::string decoded;
  for (const auto& h : heard) decoded += h.elements + " ";
  std::printf("key %s; the export holds %zu symbols\n", keyText.c_str(), heard.size());
  verdict("export: sends the start signal and the key, every element intact", intact,
          "decoded " + decoded);
  if (!intact) return failures;
  std::ofstream sentFile(dir + "/sent.txt");
  sentFile << samplesPerUnit << '\n';
  for (std::size_t k = 0; k < sent.size(); ++k)
    sentFile << sent[k] << ' ' << heard[k].onset << '\n';
  return failures;
}

HWND mainWindow() { return FindWindowW(L"KelvakMainWindow", nullptr); }

// A window's text as any other program reads it; a status bar gives its first part.
std::string textOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  text.resize(copied);
  return utf8OfWide(text);
}

// The pane: the main window's multi-line field.
HWND paneOf(HWND main) {
  for (HWND c = FindWindowExW(main, nullptr, WC_EDITW, nullptr); c;
       c = FindWindowExW(main, c, WC_EDITW, nullptr)) {
    if (GetWindowLongW(c, GWL_STYLE) & ES_MULTILINE) return c;
  }
  return nullptr;
}

std::string statusOf(HWND main) {
  HWND status = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
  return status ? textOf(status) : std::string();
}

// The message box over the main window, if one is up.
HWND messageBoxOver(HWND main) {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
       w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
    if (GetWindow(w, GW_OWNER) == main && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Its caption and texts.
int box() {
  HWND w = mainWindow() ? messageBoxOver(mainWindow()) : nullptr;
  if (!w) {
    std::printf("no message box\n");
    return 1;
  }
  std::printf("message box \"%s\"\n", textOf(w).c_str());
  for (HWND c = FindWindowExW(w, nullptr, L"Static", nullptr); c;
       c = FindWindowExW(w, c, L"Static", nullptr)) {
    const std::string text = textOf(c);
    if (!text.empty()) std::printf("  \"%s\"\n", text.c_str());
  }
  return 0;
}

// A window's text as the window system keeps it, without a message to its program.
std::string keptTextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return utf8OfWide(text);
}

int progress(const std::string& name) {
  HWND main = mainWindow();
  HWND window = FindWindowW(L"KelvakExportProgress", nullptr);
  if (!main || !window || !IsWindowVisible(window)) {
    std::printf("no progress window\n");
    return 1;
  }
  std::string texts;
  for (HWND c = FindWindowExW(window, nullptr, L"Static", nullptr); c;
       c = FindWindowExW(window, c, L"Static", nullptr)) {
    texts += keptTextOf(c);
  }
  const bool disabled = !IsWindowEnabled(main);
  std::printf("progress window \"%s\" says \"%s\"; the main window is %s\n",
              keptTextOf(window).c_str(), texts.c_str(), disabled ? "disabled" : "enabled");
  return texts.find(name) != std::string::npos && disabled ? 0 : 1;
}

int waitForStatus(const std::string& state, int seconds) {
  // "prompt": any text, which the status bar first shows when the keyboard enters a control.
  const bool anyText = state == "prompt";
  const std::string want = state == "playing" ? kPlayingStatus : kEndedStatus;
  std::string said;
  for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(seconds) * 1000;
       Sleep(50)) {
    if (HWND main = mainWindow()) {
      said = statusOf(main);
      // A message box ends the wait: the window says something else.
      if (said == want || (anyText && !said.empty()) || messageBoxOver(main)) break;
    }
  }
  std::printf("status \"%s\"\n", said.c_str());
  if (said == want || (anyText && !said.empty())) return 0;
  box();
  return 1;
}

std::int64_t microsecondsSince1970() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t ticks =
      (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - 116444736000000000LL) / 10;  // from 1601 in 100 ns to 1970 in µs
}

// The pane polled as fast as the window answers, each change with its time, until the status says
// the transmission ended.
int watch(const std::string& outPath, int seconds) {
  timeBeginPeriod(1);
  std::ofstream out(outPath);
  HWND main = nullptr;
  for (DWORD start = GetTickCount(); !main && GetTickCount() - start < 60000; Sleep(50)) {
    main = mainWindow();
  }
  HWND pane = main ? paneOf(main) : nullptr;
  std::string last = "\x01";
  for (DWORD start = GetTickCount();
       pane && GetTickCount() - start < static_cast<DWORD>(seconds) * 1000; Sleep(1)) {
    // The status first: the pane read after it holds every character shown before the end.
    const bool ended = statusOf(main) == kEndedStatus;
    const std::string now = textOf(pane);
    const std::int64_t at = microsecondsSince1970();
    if (now != last) {
      out << at << ' ' << now << std::endl;
      last = now;
    }
    if (ended) break;
  }
  timeEndPeriod(1);
  return pane ? 0 : 1;
}

}  // namespace
}  // namespace kelvak

int main(int argc, char** argv) {
  using namespace kelvak;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "expected") return expected(args[1], args[2], args[3]);
  if (args.size() == 3 && args[0] == "wait") return waitForStatus(args[1], std::stoi(args[2]));
  if (args.size() == 3 && args[0] == "watch") return watch(args[1], std::stoi(args[2]));
  if (args.size() == 1 && args[0] == "box") return box();
  if (args.size() == 2 && args[0] == "progress") return progress(args[1]);
  std::fprintf(stderr, "usage: see the head of tests/windows/gui_check.cpp\n");
  return 2;
}

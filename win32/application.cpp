// Start-up of the Windows program's windows.
#include "win32/application.h"

#include <windows.h>

#include <exception>
#include <filesystem>
#include <string>

#include "app/user_files.h"
#include "presenter/error_gate.h"
#include "presenter/settings_presenter.h"
#include "sound/wave_out_device_win32.h"
#include "text/win32_strings.h"
#include "win32/main_window.h"
#include "win32/training_menu.h"

namespace kelvak::win32 {

namespace {

// The folder kelvak.exe runs from, where the installer puts the help document.
std::string programFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return utf8OfWide(std::filesystem::path(path).parent_path().native());
}

}  // namespace

int runWindows() {
  // A console made for this program alone (it was started from the desktop, not a console) goes:
  // the windows are the program.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
  ErrorBox report;
  ErrorGate gate(report);
  try {
    WaveOutDevice device;
    MainWindow window(device, gate);
    report.setOwner(window.handle());
    window.setHelpDocumentFolder(programFolder());
    // The settings of the last run; the window as it is now is the start-up, the defaults.
    SettingsPresenter settings(window, nullptr, gate, userFilePath(UserFile::Settings));
    window.appendTextMenuItem(L"&Настройки по умолчанию", [&] { settings.restoreDefaults(); });
    // The training functions beside the window's own: their menu, windows and history.
    TrainingMenu training(window, gate, userFilePath(UserFile::History));
    settings.setTraining(&training.presenter());
    settings.restore();
    const int code = window.run();
    settings.save();
    return code;
  } catch (const std::exception& e) {
    gate.report(e.what());
  } catch (...) {
    gate.report("Unknown error");
  }
  return 0;
}

}  // namespace kelvak::win32

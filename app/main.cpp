// Entry point of Kelvak: creates the windows in order, runs the message loop, reports what escapes.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <optional>

#include "app/command_line.h"
#include "sound/auto_wave_device.h"
#include "ui/about_box.h"
#include "ui/application_setup.h"
#include "ui/error_report.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/settings_keeper.h"
#include "ui/training_menu.h"

namespace {

// Everything from the first window to the end of the message loop. The windows live until it
// returns; the program's exit ends them with everything they hold.
void run(QApplication& app, kelvak::ErrorReport& report) {
  kelvak::ErrorGate gate(report);
  // PulseAudio where a server answers, SDL otherwise.
  kelvak::AutoWaveDevice device;

  kelvak::MainWindow mainWindow(device, gate);
  kelvak::AboutBox aboutBox(&mainWindow);
  kelvak::HelpWindow helpWindow(&mainWindow);
  mainWindow.setSecondaryWindows(&aboutBox, &helpWindow);
  // The settings of the last run; the window as it is now is the start-up, the defaults.
  kelvak::SettingsKeeper settings(mainWindow, &helpWindow, gate);
  // The training functions beside the window's own: their menu, windows and history.
  kelvak::TrainingMenu training(mainWindow, gate);
  settings.setTraining(&training);
  settings.restore();
  // A missing or unreadable help document is reported now, before the main window shows; the
  // help window stays, empty, and start-up goes on.
  gate.run([&helpWindow] { helpWindow.loadDocument(); });

  mainWindow.show();
  app.exec();
  settings.save();
}

}  // namespace

int main(int argc, char** argv) {
  // `--export` and `--help` run without any window, so no display is needed.
  if (const std::optional<int> code = kelvak::runCommandLine(argc, argv)) return *code;
  std::optional<QApplication> app;
  kelvak::ErrorReport report;
  try {
    app.emplace(argc, argv);
    kelvak::setUpApplication(*app);
    QApplication::setWindowIcon(QIcon(":/kelvak.png"));
    QGuiApplication::setDesktopFileName("org.kelvak.Kelvak");
    run(*app, report);
  } catch (const std::exception& e) {
    if (app) {
      kelvak::ErrorGate(report).report(e.what());
    } else {
      std::fprintf(stderr, "%s.\n", e.what());
    }
  } catch (...) {
    if (app) kelvak::ErrorGate(report).report("Unknown error");
  }
  return 0;  // also after an error caught here
}

// "Сохранить в &звуковой файл...": what Play would send next, saved as a sound file and its key.
#pragma once

#include <QDate>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "export/transmission_plan.h"
#include "playback/controls.h"
#include "playback/transmission.h"

class QFileDialog;
class QWidget;

namespace kelvak {

inline constexpr const char* kSaveSoundCaption = "Сохранить в &звуковой файл...";

// What an export from the window wrote.
struct SavedExport {
  std::string audioPath;
  std::string keyPath;
  TransmissionSettings settings;
  std::size_t symbols = 0;  // characters in the key, the start signal not among them
};

// What an export from the window came to.
struct ExportOutcome {
  std::optional<SavedExport> saved;  // what was written; nothing when it was cancelled
  bool quit = false;                 // F10 in the progress dialog: the user ends the program
};

// The status bar's line after an export: the names of the sound and the key, which fit the bar;
// `detail` names them with their whole paths, for the tooltip and a screen reader.
struct StatusLine {
  std::string text, detail;
};
StatusLine savedExportStatus(const SavedExport& saved);

// The name the save dialog suggests, without extension: the text kind (the text file's own name
// with the file source), the speed and the day.
QString suggestedExportName(const TransmissionSettings& settings, const std::string& filePath,
                            const QDate& day);

// Asks for a file name with a save dialog (run by presentDialog, which tells whether the user
// confirmed), which opens in the folder of the last export of this run and suggests a name; then
// writes the transmission with the window's generator, so the next Play goes on
// from where the file ends. A long export shows a progress dialog with a cancel button. A cancelled
// or failed export leaves no file, and leaves the generator as it was unless something else drew
// from it meanwhile. F10 in the progress dialog cancels the export likewise and asks to end the
// program. Throws KelvakError for a failure, for the window's error report. `filePath`: the text
// file chosen, for the name. `weighting` gives the learning modes' weights, as the
// transmission's ticks would take them.
ExportOutcome exportSoundFile(QWidget* parent, const Controls& controls, Random& random,
                              const FileText& fileText, const std::string& filePath,
                              std::int32_t unitMs,
                              const std::function<bool(QFileDialog&)>& presentDialog,
                              const Transmission::Weighting& weighting = {});

}  // namespace kelvak

// The dialogs of "Сохранить в &звуковой файл...": the save dialog and the export's progress.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "presenter/main_view.h"

class QFileDialog;
class QWidget;

namespace kelvak {

// Asks for a sound file's name with a save dialog (run by `presentDialog`, which tells whether the
// user confirmed), which opens in the folder of the last export of this run, suggests
// `suggestedName` with the extension of the format chosen, and adds that extension to a name typed
// without one. The path chosen, or nothing.
std::optional<std::string> askSoundFileName(
    QWidget* parent, const std::string& suggestedName,
    const std::function<bool(QFileDialog&)>& presentDialog);

// Runs an export's work on a thread of its own, so the window (and a transmission it plays) goes on
// meanwhile. A long export shows a progress dialog with a cancel button; F10 in it cancels likewise
// and asks to end the program.
ExportRun runExportWithProgress(QWidget* parent, const std::string& fileName,
                                const ExportWork& work);

}  // namespace kelvak

// "Сохранить в звуковой файл...": what Play would send next, saved as a sound file and its key.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "export/transmission_plan.h"
#include "playback/controls.h"
#include "playback/transmission.h"

class QFileDialog;
class QWidget;

namespace kelvak {

inline constexpr const char* kSaveSoundCaption = "Сохранить в звуковой файл...";

// Asks for a file name with a save dialog (run by presentDialog, which tells whether the user
// confirmed), then writes the transmission with the window's generator, so the next Play goes on
// from where the file ends. A long export shows a progress dialog with a cancel button. A cancelled
// or failed export leaves no file, and leaves the generator as it was unless something else drew
// from it meanwhile. Throws KelvakError for a failure, for the window's error report.
// `weighting` gives the learning modes' weights, as the transmission's ticks would take them.
void exportSoundFile(QWidget* parent, const Controls& controls, Random& random,
                     const FileText& fileText, std::int32_t unitMs,
                     const std::function<bool(QFileDialog&)>& presentDialog,
                     const Transmission::Weighting& weighting = {});

}  // namespace kelvak

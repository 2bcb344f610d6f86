// Writing a planned transmission to a sound file and its answer key.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "export/target_files.h"
#include "export/transmission_plan.h"

namespace kelvak {

// Told the samples written so far and the total; returns false to cancel the export.
using ExportProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// The answer key's default name: the sound file's, with ".key.txt" for its extension. Not plain
// ".txt": "lesson.wav" must not overwrite "lesson.txt", which may be the text it was made from.
std::string defaultKeyPath(const std::string& audioPath);

// The answer key's text: the pane's text and a line end.
std::string answerKeyText(const TransmissionPlan& plan);

// Writes the plan's samples to audioPath (format by extension) and, when keyPath is given, the
// answer key. Returns false when progress cancelled it. Either both files are complete under their
// names, or neither name was touched: nothing half-written is left on cancel or failure, and every
// file that stood before stands unchanged. The names are checked before the first sample (see
// TargetFile); the key and the sound file must be two files, and neither may be `source`, the
// file the text was read from. Throws UnwritablePathError for a name refused, AudioWriteError for
// a write that failed, KelvakError.
bool writeExport(const TransmissionPlan& plan, const std::string& audioPath,
                 const std::optional<std::string>& keyPath, const ExportProgress& progress = {},
                 const std::optional<FileIdentity>& source = std::nullopt);

}  // namespace kelvak

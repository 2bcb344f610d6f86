// Replacing a small file whole: a crash leaves either the old file or the new one, never a part.
#pragma once

#include <string>
#include <string_view>

namespace kelvak {

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk, renames it over
// `path` and flushes the folder. Makes the folder when it is missing. Throws KelvakError
// "<failure>: <reason>"; `path` is then untouched and no temporary file is left.
void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& failure);

}  // namespace kelvak

// Finding and reading the help document under the rule of every file read.
#include "presenter/help_document.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include "base/error.h"
#include "text/regular_file.h"

namespace kelvak {

namespace {

constexpr char kHelpFileName[] = "Справка.rtf";
// The installed data folder as seen from the installed program's folder ("../share/kelvak").
constexpr char kDataFromProgram[] = KELVAK_DATA_FROM_PROGRAM;

namespace fs = std::filesystem;

// Paths in UTF-8 (the system's own bytes here), also where the system's paths are UTF-16.
fs::path pathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

std::string readHelpDocument(const std::string& programFolder) {
  const fs::path name = pathOf(kHelpFileName);
  const fs::path program = pathOf(programFolder);
  // The current folder first, as always; then where an installed program keeps its data, so it
  // finds its guide wherever it is started; then beside a program run from its build tree.
  const fs::path places[] = {name, program / pathOf(kDataFromProgram) / name, program / name};
  std::string tooLarge;  // said for the first place that held a document beyond the bound
  for (const fs::path& place : places) {
    try {
      return readWholeFile(utf8Of(place), kMaxHelpDocumentBytes);
    } catch (const FileReadError& e) {
      std::error_code ec;
      const auto size = fs::file_size(place, ec);
      if (e.error() == EFBIG && tooLarge.empty() && !ec) {
        tooLarge = "Файл справки " + utf8Of(place) + " слишком велик: " +
                   std::to_string(size) + " байт, а справка читается не больше " +
                   std::to_string(kMaxHelpDocumentBytes) + " байт";
      }
    }
  }
  // A document too large is no missing one: the learner is told which it is.
  if (!tooLarge.empty()) throw KelvakError(tooLarge);
  throw KelvakError(std::string("Cannot open file ") + kHelpFileName);
}

LoadedDocument parseHelpDocument(std::string_view bytes) {
  std::optional<LoadedDocument> loaded = readDocument(bytes);
  if (!loaded) throw KelvakError("Failed to Load Stream");
  return std::move(*loaded);
}

}  // namespace kelvak

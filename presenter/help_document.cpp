// Finding and reading the help document under the rule of every file read.
#include "presenter/help_document.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include "base/error.h"
#include "files/regular_file.h"
#include "text/utf8_path.h"

namespace kelvak {

namespace {

constexpr char kHelpFileName[] = "Справка.rtf";
// The installed data folder as seen from the installed program's folder ("../share/kelvak").
constexpr char kDataFromProgram[] = KELVAK_DATA_FROM_PROGRAM;

namespace fs = std::filesystem;

}  // namespace

std::string readHelpDocument(const std::string& programFolder) {
  const fs::path name = utf8Path(kHelpFileName);
  const fs::path program = utf8Path(programFolder);
  // The current folder first, as always; then where an installed program keeps its data, so it
  // finds its guide wherever it is started; then beside a program run from its build tree.
  const fs::path places[] = {name, program / utf8Path(kDataFromProgram) / name, program / name};
  std::string tooLarge;  // said for the first place that held a document beyond the bound
  for (const fs::path& place : places) {
    try {
      return readWholeFile(utf8String(place), kMaxHelpDocumentBytes);
    } catch (const FileReadError& e) {
      std::error_code ec;
      const auto size = fs::file_size(place, ec);
      if (e.error() == EFBIG && tooLarge.empty() && !ec) {
        tooLarge = "Файл справки " + utf8String(place) + " слишком велик: " +
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

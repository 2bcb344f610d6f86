// The file rules on Windows' own cases: reserved device names, a path longer than MAX_PATH, a
// read-only file and a file another process holds open. A text file that is no disk file loads as
// empty without waiting; an export never writes to a device and never harms a file that stood
// before, whatever stops it.
//
// The test program doubles as the other process: started as `windows_files_test --hold PATH
// SHARE`, it opens PATH sharing only what SHARE names (r: reading, w: writing, d: deleting or
// renaming), says so through a named event, and keeps the file open until told to let go.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "export/exporter.h"
#include "playback/settings.h"
#include "playback/text_source.h"
#include "text/win32_strings.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

std::wstring selfPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// A fresh folder of its own, removed with everything in it.
class Folder {
 public:
  Folder() {
    // Wine gives each run the same process numbers: the tick count tells runs apart.
    path_ = fs::temp_directory_path() /
            ("kelvak-files-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(GetTickCount64()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~Folder() { removeTree(longForm(path_).native()); }
  const fs::path& path() const { return path_; }
  std::string utf8(const fs::path& name) const { return utf8OfWide((path_ / name).native()); }
  // The names in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(longForm(path_))) {
      out.push_back(utf8OfWide(entry.path().filename().native()));
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  // The path as \\?\ form, which the system takes at any length.
  static fs::path longForm(const fs::path& path) {
    return L"\\\\?\\" + fs::absolute(path).native();
  }
  // Removes a folder and everything in it, read-only files and paths of any length included.
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          removeTree(path);
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

std::vector<std::uint8_t> readAll(const fs::path& path) {
  std::ifstream in(Folder::longForm(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(Folder::longForm(path), std::ios::binary) << bytes;
}

TransmissionPlan shortPlan() {
  TransmissionSettings s;
  s.speed = 30;
  s.groups = 1;
  Random random;
  return planTransmission(s, {}, random);
}

// The samples of a WAV file: the bytes of its data chunk.
std::vector<std::uint8_t> wavSamples(const std::vector<std::uint8_t>& file) {
  const std::string tag = "data";
  const auto at = std::search(file.begin(), file.end(), tag.begin(), tag.end());
  if (file.end() - at < 8) return {};
  const auto size = static_cast<std::size_t>(at[4] | at[5] << 8 | at[6] << 16 | at[7] << 24);
  const auto from = at + 8;
  return {from, from + static_cast<std::ptrdiff_t>(std::min<std::size_t>(size, file.end() - from))};
}

std::vector<std::uint8_t> rendered(const TransmissionPlan& plan) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(out.data(), out.size());
  return out;
}

// Reads a text file on a Windows thread of its own, so that a reading that hangs fails the case
// instead of stopping the run (a detached std::thread of winpthreads may never run under Wine).
std::optional<FileText> readWithin(const std::string& path) {
  struct Reading {
    std::string path;
    FileText text;
  };
  auto* reading = new Reading{path, {}};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* r = static_cast<Reading*>(p);
        r->text = readFileText(r->path);
        return 0;
      },
      reading, 0, nullptr);
  if (!thread) return std::nullopt;
  // Only a guard against hanging, far beyond any slow machine.
  const bool done = WaitForSingleObject(thread, 60000) == WAIT_OBJECT_0;
  CloseHandle(thread);
  if (!done) return std::nullopt;  // the reading is left to itself, with its memory
  std::optional<FileText> text = std::move(reading->text);
  delete reading;
  return text;
}

// Names the system keeps for its devices, on their own, with an extension and in a folder. None is
// a disk file, and the console or a serial port may keep an opening waiting.
class ReservedName : public ::testing::TestWithParam<const char*> {};
INSTANTIATE_TEST_SUITE_P(Names, ReservedName,
                         ::testing::Values("CON", "NUL", "AUX", "PRN", "COM1", "LPT1", "CONIN$",
                                           "CONOUT$", "con.txt", "Com9.wav", "C:\\Windows\\aux",
                                           "C:\\Windows\\NUL.log"),
                         [](const auto& info) {
                           std::string name;
                           for (const char* c = info.param; *c; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return name;
                         });

TEST_P(ReservedName, LoadsAsAnEmptyTextWithoutWaiting) {
  const auto text = readWithin(GetParam());
  ASSERT_TRUE(text) << GetParam() << " did not load within a minute";
  EXPECT_EQ(text->count(), 0);
}

// The bare device names, which are devices in every folder on every Windows: never written.
TEST(ReservedNameExport, IsRefusedAndWritesNothing) {
  Folder folder;
  const TransmissionPlan plan = shortPlan();
  for (const char* name : {"CON", "NUL", "AUX", "PRN", "COM1", "LPT1"}) {
    for (const std::string& path : {std::string(name), folder.utf8(name)}) {
      EXPECT_THROW(writeExport(plan, path, std::nullopt), UnwritablePathError) << path;
    }
  }
  EXPECT_TRUE(folder.names().empty());
}

// Folders nested beyond MAX_PATH (260 characters), the last with a Russian name: an export is
// written there whole, and a text file there is read.
TEST(LongPath, AnExportAndATextFileBeyondMaxPath) {
  Folder folder;
  fs::path deep = folder.path();
  while (deep.native().size() < 300) {
    deep /= std::wstring(60, L'к');
    ASSERT_TRUE(CreateDirectoryW(Folder::longForm(deep).c_str(), nullptr)) << GetLastError();
  }
  const fs::path sound = deep / L"урок.wav";
  ASSERT_GT(sound.native().size(), static_cast<std::size_t>(MAX_PATH));
  const TransmissionPlan plan = shortPlan();
  ASSERT_TRUE(
      writeExport(plan, utf8OfWide(sound.native()), utf8OfWide((deep / L"урок.key.txt").native())));
  EXPECT_EQ(wavSamples(readAll(sound)), rendered(plan));
  EXPECT_EQ(readAll(deep / L"урок.key.txt").size(), answerKeyText(plan).size());

  writeAll(deep / L"текст.txt", "12345");
  EXPECT_EQ(readFileText(utf8OfWide((deep / L"текст.txt").native())).symbols,
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

// A read-only file is read like any other, and an export refuses to replace it before any work
// (Windows would refuse to move the new file over it at the end, Wine would move it): it stays as
// it was, read-only, with no other file beside it.
TEST(ReadOnlyFile, IsReadAndNotReplacedByAnExport) {
  Folder folder;
  const fs::path text = folder.path() / "text.txt";
  writeAll(text, "12345");
  ASSERT_TRUE(SetFileAttributesW(text.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(readFileText(folder.utf8("text.txt")).count(), 5);

  const std::string before = "not a lesson";
  writeAll(folder.path() / "lesson.wav", before);
  ASSERT_TRUE(SetFileAttributesW((folder.path() / "lesson.wav").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_THROW(writeExport(shortPlan(), folder.utf8("lesson.wav"), std::nullopt),
               UnwritablePathError);
  const auto bytes = readAll(folder.path() / "lesson.wav");
  EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == before) << "changed";
  EXPECT_TRUE(GetFileAttributesW((folder.path() / "lesson.wav").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"lesson.wav", "text.txt"}));
}

// Another process that holds a file open, sharing what `share` names.
class Holder {
 public:
  Holder(const fs::path& path, const std::wstring& share) {
    const std::wstring id =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(count_++);
    holding_ = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\kelvak-holding-" + id).c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\kelvak-release-" + id).c_str());
    std::wstring command =
        L"\"" + selfPath() + L"\" --hold \"" + path.native() + L"\" " + share + L" " + id;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process_)) {
      CloseHandle(process_.hThread);
      const HANDLE either[] = {holding_, process_.hProcess};
      held_ = WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
    }
  }
  ~Holder() {
    SetEvent(release_);
    if (process_.hProcess) {
      WaitForSingleObject(process_.hProcess, 60000);
      CloseHandle(process_.hProcess);
    }
    CloseHandle(holding_);
    CloseHandle(release_);
  }
  bool held() const { return held_; }

 private:
  static inline int count_ = 0;
  HANDLE holding_ = nullptr, release_ = nullptr;
  PROCESS_INFORMATION process_{};
  bool held_ = false;
};

struct HeldCase {
  const char* name;
  const wchar_t* share;  // what the other process lets others do with the file
  bool readable;         // a reading gets the text
};
void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class HeldOpenFile : public ::testing::TestWithParam<HeldCase> {};
INSTANTIATE_TEST_SUITE_P(Sharing, HeldOpenFile,
                         ::testing::Values(HeldCase{"sharingNothing", L"-", false},
                                           HeldCase{"sharingReading", L"r", true},
                                           HeldCase{"sharingReadingAndWriting", L"rw", true},
                                           HeldCase{"sharingEverything", L"rwd", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Held open by another process: a text file is read as far as that process lets it, without
// waiting. Windows moves no file over one another program has open, whatever it shares, so an
// export refuses it before any work (Wine would move it) and leaves it as it was, and nothing
// else in the folder.
TEST_P(HeldOpenFile, IsReadIfSharedAndNotReplacedByAnExport) {
  Folder folder;
  writeAll(folder.path() / "text.txt", "12345");
  const std::string before = "a lesson being played";
  writeAll(folder.path() / "lesson.wav", before);
  {
    Holder text(folder.path() / "text.txt", GetParam().share);
    Holder lesson(folder.path() / "lesson.wav", GetParam().share);
    ASSERT_TRUE(text.held() && lesson.held());

    const auto read = readWithin(folder.utf8("text.txt"));
    ASSERT_TRUE(read) << "the reading waited";
    EXPECT_EQ(read->count(), GetParam().readable ? 5 : 0);
    EXPECT_THROW(writeExport(shortPlan(), folder.utf8("lesson.wav"), std::nullopt),
                 UnwritablePathError);
  }
  const auto after = readAll(folder.path() / "lesson.wav");
  EXPECT_TRUE(std::string(after.begin(), after.end()) == before) << "changed";
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"lesson.wav", "text.txt"}));
}

// The other process: holds PATH open as asked until released.
int hold(const std::wstring& path, const std::wstring& share, const std::wstring& id) {
  DWORD mode = 0;
  if (share.find(L'r') != std::wstring::npos) mode |= FILE_SHARE_READ;
  if (share.find(L'w') != std::wstring::npos) mode |= FILE_SHARE_WRITE;
  if (share.find(L'd') != std::wstring::npos) mode |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, mode, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE holding = OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"Local\\kelvak-holding-" + id).c_str());
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (L"Local\\kelvak-release-" + id).c_str());
  if (!holding || !release) return 1;
  SetEvent(holding);
  WaitForSingleObject(release, 120000);
  CloseHandle(file);
  return 0;
}

}  // namespace
}  // namespace kelvak

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wstring(argv[1]) == L"--hold")
    return kelvak::hold(argv[2], argv[3], argv[4]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

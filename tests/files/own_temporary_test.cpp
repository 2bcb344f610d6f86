// Cleaning up after killed saves and exports, on every system: only a leftover that is provably
// ours goes, never a file a running copy may still be writing, another target's or a folder.
#include "files/own_temporary.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace kelvak {
namespace {

namespace fs = std::filesystem;

// A process number no system gives (Linux's bound is 2^22; Windows's are far below this).
constexpr long kNoProcess = 1'073'741'820;

// 240 bytes of UTF-8: its temporary name is shortened to the bound on a name.
constexpr const char* kLong =
    "урок-с-очень-длинным-именем-которое-укорачивается-при-записи-временного-файла-рядом-с-"
    "ним-и-ещё-немного-текста-для-длины-имени.wav";

struct Leftover {
  const char* name;
  bool ofThisProcess;   // else of a process that is gone
  int startShift;       // added to this process's real start: nonzero is another process
  const char* target;   // the leftover is named for it
  const char* cleaned;  // the target cleaned up after
  bool folder;
  bool removed;
};
void PrintTo(const Leftover& c, std::ostream* os) { *os << c.name; }

class Leftovers : public testing::TestWithParam<Leftover> {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kelvak_leftovers_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_P(Leftovers, OnlyProvablyOursGo) {
  const Leftover& c = GetParam();
  const long pid = c.ofThisProcess ? static_cast<long>(getpid()) : kNoProcess;
  const std::uint64_t start = processStart(getpid());
  ASSERT_NE(start, 0u) << "this process's start cannot be told";
  const std::string name = ownTemporaryName(c.target, pid, start + c.startShift, 3);
  const fs::path left = dir / fs::path(std::u8string(name.begin(), name.end()));
  if (c.folder) {
    fs::create_directory(left);
  } else {
    std::ofstream(left) << "part";
  }
  const fs::path target =
      dir / fs::path(std::u8string(c.cleaned, c.cleaned + std::strlen(c.cleaned)));
  std::ofstream(target) << "the target";
  const std::u8string folder = dir.u8string();
  EXPECT_EQ(removeOwnLeftovers(std::string(folder.begin(), folder.end()), c.cleaned),
            c.removed ? 1 : 0);
  EXPECT_EQ(fs::exists(left), !c.removed);
  EXPECT_TRUE(fs::exists(target));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Leftovers,
    testing::Values(Leftover{"OfAProcessGone", false, 0, "a.wav", "a.wav", false, true},
                    Leftover{"OfANumberReused", true, 1, "a.wav", "a.wav", false, true},
                    Leftover{"OfThisRunningProcess", true, 0, "a.wav", "a.wav", false, false},
                    Leftover{"OfAnotherTarget", false, 0, "b.wav", "a.wav", false, false},
                    Leftover{"AFolderOfThatName", false, 0, "a.wav", "a.wav", true, false},
                    Leftover{"ARussianNameShortened", false, 0, kLong, kLong, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvak

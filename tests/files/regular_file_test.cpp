// Reading a whole file within a bound, for files with a size and for files that have none and grow
// while they are read (as /proc's).
#include "files/regular_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kelvak {
namespace {

namespace fs = std::filesystem;

struct BoundCase {
  const char* name;
  const char* path;  // nullptr: a regular file of `bytes` bytes
  std::size_t bytes;
  std::size_t bound;
  bool fits;
};

class WholeFileBound : public testing::TestWithParam<BoundCase> {};

// Either the whole file, no longer than the bound, or EFBIG; the stream library reads the same
// file as the oracle of its start.
TEST_P(WholeFileBound, ReadsTheWholeFileOrRefusesIt) {
  const BoundCase& c = GetParam();
  const fs::path made = fs::temp_directory_path() / ("kelvak_bound_" + std::to_string(getpid()));
  const std::string path = c.path ? c.path : made.string();
  if (!c.path) std::ofstream(made, std::ios::binary) << std::string(c.bytes, 'x');
  std::string start;
  {
    std::ifstream in(path, std::ios::binary);
    start.assign(std::istreambuf_iterator<char>(in), {});
  }
  start.resize(std::min<std::size_t>(start.size(), 5));
  try {
    const std::string got = readWholeFile(path, c.bound);
    EXPECT_TRUE(c.fits) << "read " << got.size() << " bytes";
    EXPECT_LE(got.size(), c.bound);
    EXPECT_EQ(got.substr(0, start.size()), start);
    if (!c.path) {
      EXPECT_EQ(got.size(), c.bytes);
    }
  } catch (const FileReadError& e) {
    EXPECT_FALSE(c.fits) << e.what();
    EXPECT_EQ(e.error(), EFBIG) << e.what();
  }
  fs::remove(made);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WholeFileBound,
    testing::Values(BoundCase{"Empty", nullptr, 0, 0, true},
                    BoundCase{"ExactlyTheBound", nullptr, 100, 100, true},
                    BoundCase{"OneByteOver", nullptr, 101, 100, false},
                    // About 1.5 kB, shorter than the first step the reading grows by.
                    BoundCase{"GrowingPastASmallBound", "/proc/self/status", 0, 100, false},
                    BoundCase{"GrowingWithinTheBound", "/proc/self/status", 0, 1 << 20, true},
                    // Tens of kilobytes: the bound falls after a few steps of growth.
                    BoundCase{"GrowingPastAFewSteps", "/proc/self/smaps", 0, 5000, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvak

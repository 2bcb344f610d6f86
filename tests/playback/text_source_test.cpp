// Choosing symbols and reading text files.
#include "playback/text_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "synth/symbol_table.h"
#include "tests/platform/system.h"

namespace kelvak {
namespace {

std::vector<int> firstTransmission(const SymbolChoice& choice, int symbols) {
  Random random;
  FileText none;
  std::vector<int> out;
  for (int c = 0; c < symbols; ++c) out.push_back(nextSymbolIndex(choice, c, none, random));
  return out;
}

TEST(NextSymbolIndex, DigitsAfterStartUpDiscardTheFirstDraw) {
  EXPECT_EQ(firstTransmission({true, 0, false, false}, 11),
            (std::vector<int>{41, 8, 0, 6, 4, 8, 2, 6, 1, 6, 7}));
  EXPECT_EQ(firstTransmission({true, 0, true, false}, 11),
            (std::vector<int>{41, 8, 45, 6, 4, 8, 2, 6, 1, 6, 7}));
}

std::string shown(const std::vector<int>& indices, std::size_t from) {
  std::string s;
  for (std::size_t i = from; i < indices.size(); ++i) s += displayUtf8(indices[i]);
  return s;
}

TEST(NextSymbolIndex, LettersAfterStartUp) {
  const auto sent = firstTransmission({true, 1, false, false}, 11);
  EXPECT_EQ(sent[0], kStartSignal);
  EXPECT_EQ(shown(sent, 1), "сожфбняшкэ");
}

TEST(NextSymbolIndex, MixtureWithSignsMakesEveryZeroLong) {
  const auto sent = firstTransmission({true, 2, false, true}, 6);
  EXPECT_EQ(sent, (std::vector<int>{41, 45, 38, 22, 10, 45}));
  EXPECT_EQ(shown(sent, 1), "0юма0");
}

struct RangeCase {
  SymbolChoice choice;
  std::set<int> allowed;
};

std::set<int> range(int from, int to) {
  std::set<int> s;
  for (int i = from; i <= to; ++i) s.insert(i);
  return s;
}

void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << "kind " << c.choice.textKind << (c.choice.longZero ? ", long zero" : "")
      << (c.choice.specialSigns ? ", special signs" : "");
}

class NextSymbolRange : public testing::TestWithParam<RangeCase> {};

TEST_P(NextSymbolRange, StaysWithinTheKindAndReachesAllOfIt) {
  Random random;
  FileText none;
  std::set<int> seen;
  for (int n = 0; n < 20000; ++n) seen.insert(nextSymbolIndex(GetParam().choice, 1, none, random));
  EXPECT_EQ(seen, GetParam().allowed);
}

std::set<int> with(std::set<int> s, int extra) {
  s.insert(extra);
  return s;
}

INSTANTIATE_TEST_SUITE_P(Kinds, NextSymbolRange,
                         testing::Values(RangeCase{{true, 0, false, false}, range(0, 9)},
                                         RangeCase{{true, 0, true, false}, with(range(1, 9), 45)},
                                         RangeCase{{true, 0, false, true}, range(0, 9)},
                                         RangeCase{{true, 1, false, false}, range(10, 40)},
                                         RangeCase{{true, 1, true, true}, range(10, 44)},
                                         RangeCase{{true, 2, false, false}, with(range(1, 40), 45)},
                                         RangeCase{{true, 2, false, true}, range(1, 45)},
                                         RangeCase{{true, 2, true, true}, range(1, 45)}),
                         [](const auto& info) {
                           const SymbolChoice& c = info.param.choice;
                           return "Kind" + std::to_string(c.textKind) +
                                  (c.longZero ? "LongZero" : "") +
                                  (c.specialSigns ? "SpecialSigns" : "");
                         });

TEST(NextSymbolIndex, FileSourceReplaysTheTextAndDrawsNothing) {
  FileText text;
  text.symbols = {24, 20, 2, 2, 0, 43};
  Random random;
  SymbolChoice choice{false, 1, false, true};
  std::vector<int> sent;
  for (int c = 0; c <= 6; ++c) sent.push_back(nextSymbolIndex(choice, c, text, random));
  EXPECT_EQ(sent, (std::vector<int>{41, 24, 20, 2, 2, 0, 43}));
  choice.longZero = true;
  EXPECT_EQ(nextSymbolIndex(choice, 5, text, random), kLongZero);
  EXPECT_EQ(random.state(), Random::kInitialState);
  // The start signal needs no entry of the text.
  EXPECT_EQ(nextSymbolIndex(choice, 0, FileText{}, random), kStartSignal);
}

FileText decode(const std::string& bytes) {
  FileTextDecoder d;
  d.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return d.finish();
}

// "Ток 220/380 В": the capitals are sent as their small letters.
const std::vector<std::uint8_t> kTokSymbols = {28, 24, 20, 2, 2, 0, 43, 3, 8, 0, 12};

std::string sentText(const FileText& t) {
  std::string s;
  for (const std::uint8_t i : t.symbols) s += displayUtf8(i);
  return s;
}

struct FileCase {
  const char* name;
  std::string bytes;
  std::string sent;  // what is sent, as shown
};

class FileTextCase : public testing::TestWithParam<FileCase> {};

TEST_P(FileTextCase, SendsWhatTheProgramCanSendInEitherCase) {
  EXPECT_EQ(sentText(decode(GetParam().bytes)), GetParam().sent);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Texts, FileTextCase,
    testing::Values(
        FileCase{"Windows1251", "\xD2\xEE\xEA 220/380 \xC2", "ток220/380в"},
        FileCase{"Utf8", "Ток 220/380 В", "ток220/380в"},
        FileCase{"Utf8WithMark", "\xEF\xBB\xBFТок 220/380 В\r\n", "ток220/380в"},
        FileCase{"SentencesKeepTheirFirstLetter", "Привет, мир! Это…", "приветмирэто"},
        FileCase{"SentencesWindows1251", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xDD\xF2\xEE",
                 "приветмирэто"},
        FileCase{"YoIsYe", "Ёлка, ёж", "елкаеж"},
        FileCase{"YoIsYeWindows1251", "\xA8\xEB\xEA\xE0, \xB8\xE6", "елкаеж"},
        FileCase{"HardSignHasNoCode", "Ъ ъ ЪЫЬЭЮЯ", "ыьэюя"},
        FileCase{"LatinStaysSkipped", "ABC abc Ok 7", "7"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(FileText, EveryCapitalSendsAsItsSmallLetter) {
  // Both encodings; "ъ"/"Ъ" have no code either way.
  const std::string small = "абвгдежзийклмнопрстуфхцчшщъыьэюя",
                    capital = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
  EXPECT_EQ(decode(capital).symbols, decode(small).symbols);
  EXPECT_EQ(decode(capital).count(), 31);
  std::string small1251, capital1251;
  for (int b = 0xE0; b <= 0xFF; ++b) {
    small1251 += static_cast<char>(b);
    capital1251 += static_cast<char>(b - 0x20);
  }
  EXPECT_EQ(decode(capital1251).symbols, decode(small1251).symbols);
  EXPECT_EQ(decode(capital1251).symbols, decode(small).symbols);
}

TEST(FileText, LineEndsAndControlBytesAreSkipped) {
  EXPECT_EQ(decode("\xEE\r\n\xEA\x1A"
                   "5")
                .symbols,
            decode("\xEE\n\xEA"
                   "5")
                .symbols);
  EXPECT_EQ(decode("\xEE\xEA"
                   "5")
                .symbols,
            (std::vector<std::uint8_t>{24, 20, 5}));
  EXPECT_EQ(decode("-\xB9").symbols, (std::vector<std::uint8_t>{42, 41}));
  EXPECT_EQ(decode("-№").symbols, (std::vector<std::uint8_t>{42, 41}));
  EXPECT_EQ(decode("").count(), 0);
}

TEST(FileText, InvalidUtf8IsReadAsWindows1251) {
  // "щ" in UTF-8 (D1 89), then E0 ("а" in Windows-1251) that a digit breaks off: in
  // Windows-1251 D1 is "С", sent as "с", and 89 matches nothing.
  EXPECT_EQ(decode("\xD1\x89\xE0"
                   "5")
                .symbols,
            (std::vector<std::uint8_t>{27, 10, 5}));
  // An overlong encoding is not valid either: "А", "°", "а".
  EXPECT_EQ(decode("\xC0\xB0\xE0").symbols, (std::vector<std::uint8_t>{10, 10}));
  // A lone lead byte is no UTF-8 character: "С" in Windows-1251, sent as "с".
  EXPECT_EQ(decode("\xD1").symbols, (std::vector<std::uint8_t>{27}));
}

TEST(FileText, AUtf8FileWhoseLastSequenceIsCutOffIsStillUtf8) {
  const std::vector<std::uint8_t> shchuka = {35, 29, 20, 10};  // щ у к а
  EXPECT_EQ(decode("щука").symbols, shchuka);
  for (const char* cut : {"\xD1", "\xE0", "\xE2\x84", "\xF0\x9F\x98"}) {
    EXPECT_EQ(decode(std::string("щука") + cut).symbols, shchuka) << cut;
  }
}

// Windows Notepad's "Unicode": UTF-16 behind a byte-order mark, in either byte order.
struct Utf16File {
  const char* name;
  std::string bytes;
};

class Utf16FileText : public ::testing::TestWithParam<Utf16File> {};

TEST_P(Utf16FileText, IsDecodedBehindItsByteOrderMark) {
  const std::string& bytes = GetParam().bytes;
  for (std::size_t piece : {1u, 3u, 64u}) {
    FileTextDecoder d;
    for (std::size_t k = 0; k < bytes.size(); k += piece) {
      d.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()) + k,
             std::min(piece, bytes.size() - k));
    }
    EXPECT_EQ(d.finish().symbols, kTokSymbols) << piece;
  }
}

// "Ток 220/380 В" with a line end.
const char16_t kTok[] = u"Ток 220/380 В\r\n";

std::string utf16(bool little, bool mark) {
  std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
  for (char16_t unit : std::u16string_view(kTok)) {
    const char lo = static_cast<char>(unit & 0xFF), hi = static_cast<char>(unit >> 8);
    out += little ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    ByteOrders, Utf16FileText,
    ::testing::Values(Utf16File{"littleEndian", utf16(true, true)},
                      Utf16File{"bigEndian", utf16(false, true)},
                      // A character beyond the first plane and a cut-off last unit change nothing.
                      Utf16File{"pairAndCutEnd", utf16(true, true) + "\x3D\xD8\x00\xDE" + "\x04"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileText, WithoutAByteOrderMarkUtf16IsNoUtf16) {
  // Read as bytes: the zero bytes match nothing, and only the ASCII digits and signs remain.
  EXPECT_EQ(decode(utf16(true, false)).symbols, (std::vector<std::uint8_t>{2, 2, 0, 43, 3, 8, 0}));
  // Only the two marks are marks: "яяю" in Windows-1251 stays three letters.
  EXPECT_EQ(decode("\xFF\xFF\xFE").symbols, (std::vector<std::uint8_t>{39, 39, 38}));
}

TEST(FileText, PiecesOfAnySizeGiveTheSameResult) {
  const std::string text = "\xEF\xBB\xBFПривет, мир! 12345 -/? №\nщука";
  const FileText whole = decode(text);
  EXPECT_EQ(whole.count(), 22);
  for (std::size_t piece = 1; piece <= 5; ++piece) {
    FileTextDecoder d;
    for (std::size_t k = 0; k < text.size(); k += piece) {
      d.feed(reinterpret_cast<const std::uint8_t*>(text.data()) + k,
             std::min(piece, text.size() - k));
    }
    EXPECT_EQ(d.finish().symbols, whole.symbols) << piece;
  }
}

TEST(FileText, KeepsAtMostWhatCanBeSent) {
  const FileText t = decode(std::string(20000, '7'));
  EXPECT_EQ(t.count(), kMaxFileSymbols);
  EXPECT_EQ(t.groups(), kMaxGroups);
}

// Feeds `text` in pieces of `piece` bytes.
FileText decodeInPieces(const std::string& text, std::size_t piece) {
  FileTextDecoder d;
  for (std::size_t k = 0; k < text.size(); k += piece) {
    d.feed(reinterpret_cast<const std::uint8_t*>(text.data()) + k,
           std::min(piece, text.size() - k));
  }
  return d.finish();
}

TEST(FileText, TheEncodingIsDecidedOnceBothReadingsAreFull) {
  // Both readings fill up: the Windows-1251 one with the digits, the UTF-8 one with both.
  std::string mixed;
  for (int i = 0; i < 6000; ++i) mixed += "а7";  // D0 B0 37
  // Cyrillic UTF-8 fills both readings too: its lead bytes D0 and D1 are the capitals "Р" and
  // "С" in Windows-1251.
  std::string letters;
  for (int i = 0; i < 6000; ++i) letters += "а";
  for (std::size_t piece : {1u, 3u, 7u, 4096u, 1u << 20}) {
    SCOPED_TRACE(piece);
    const FileText valid = decodeInPieces(mixed, piece);
    ASSERT_EQ(valid.count(), kMaxFileSymbols);
    EXPECT_EQ(valid.symbols[0], 10);
    EXPECT_EQ(valid.symbols[1], 7);
    // What comes after both readings are full is not read: invalid bytes there change nothing.
    EXPECT_EQ(decodeInPieces(mixed + "\xE0", piece).symbols, valid.symbols);
    EXPECT_EQ(decodeInPieces(mixed + "\xFF\xFF 5", piece).symbols, valid.symbols);
    EXPECT_EQ(decodeInPieces(letters + "\xFF\xFF 5", piece).symbols,
              std::vector<std::uint8_t>(kMaxFileSymbols, 10));
    // Until then an invalid byte still makes it Windows-1251.
    EXPECT_EQ(decodeInPieces("аа\xFF\xFF 5", piece).symbols,
              (std::vector<std::uint8_t>{26, 26, 39, 39, 5}));
    // Multi-byte characters first met after the readings are full.
    const std::string asciiThenCyrillic = std::string(6000, '7') + "щука ъ";
    EXPECT_EQ(decodeInPieces(asciiThenCyrillic + "\xFF", piece).symbols,
              std::vector<std::uint8_t>(kMaxFileSymbols, 7));
  }
}

// A file made for one test, removed afterwards.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& tag)
      : path_(std::filesystem::temp_directory_path() /
              ("kelvak_text_source_" + tag + "_" + std::to_string(getpid()))) {}
  ~ScratchFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }
  // A file of `size` bytes, all zero without taking room on disk, with `text` at `offset`.
  void sparse(std::uint64_t size, std::uint64_t offset = 0, const std::string& text = "") const {
    std::ofstream(path_, std::ios::binary).close();
    std::filesystem::resize_file(path_, size);
    std::fstream out(path_, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(offset));
    out << text;
  }

 private:
  std::filesystem::path path_;
};

// Reads a file on another thread, so that a reading that hangs fails the test instead of
// stopping it; `unblock` is run when the reading does not come back in time. The thread is let go
// only then: under Wine on a busy machine MinGW's winpthreads now and then never runs a thread let
// go at once, or crashes it (with two busy loops 2 and 3 of 2000 such threads, and this test, when
// it let its threads go at once, hung in 5 of 12 runs of five and crashed once; joined, none).
std::optional<FileText> readWithin(const std::string& path, const std::function<void()>& unblock) {
  auto done = std::make_shared<std::promise<FileText>>();
  std::future<FileText> result = done->get_future();
  std::thread reading([path, done] { done->set_value(readFileText(path)); });
  // Only a hang guard, far beyond any slow machine.
  if (result.wait_for(std::chrono::seconds(60)) == std::future_status::ready) {
    reading.join();
    return result.get();
  }
  unblock();
  reading.detach();
  return std::nullopt;
}

TEST(ReadFileText, AFifoLoadsAsEmptyWithoutWaitingForAWriter) {
  if (const char* why = test_platform::missingFeature(test_platform::SystemFeature::Fifo)) {
    GTEST_SKIP() << why;
  }
  ScratchFile fifo("fifo");
  ASSERT_TRUE(test_platform::makeFifo(fifo.path()));
  // A writer lets the waiting open go on.
  const auto text =
      readWithin(fifo.path(), [&] { test_platform::openFifoForWriting(fifo.path()); });
  ASSERT_TRUE(text) << "the reading waited for a writer";
  EXPECT_EQ(text->count(), 0);
}

TEST(ReadFileText, DevicesAndFoldersLoadAsEmpty) {
  for (const std::string& path : test_platform::devicesAndFolders()) {
    // /dev/zero never ends and stays valid UTF-8: a reading of it would never come back.
    const auto text = readWithin(path, [] {});
    ASSERT_TRUE(text) << path << " did not load";
    EXPECT_EQ(text->count(), 0) << path;
  }
}

TEST(ReadFileText, AGigabyteOfNoSymbolsLoadsAsEmpty) {
  ScratchFile big("gigabyte");
  big.sparse(std::uint64_t{1} << 30, std::uint64_t{1} << 29, "12345");
  EXPECT_EQ(readFileText(big.path()).count(), 0);
}

TEST(ReadFileText, StopsAfterItsByteBound) {
  ScratchFile file("bound");
  // Symbols that end right at the bound are read; those just beyond it are not.
  file.sparse(kMaxFileBytes + 64, kMaxFileBytes - 5, "12345");
  EXPECT_EQ(readFileText(file.path()).symbols, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  file.sparse(kMaxFileBytes + 64, kMaxFileBytes, "12345");
  EXPECT_EQ(readFileText(file.path()).count(), 0);
  // The bound may cut a UTF-8 text in the middle of a character; it stays UTF-8.
  file.sparse(kMaxFileBytes + 64, kMaxFileBytes - 3, "щ\xD1\x83");
  EXPECT_EQ(readFileText(file.path()).symbols, (std::vector<std::uint8_t>{35}));
}

TEST(ReadFileText, AUtf16FileFromDisk) {
  ScratchFile file("utf16");
  std::ofstream(file.path(), std::ios::binary) << utf16(false, true);
  EXPECT_EQ(readFileText(file.path()).symbols, kTokSymbols);
}

}  // namespace
}  // namespace kelvak

// Choosing symbols and reading text files.
#include "playback/text_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "synth/symbol_table.h"

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
                                         RangeCase{{true, 2, true, true}, range(1, 45)}));

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

const std::vector<std::uint8_t> kTokSymbols = {24, 20, 2, 2, 0, 43, 3, 8, 0};

TEST(FileText, Windows1251ExampleKeepsOnlyTheAlphabet) {
  const FileText t = decode("\xD2\xEE\xEA 220/380 \xC2");
  EXPECT_EQ(t.symbols, kTokSymbols);
  EXPECT_EQ(t.groups(), 1);
}

TEST(FileText, Utf8ExampleGivesTheSameSymbols) {
  EXPECT_EQ(decode("Ток 220/380 В").symbols, kTokSymbols);
  EXPECT_EQ(decode("\xEF\xBB\xBFТок 220/380 В\r\n").symbols, kTokSymbols);
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
  // "щ" in UTF-8 (D1 89) followed by a lone E0 ("а" in Windows-1251) is not valid UTF-8.
  EXPECT_EQ(decode("\xD1\x89\xE0").symbols, (std::vector<std::uint8_t>{10}));
  // An overlong encoding and a truncated sequence are not valid either.
  EXPECT_EQ(decode("\xC0\xB0\xE0").symbols, (std::vector<std::uint8_t>{10}));
  EXPECT_EQ(decode("\xD1").symbols, (std::vector<std::uint8_t>{}));
}

TEST(FileText, PiecesOfAnySizeGiveTheSameResult) {
  const std::string text = "\xEF\xBB\xBFПривет, мир! 12345 -/? №\nщука";
  const FileText whole = decode(text);
  EXPECT_EQ(whole.count(), 21);
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

TEST(FileText, ValidityDecidedAfterTheReadingsAreFullStillCounts) {
  std::string utf8Letters;
  for (int i = 0; i < 6000; ++i) utf8Letters += "а";  // D0 B0
  const std::string asciiThenCyrillic = std::string(6000, '7') + "щука ъ";
  for (std::size_t piece : {1u, 3u, 7u, 4096u, 1u << 20}) {
    SCOPED_TRACE(piece);
    // Valid UTF-8 to the end: 4995 letters "а".
    const FileText valid = decodeInPieces(utf8Letters + "\n", piece);
    ASSERT_EQ(valid.count(), kMaxFileSymbols);
    EXPECT_EQ(valid.symbols.front(), 10);
    EXPECT_EQ(valid.symbols.back(), 10);
    // One stray byte at the very end makes it Windows-1251, where only that byte is a letter.
    EXPECT_EQ(decodeInPieces(utf8Letters + "\xE0", piece).symbols, std::vector<std::uint8_t>{10});
    // A sequence cut off by the end of the file is invalid too.
    EXPECT_EQ(decodeInPieces(utf8Letters + "\xD1", piece).count(), 0);
    // Multi-byte characters first met after the readings are full.
    EXPECT_EQ(decodeInPieces(asciiThenCyrillic, piece).symbols,
              std::vector<std::uint8_t>(kMaxFileSymbols, 7));
    EXPECT_EQ(decodeInPieces(asciiThenCyrillic + "\xFF", piece).symbols,
              std::vector<std::uint8_t>(kMaxFileSymbols, 7));
  }
}

TEST(FileText, ReadsFilesAndTreatsAMissingOneAsEmpty) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("kelvak_text_source_test_" + std::to_string(getpid()) + ".txt");
  {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 23; ++i) out << "\xE0";
    out << "\r\n";
  }
  const FileText t = readFileText(path.string());
  EXPECT_EQ(t.count(), 23);
  EXPECT_EQ(t.groups(), 4);
  std::filesystem::remove(path);
  EXPECT_EQ(readFileText(path.string()).count(), 0);
}

}  // namespace
}  // namespace kelvak

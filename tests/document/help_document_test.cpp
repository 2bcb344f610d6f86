// The shipped help document: it is rich text the reader takes in whole, it is in step with its
// source, and what it tells the user matches the program.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "document/rich_text.h"
#include "document/rich_text_escape.h"
#include "synth/symbol_table.h"
#include "text/code_pages.h"
#include "text/utf8.h"
#include "text/utf8_path.h"
#include "training/copy_check.h"

namespace kelvak {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(utf8Path(path), std::ios::binary);  // the name is Russian
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kDocumentPath = std::string(KELVAK_DATA_DIR) + "/Справка.rtf";
const std::string kSourcePath = std::string(KELVAK_DATA_DIR) + "/help_document.rtf.in";

class HelpDocument : public testing::Test {
 protected:
  void SetUp() override {
    bytes_ = readFile(kDocumentPath);
    RichTextResult result = readRichText(bytes_);
    ASSERT_TRUE(result.ok()) << "reader error " << static_cast<int>(result.error);
    document_ = std::move(result.document);
    text_ = documentText(document_);
  }

  bool isHeading(const TextParagraph& p) const {
    if (p.runs.empty()) return false;
    for (const TextRun& r : p.runs) {
      if (!r.style.bold || r.style.halfPoints <= kBodyHalfPoints) return false;
    }
    return true;
  }

  static constexpr int kBodyHalfPoints = 20;
  std::string bytes_;
  RichDocument document_;
  std::string text_;
};

TEST_F(HelpDocument, IsSevenBitRichTextInCodePage1251) {
  EXPECT_EQ(bytes_.rfind("{\\rtf1\\ansi\\ansicpg1251", 0), 0u);
  for (const char c : bytes_) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST_F(HelpDocument, IsBuiltFromItsSource) {
  const std::string source = readFile(kSourcePath);
  ASSERT_TRUE(isValidUtf8(source));
  EXPECT_TRUE(escapeRichText(source, kCodePageCyrillic) == bytes_)
      << "data/Справка.rtf is stale: rebuild it with kelvak_make_help_document";
}

TEST_F(HelpDocument, HasItsHeadingsBoldAndLarger) {
  std::set<std::string> headings;
  for (const TextParagraph& p : document_.paragraphs) {
    if (isHeading(p)) headings.insert(documentText(RichDocument{{p}}));
  }
  for (const char* expected :
       {"Kelvak", "Для чего эта программа", "Как начать", "Главное окно", "Меню", "Текст из файла",
        "Как тренироваться", "Таблица знаков", "Если что-то не так"}) {
    EXPECT_TRUE(headings.count(expected)) << "heading " << expected;
  }
  EXPECT_TRUE(document_.paragraphs.front().runs.front().style.colour.has_value());
  EXPECT_EQ(document_.paragraphs.front().alignment, Alignment::Centre);
}

TEST_F(HelpDocument, HasNoMarkupOrUndecodedCharactersLeft) {
  EXPECT_EQ(text_.find('\\'), std::string::npos);
  EXPECT_EQ(text_.find('{'), std::string::npos);
  EXPECT_EQ(text_.find('}'), std::string::npos);
  EXPECT_EQ(text_.find("\xEF\xBF\xBD"), std::string::npos);  // U+FFFD
  EXPECT_EQ(text_.find("Arial"), std::string::npos);         // font table content
  EXPECT_EQ(text_.find("generator"), std::string::npos);
  // Every non-ASCII character is Cyrillic or one of the few typographic signs used.
  const std::u32string allowed = U"—–«»×№•";
  std::size_t pos = 0;
  while (pos < text_.size()) {
    const char32_t ch = nextUtf8Char(text_, pos);
    if (ch < 0x80) continue;
    EXPECT_TRUE((ch >= 0x400 && ch <= 0x4FF) || allowed.find(ch) != std::u32string::npos)
        << "U+" << std::hex << static_cast<unsigned>(ch);
  }
}

TEST_F(HelpDocument, NamesEveryControlAndMenuItemAsTheWindowShowsIt) {
  for (const char* caption : {"Скорость (gr/min)",
                              "Частота, Hz",
                              "Сигнал, %",
                              "Помеха, %",
                              "Количество групп текста",
                              "Пауза (тире)",
                              "между знаками",
                              "между группами",
                              "Текст",
                              "Цифры",
                              "Буквы",
                              "Смесь",
                              "\"Длинный\" ноль (для цифр только)",
                              "Использовать спец. символы",
                              "Play",
                              "Pause",
                              "Stop",
                              "Alt+P",
                              "Alt+U",
                              "Alt+S",
                              "Из Файла...",
                              "Случайный",
                              "Справка Kelvak",
                              "F1",
                              "О программе (и не только)...",
                              "Выход",
                              "F10",
                              "Windows-1251",
                              "UTF-8",
                              "999",
                              "Справка.rtf",
                              "Сохранить в звуковой файл...",
                              "Тренировка",
                              "Скрывать текст при передаче",
                              "Проверить приём...",
                              "Статистика...",
                              "Новая последовательность",
                              "Проверить",
                              "Открыть ключ...",
                              "--export",
                              ".key.txt"}) {
    EXPECT_NE(text_.find(caption), std::string::npos) << caption;
  }
}

// The code table in the guide must teach exactly what the program sends.
TEST_F(HelpDocument, CodeTableMatchesTheSymbolTable) {
  std::set<int> listed;
  std::string tableText;
  bool inTable = false;
  for (const TextParagraph& p : document_.paragraphs) {
    const std::string line = documentText(RichDocument{{p}});
    if (isHeading(p)) {
      inTable = line == "Таблица знаков";
      continue;
    }
    if (inTable) tableText += line + "\n";
    if (!inTable || p.runs.empty() || !p.runs.front().style.fixedPitch) continue;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) {
      // "к -.-": the character, a space, its elements.
      std::size_t pos = 0;
      const char32_t ch = nextUtf8Char(cell, pos);
      ASSERT_EQ(cell.at(pos), ' ') << cell;
      const std::string elements = cell.substr(pos + 1);
      const std::optional<int> index = indexOfChar(ch);
      ASSERT_TRUE(index.has_value()) << cell;
      EXPECT_EQ(elements, SymbolTable[static_cast<std::size_t>(*index)].elements) << cell;
      listed.insert(*index);
    }
  }
  EXPECT_EQ(listed.size(), static_cast<std::size_t>(kMatchableSymbols));
  EXPECT_NE(tableText.find(std::string("ноль): ") + SymbolTable[kLongZero].elements + "\n"),
            std::string::npos);
}

// The check's table of Latin letters must read each as the check reads it.
TEST_F(HelpDocument, LatinLetterTableMatchesTheCheck) {
  std::set<char32_t> listed;
  bool inSection = false;
  for (const TextParagraph& p : document_.paragraphs) {
    const std::string line = documentText(RichDocument{{p}});
    if (isHeading(p)) {
      inSection = line == "Проверка приёма";
      continue;
    }
    if (!inSection || p.runs.empty() || !p.runs.front().style.fixedPitch) continue;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) {
      // "w в": the Latin letter, a space, the Cyrillic letter it is read as.
      std::size_t pos = 0;
      const char32_t latin = nextUtf8Char(cell, pos);
      ASSERT_EQ(cell.at(pos++), ' ') << cell;
      const char32_t cyrillic = nextUtf8Char(cell, pos);
      EXPECT_EQ(pos, cell.size()) << cell;
      EXPECT_EQ(cyrillicOfLatin(latin), cyrillic) << cell;
      listed.insert(latin);
    }
  }
  EXPECT_EQ(listed.size(), 26u);
}

}  // namespace
}  // namespace kelvak

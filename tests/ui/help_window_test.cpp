// The help window: its layout, loading "Справка.rtf" from the current directory with its three
// outcomes, and keeping its place and scroll position between showings.
#include "ui/help_window.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFontInfo>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/error.h"
#include "document/document_reader.h"
#include "tests/ui/find_control.h"
#include "tests/ui/qt_test_app.h"

namespace kelvak {
namespace {

using testing::control;

namespace fs = std::filesystem;
using namespace std::string_literals;

const char kHelpName[] = "Справка.rtf";

class HelpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();
    previousDir_ = fs::current_path();
    char pattern[] = "/tmp/kelvak_help_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
  }

  void TearDown() override {
    fs::current_path(previousDir_);
    fs::remove_all(dir_);
  }

  void writeHelp(const std::string& bytes, const fs::path& where = ".") {
    std::ofstream(where / kHelpName, std::ios::binary) << bytes;
  }

  // The error message loadDocument raised, or "" when it loaded without one.
  static std::string load(HelpWindow& form) {
    try {
      form.loadDocument();
    } catch (const KelvakError& e) {
      return e.what();
    }
    return "";
  }

  static std::string shownText(const HelpWindow& form) {
    return control<QTextEdit>(form, "documentView")->toPlainText().toStdString();
  }

  fs::path previousDir_;
  fs::path dir_;
};

TEST_F(HelpWindowTest, IsBuiltAsDesigned) {
  HelpWindow form;
  EXPECT_EQ(form.objectName(), "helpWindow");
  EXPECT_EQ(form.windowTitle(), "Справка");
  EXPECT_EQ(form.size(), QSize(420, 273));
  EXPECT_EQ(form.minimumSize(), QSize(420, 273));  // it can grow, never shrink below its design
  EXPECT_EQ(form.pos(), QPoint(201, 171));
  EXPECT_EQ(control<QTextEdit>(form, "documentView")->geometry(), QRect(8, 8, 401, 225));
  EXPECT_TRUE(control<QTextEdit>(form, "documentView")->isReadOnly());
  EXPECT_NE(control<QTextEdit>(form, "documentView")->horizontalScrollBarPolicy(),
            Qt::ScrollBarAlwaysOff);
  EXPECT_NE(control<QTextEdit>(form, "documentView")->verticalScrollBarPolicy(),
            Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(control<QPushButton>(form, "okButton")->geometry(), QRect(176, 240, 75, 25));
  EXPECT_TRUE(control<QPushButton>(form, "okButton")->isDefault());
  EXPECT_EQ(form.focusWidget(), control<QPushButton>(form, "okButton"));
  EXPECT_TRUE(control<QTextEdit>(form, "documentView")
                  ->document()
                  ->isEmpty());  // nothing is loaded before loadDocument
}

// Enlarged, the viewer takes the new room with the designed margins, and OK stays centred below.
TEST_F(HelpWindowTest, TheViewerGrowsWithTheWindow) {
  HelpWindow form;
  const QRect view = control<QTextEdit>(form, "documentView")->geometry(),
              ok = control<QPushButton>(form, "okButton")->geometry();
  const int right = form.width() - view.right(), bottom = form.height() - ok.bottom();
  form.show();  // a hidden window is laid out when it shows
  for (const QSize size : {QSize(900, 700), QSize(421, 274), QSize(1600, 1100)}) {
    form.resize(size);
    const QRect grown = control<QTextEdit>(form, "documentView")->geometry(),
                moved = control<QPushButton>(form, "okButton")->geometry();
    EXPECT_EQ(grown.topLeft(), view.topLeft());
    EXPECT_EQ(size.width() - grown.right(), right);
    EXPECT_EQ(size.height() - moved.bottom(), bottom);
    EXPECT_EQ(moved.top() - grown.bottom(), ok.top() - view.bottom());
    EXPECT_LE(std::abs((moved.center().x() - size.width() / 2) -
                       (ok.center().x() - form.minimumWidth() / 2)),
              1);
  }
  form.resize(300, 200);
  EXPECT_EQ(form.size(), QSize(420, 273));
}

TEST_F(HelpWindowTest, UsesASansFontAndTheMenuColour) {
  HelpWindow form;
  const QFontInfo font(form.font());
  EXPECT_TRUE(font.family() == "Liberation Sans" || font.family() == "DejaVu Sans")
      << font.family().toStdString();
  EXPECT_EQ(font.pixelSize(), 11);
  EXPECT_EQ(control<QTextEdit>(form, "documentView")->palette().color(QPalette::Base),
            QApplication::palette("QMenu").color(QPalette::Window));
}

struct LoadCase {
  const char* name;
  std::string bytes;
  std::string error;  // "" when the document loads
  std::string text;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class HelpWindowLoading : public HelpWindowTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(HelpWindowLoading, ShowsTheDocumentOrRaisesItsError) {
  writeHelp(GetParam().bytes);
  HelpWindow form;
  EXPECT_EQ(load(form), GetParam().error);
  EXPECT_EQ(shownText(form), GetParam().text);
  // Whatever happened, the window still opens.
  form.showInFront();
  EXPECT_TRUE(form.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, HelpWindowLoading,
    ::testing::Values(
        LoadCase{
            "richText",
            R"({\rtf1\ansi\ansicpg1251 {\b \'cf\'f0\'e8\'e2\'e5\'f2}\par \'ec\'e8\'f0\line 2\par})",
            "", "Привет\nмир\n2"},
        LoadCase{"plainUtf8", "Привет, мир\r\nВторая строка\r\n", "", "Привет, мир\nВторая строка"},
        LoadCase{"plainWindows1251", "\xcf\xf0\xe8\xe2\xe5\xf2 \xb9 1", "", "Привет № 1"},
        LoadCase{"emptyFile", "", "", ""},
        LoadCase{"garbledRichText", R"({\rtf1 {\b unclosed)", "Failed to Load Stream", ""},
        LoadCase{"badEscape", R"({\rtf1 \'zz})", "Failed to Load Stream", ""},
        LoadCase{"binaryData", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, "Failed to Load Stream", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpWindowTest, MissingDocumentRaisesCannotOpenWithItsName) {
  HelpWindow form;
  EXPECT_EQ(load(form), "Cannot open file Справка.rtf");
  EXPECT_TRUE(control<QTextEdit>(form, "documentView")->document()->isEmpty());
  form.showInFront();
  EXPECT_TRUE(form.isVisible());
}

// What may stand under the document's name and is no document: passed over at once, so the window
// appears and the next place is tried; with no other place, the message says what stood there.
struct Unusable {
  const char* name;
  void (*make)(const fs::path& path);
  const char* said = "Cannot open file Справка.rtf";
};

void PrintTo(const Unusable& c, std::ostream* os) { *os << c.name; }

class HelpWindowUnusable : public HelpWindowTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(HelpWindowUnusable, IsPassedOverAtOnce) {
  GetParam().make(kHelpName);
  fs::create_directory("bin");
  HelpWindow form;
  form.setProgramFolder("bin");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(load(form), GetParam().said);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
  writeHelp("beside", "bin");
  EXPECT_EQ(load(form), "");
  EXPECT_EQ(shownText(form), "beside");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HelpWindowUnusable,
    ::testing::Values(Unusable{"folder", [](const fs::path& p) { fs::create_directory(p); }},
                      Unusable{"fifo", [](const fs::path& p) { mkfifo(p.c_str(), 0644); }},
                      Unusable{"endless",
                               [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
                      Unusable{"beyondTheBound",
                               [](const fs::path& p) {
                                 std::ofstream(p) << "x";
                                 fs::resize_file(p, kMaxHelpDocumentBytes + 1);
                               },
                               "Файл справки Справка.rtf слишком велик: 131073 байт, а справка "
                               "читается не больше 131072 байт"}),
    [](const auto& info) { return std::string(info.param.name); });

// Where copies of the document lie when the program is started from another folder: in that
// folder, in the installed data folder beside the program's bin folder, beside the program.
struct PlacesCase {
  const char* name;
  bool inCurrent, installed, besideProgram;
  const char* shown;  // which copy is shown; "" for the error
};

void PrintTo(const PlacesCase& c, std::ostream* os) { *os << c.name; }

class HelpWindowPlaces : public HelpWindowTest, public ::testing::WithParamInterface<PlacesCase> {};

TEST_P(HelpWindowPlaces, TheCurrentFolderComesFirstThenTheProgramsData) {
  const PlacesCase& c = GetParam();
  const fs::path bin = dir_ / "usr" / "bin", data = dir_ / "usr" / "share" / "kelvak";
  fs::create_directories(bin);
  fs::create_directories(data);
  fs::create_directories("started here");
  if (c.inCurrent) writeHelp("current", "started here");
  if (c.installed) writeHelp("installed", data);
  if (c.besideProgram) writeHelp("beside", bin);
  fs::current_path("started here");
  HelpWindow form;
  form.setProgramFolder(QString::fromStdString(bin.string()));
  if (*c.shown) {
    EXPECT_EQ(load(form), "");
    EXPECT_EQ(shownText(form), c.shown);
  } else {
    EXPECT_EQ(load(form), "Cannot open file Справка.rtf");
    EXPECT_TRUE(control<QTextEdit>(form, "documentView")->document()->isEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, HelpWindowPlaces,
                         ::testing::Values(PlacesCase{"everywhere", true, true, true, "current"},
                                           PlacesCase{"installed", false, true, true, "installed"},
                                           PlacesCase{"buildTree", false, false, true, "beside"},
                                           PlacesCase{"nowhere", false, false, false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpWindowTest, LoadingReplacesTheContent) {
  writeHelp("first");
  HelpWindow form;
  ASSERT_EQ(load(form), "");
  writeHelp("second");
  ASSERT_EQ(load(form), "");
  EXPECT_EQ(shownText(form), "second");
  writeHelp("bad\0"s);
  EXPECT_EQ(load(form), "Failed to Load Stream");
  EXPECT_EQ(shownText(form), "");
}

TEST_F(HelpWindowTest, RichTextFormattingReachesTheViewer) {
  writeHelp(R"({\rtf1\ansi\ansicpg1251{\colortbl;\red200\green0\blue0;})"
            R"({\b\cf1\fs32 \'c7\'e0\'e3}\par \i x\par})");
  HelpWindow form;
  ASSERT_EQ(load(form), "");
  QTextCursor cursor(control<QTextEdit>(form, "documentView")->document());
  cursor.setPosition(1);
  EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(200, 0, 0));
  EXPECT_DOUBLE_EQ(cursor.charFormat().fontPointSize(), 16.0);
  cursor.setPosition(control<QTextEdit>(form, "documentView")->document()->lastBlock().position() +
                     1);
  EXPECT_TRUE(cursor.charFormat().fontItalic());
  EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(HelpWindowTest, ShippedDocumentLoadsWhereTheProgramRuns) {
  fs::current_path(KELVAK_PROGRAM_DIR);
  HelpWindow form;
  EXPECT_EQ(load(form), "");
  const std::string text = shownText(form);
  EXPECT_NE(text.find("Синтезатор сигналов азбуки Морзе"), std::string::npos);
  EXPECT_NE(text.find("Таблица знаков"), std::string::npos);
  EXPECT_EQ(control<QTextEdit>(form, "documentView")->textCursor().position(),
            0);  // opens at the top
}

TEST_F(HelpWindowTest, KeepsTheScrollPositionWhenHiddenAndShownAgain) {
  fs::current_path(KELVAK_DATA_DIR);
  HelpWindow form;
  ASSERT_EQ(load(form), "");
  form.showInFront();
  QCoreApplication::processEvents();
  QScrollBar* bar = control<QTextEdit>(form, "documentView")->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 100);  // the guide is much longer than the window
  bar->setValue(bar->maximum() / 2);
  const int place = bar->value();
  ASSERT_GT(place, 0);

  control<QPushButton>(form, "okButton")->click();
  QCoreApplication::processEvents();
  form.showInFront();
  QCoreApplication::processEvents();
  EXPECT_EQ(bar->value(), place);

  form.close();
  QCoreApplication::processEvents();
  form.showInFront();
  QCoreApplication::processEvents();
  EXPECT_EQ(bar->value(), place);
}

TEST_F(HelpWindowTest, OpensWhereDesignedThenWhereTheUserLeftIt) {
  HelpWindow form;
  form.showInFront();
  QCoreApplication::processEvents();
  EXPECT_EQ(form.pos(), QPoint(201, 171));
  form.move(300, 250);
  control<QPushButton>(form, "okButton")->click();
  form.showInFront();
  QCoreApplication::processEvents();
  EXPECT_EQ(form.pos(), QPoint(300, 250));
}

}  // namespace
}  // namespace kelvak

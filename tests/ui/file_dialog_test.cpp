// The file-open dialog as the user meets it from the "from file" menu item: in Russian, with
// every column wide enough for what it shows.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>

#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "ui/main_window.h"

namespace kelvak {
namespace {

using testing::control;

namespace fs = std::filesystem;

bool russian(const QString& text) {
  static const QRegularExpression cyrillic("[А-Яа-яЁё]");
  return text.contains(cyrillic);
}

class FileDialog : public ::testing::Test {
 protected:
  ErrorReport report{[](QMessageBox&) {}};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  MainWindow form{device, gate, &timer};
  fs::path dir;

  void SetUp() override {
    char pattern[] = "/tmp/kelvak_dialog_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    // Names, sizes and types of several widths.
    std::ofstream(dir / "Упражнение с довольно длинным именем.txt") << std::string(28000, 'a');
    std::ofstream(dir / "a.rtf") << "{\\rtf1 }";
    fs::create_directory(dir / "Папка");
  }
  void TearDown() override { fs::remove_all(dir); }

  // Opens the dialog through the menu item and runs `look` on it while it is on screen.
  void openDialog(const std::function<void(QFileDialog&)>& look) {
    bool shown = false;
    form.setFileDialogPresenter([&](QFileDialog& d) {
      d.setDirectory(QString::fromStdString(dir.string()));
      d.show();
      look(d);
      shown = true;
      return false;
    });
    control<QAction>(form, "fileTextItem")->trigger();
    ASSERT_TRUE(shown);
  }
};

TEST_F(FileDialog, SpeaksRussian) {
  openDialog([](QFileDialog& d) {
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
      const auto* label = d.findChild<QLabel*>(name);
      ASSERT_TRUE(label) << name;
      EXPECT_TRUE(russian(label->text())) << label->text().toStdString();
    }
    const auto* buttons = d.findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    for (const QAbstractButton* b : buttons->buttons()) {
      EXPECT_TRUE(russian(b->text())) << b->text().toStdString();
    }
    // The context menu of the file-name field.
    auto* name = d.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(name);
    std::unique_ptr<QMenu> menu(name->createStandardContextMenu());
    int items = 0;
    for (const QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      ++items;
      EXPECT_TRUE(russian(a->text())) << a->text().toStdString();
    }
    EXPECT_GE(items, 6);
  });
}

TEST_F(FileDialog, ShowsEveryColumnInFull) {
  openDialog([](QFileDialog& d) {
    auto* details = d.findChild<QTreeView*>("treeView");
    ASSERT_TRUE(details);
    const QAbstractItemModel* model = details->model();
    ASSERT_TRUE(model);
    // The folder is read in the background; wait until its three entries are listed.
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(details->rootIndex()), 3, 10000);
    QTest::qWait(100);  // and until the columns have followed their contents
    const QHeaderView* header = details->header();
    const QFontMetrics metrics = details->fontMetrics();
    // The view leaves this margin on either side of a cell's text and elides what does not fit.
    const int margin =
        details->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, details) + 1;
    for (int row = 0; row < model->rowCount(details->rootIndex()); ++row) {
      for (int column = 1; column < header->count(); ++column) {
        const QModelIndex cell = model->index(row, column, details->rootIndex());
        const QString text = cell.data().toString();
        EXPECT_GE(details->visualRect(cell).width(), metrics.horizontalAdvance(text) + 2 * margin)
            << "column " << column << " cuts \"" << text.toStdString() << "\"";
        // Kinds, sizes and dates in Russian too: no word of the system's English among them.
        EXPECT_FALSE(text.contains(QRegularExpression("[a-z]{3,}")))
            << "column " << column << " reads \"" << text.toStdString() << "\"";
      }
    }
    // The name column keeps a fair share, and all columns are in sight without scrolling.
    EXPECT_GE(header->sectionSize(0), 200);
    EXPECT_LE(header->length(), details->viewport()->width());
    EXPECT_LE(d.width(), 1024);
  });
}

}  // namespace
}  // namespace kelvak

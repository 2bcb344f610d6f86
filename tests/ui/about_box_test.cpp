// The About box: its texts, fonts and picture, every text fully visible, centred at each showing.
#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "tests/ui/qt_test_app.h"
#include "ui_about_box.h"

namespace kelvak {
namespace {

class AboutBoxTest : public testing::Test {
 protected:
  void SetUp() override { testApplication(); }
};

bool isSerifStandIn(const QFont& font) {
  const QString family = QFontInfo(font).family();
  return family == "Times New Roman" || family == "Liberation Serif" || family == "DejaVu Serif";
}

TEST_F(AboutBoxTest, IsBuiltAsDesigned) {
  AboutBox box;
  EXPECT_EQ(box.objectName(), "aboutBox");
  EXPECT_EQ(box.windowTitle(), "About");
  EXPECT_EQ(box.size(), QSize(452, 247));
  EXPECT_EQ(box.maximumSize(), QSize(452, 247));
  EXPECT_EQ(box.ui().frame->geometry(), QRect(8, 8, 441, 201));
  EXPECT_EQ(box.ui().frame->frameShape(),
            QFrame::Box);  // sunken box: lowered outside, raised inside
  EXPECT_EQ(box.ui().frame->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(box.ui().picture->parentWidget(), box.ui().frame);
  EXPECT_EQ(box.ui().picture->geometry(), QRect(8, 8, 240, 180));
  EXPECT_EQ(box.ui().ProductName->geometry(), QRect(304, 24, 120, 31));
  EXPECT_EQ(box.ui().Comments->geometry(), QRect(296, 64, 129, 30));
  EXPECT_EQ(box.ui().Version->pos(), QPoint(296, 104));
  EXPECT_EQ(box.ui().okButton->geometry(), QRect(184, 216, 91, 25));
}

TEST_F(AboutBoxTest, ShowsItsPictureInTwentyFourBitColour) {
  AboutBox box;
  const QPixmap picture = box.ui().picture->pixmap();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(240, 180));
  EXPECT_FALSE(picture.hasAlphaChannel());
}

TEST_F(AboutBoxTest, TextsFontsAndColours) {
  AboutBox box;
  EXPECT_EQ(box.ui().ProductName->text(), "Kelvak");
  const QFont product = box.ui().ProductName->font();
  EXPECT_TRUE(isSerifStandIn(product)) << QFontInfo(product).family().toStdString();
  EXPECT_EQ(product.pixelSize(), 27);
  EXPECT_TRUE(product.italic());
  EXPECT_TRUE(product.underline());
  EXPECT_EQ(box.ui().ProductName->palette().color(QPalette::WindowText), QColor(Qt::red));

  EXPECT_EQ(box.ui().Comments->text(), "Синтезатор сигналов азбуки Морзе");
  const QFont comments = box.ui().Comments->font();
  EXPECT_TRUE(isSerifStandIn(comments));
  EXPECT_EQ(comments.pixelSize(), 13);
  EXPECT_TRUE(comments.italic());
  EXPECT_FALSE(comments.underline());
  EXPECT_TRUE(box.ui().Comments->wordWrap());
  EXPECT_EQ(box.ui().Comments->palette().color(QPalette::WindowText), QColor(Qt::black));

  EXPECT_EQ(box.ui().Version->text(), "Version 1.10");
  EXPECT_EQ(box.ui().Version->font(), box.font());
  EXPECT_EQ(QFontInfo(box.font()).pixelSize(), 11);
}

TEST_F(AboutBoxTest, EveryTextIsFullyVisible) {
  AboutBox box;
  const QFontMetrics product(box.ui().ProductName->font());
  EXPECT_LE(product.horizontalAdvance("Kelvak"), box.ui().ProductName->width());
  EXPECT_LE(product.height(), box.ui().ProductName->height());

  // Two lines of word-wrapped text in 129 x 30.
  EXPECT_LE(box.ui().Comments->heightForWidth(box.ui().Comments->width()),
            box.ui().Comments->height());
  const QFontMetrics comments(box.ui().Comments->font());
  EXPECT_LE(comments.horizontalAdvance("Синтезатор сигналов"), box.ui().Comments->width());

  EXPECT_GE(box.ui().Version->width(), box.ui().Version->sizeHint().width());
  EXPECT_GE(box.ui().Version->height(), box.ui().Version->sizeHint().height());

  const QRect inside = box.ui().frame->contentsRect();
  for (const QWidget* label :
       {static_cast<QWidget*>(box.ui().picture), static_cast<QWidget*>(box.ui().ProductName),
        static_cast<QWidget*>(box.ui().Comments), static_cast<QWidget*>(box.ui().Version)}) {
    EXPECT_TRUE(inside.contains(label->geometry())) << label->objectName().toStdString();
  }
  EXPECT_LE(box.ui().picture->geometry().right(), box.ui().Comments->geometry().left());
}

TEST_F(AboutBoxTest, IsCentredOnTheScreenAtEveryShowing) {
  AboutBox box;
  const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  box.showInFront();
  QCoreApplication::processEvents();
  EXPECT_LE((box.frameGeometry().center() - centre).manhattanLength(), 1);

  box.move(3, 5);
  box.okClicked();
  EXPECT_FALSE(box.isVisible());
  box.showInFront();
  QCoreApplication::processEvents();
  EXPECT_LE((box.frameGeometry().center() - centre).manhattanLength(), 1);
}

}  // namespace
}  // namespace kelvak

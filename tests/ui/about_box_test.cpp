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

#include "tests/ui/find_control.h"
#include "tests/ui/qt_test_app.h"

namespace kelvak {
namespace {

using testing::control;

class AboutBoxTest : public ::testing::Test {
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
  EXPECT_EQ(control<QFrame>(box, "frame")->geometry(), QRect(8, 8, 441, 201));
  EXPECT_EQ(control<QFrame>(box, "frame")->frameShape(),
            QFrame::Box);  // sunken box: lowered outside, raised inside
  EXPECT_EQ(control<QFrame>(box, "frame")->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(control<QLabel>(box, "picture")->parentWidget(), control<QFrame>(box, "frame"));
  EXPECT_EQ(control<QLabel>(box, "picture")->geometry(), QRect(8, 8, 240, 180));
  EXPECT_EQ(control<QLabel>(box, "ProductName")->geometry(), QRect(304, 24, 120, 31));
  EXPECT_EQ(control<QLabel>(box, "Comments")->geometry(), QRect(296, 64, 129, 30));
  EXPECT_EQ(control<QLabel>(box, "Version")->pos(), QPoint(296, 104));
  EXPECT_EQ(control<QPushButton>(box, "okButton")->geometry(), QRect(184, 216, 91, 25));
}

TEST_F(AboutBoxTest, ShowsItsPictureInTwentyFourBitColour) {
  AboutBox box;
  const QPixmap picture = control<QLabel>(box, "picture")->pixmap();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(240, 180));
  EXPECT_FALSE(picture.hasAlphaChannel());
}

TEST_F(AboutBoxTest, TextsFontsAndColours) {
  AboutBox box;
  EXPECT_EQ(control<QLabel>(box, "ProductName")->text(), "Kelvak");
  const QFont product = control<QLabel>(box, "ProductName")->font();
  EXPECT_TRUE(isSerifStandIn(product)) << QFontInfo(product).family().toStdString();
  EXPECT_EQ(product.pixelSize(), 27);
  EXPECT_TRUE(product.italic());
  EXPECT_TRUE(product.underline());
  EXPECT_EQ(control<QLabel>(box, "ProductName")->palette().color(QPalette::WindowText),
            QColor(Qt::red));

  EXPECT_EQ(control<QLabel>(box, "Comments")->text(), "Синтезатор сигналов азбуки Морзе");
  const QFont comments = control<QLabel>(box, "Comments")->font();
  EXPECT_TRUE(isSerifStandIn(comments));
  EXPECT_EQ(comments.pixelSize(), 13);
  EXPECT_TRUE(comments.italic());
  EXPECT_FALSE(comments.underline());
  EXPECT_TRUE(control<QLabel>(box, "Comments")->wordWrap());
  EXPECT_EQ(control<QLabel>(box, "Comments")->palette().color(QPalette::WindowText),
            QColor(Qt::black));

  EXPECT_EQ(control<QLabel>(box, "Version")->text(), "Version 1.10");
  EXPECT_EQ(control<QLabel>(box, "Version")->font(), box.font());
  EXPECT_EQ(QFontInfo(box.font()).pixelSize(), 11);
}

TEST_F(AboutBoxTest, EveryTextIsFullyVisible) {
  AboutBox box;
  const QFontMetrics product(control<QLabel>(box, "ProductName")->font());
  EXPECT_LE(product.horizontalAdvance("Kelvak"), control<QLabel>(box, "ProductName")->width());
  EXPECT_LE(product.height(), control<QLabel>(box, "ProductName")->height());

  // Two lines of word-wrapped text in 129 x 30.
  EXPECT_LE(
      control<QLabel>(box, "Comments")->heightForWidth(control<QLabel>(box, "Comments")->width()),
      control<QLabel>(box, "Comments")->height());
  const QFontMetrics comments(control<QLabel>(box, "Comments")->font());
  EXPECT_LE(comments.horizontalAdvance("Синтезатор сигналов"),
            control<QLabel>(box, "Comments")->width());

  EXPECT_GE(control<QLabel>(box, "Version")->width(),
            control<QLabel>(box, "Version")->sizeHint().width());
  EXPECT_GE(control<QLabel>(box, "Version")->height(),
            control<QLabel>(box, "Version")->sizeHint().height());

  const QRect inside = control<QFrame>(box, "frame")->contentsRect();
  for (const QWidget* label : {static_cast<QWidget*>(control<QLabel>(box, "picture")),
                               static_cast<QWidget*>(control<QLabel>(box, "ProductName")),
                               static_cast<QWidget*>(control<QLabel>(box, "Comments")),
                               static_cast<QWidget*>(control<QLabel>(box, "Version"))}) {
    EXPECT_TRUE(inside.contains(label->geometry())) << label->objectName().toStdString();
  }
  EXPECT_LE(control<QLabel>(box, "picture")->geometry().right(),
            control<QLabel>(box, "Comments")->geometry().left());
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

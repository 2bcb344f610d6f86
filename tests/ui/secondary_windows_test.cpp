// What the help window and the About box share: created hidden, shown without blocking, hidden
// (never destroyed) by OK and by the close box, never ending the program, never doubled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "tests/ui/find_control.h"
#include "tests/ui/qt_test_app.h"
#include "ui/about_box.h"
#include "ui/help_window.h"

namespace kelvak {
namespace {

using testing::control;

template <typename Window>
class SecondaryWindow : public ::testing::Test {
 protected:
  void SetUp() override { testApplication(); }

  static int countOfKind() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<Window*>(w) != nullptr) ++count;
    }
    return count;
  }
};

using Windows = ::testing::Types<HelpWindow, AboutBox>;
TYPED_TEST_SUITE(SecondaryWindow, Windows);

TYPED_TEST(SecondaryWindow, IsCreatedHiddenAndNonModal) {
  TypeParam window;
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.windowModality(), Qt::NonModal);
  EXPECT_FALSE(window.isModal());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  // The help window can be enlarged and maximised; the About box has a fixed size.
  const bool grows = std::is_same_v<TypeParam, HelpWindow>;
  EXPECT_EQ(flags.testFlag(Qt::WindowMaximizeButtonHint), grows);
  EXPECT_EQ(window.minimumSize() == window.maximumSize(), !grows);
}

TYPED_TEST(SecondaryWindow, ShowsWithoutBlocking) {
  bool eventsRan = false;
  TypeParam window;
  // A window that ran its own event loop (exec) would let this timer fire inside showInFront;
  // hiding the window then ends that loop, so such a fault fails here instead of hanging.
  QTimer::singleShot(0, &window, [&] {
    eventsRan = true;
    window.hide();
  });
  window.showInFront();
  EXPECT_FALSE(eventsRan);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  QCoreApplication::processEvents();
  EXPECT_TRUE(eventsRan);
}

TYPED_TEST(SecondaryWindow, ShowingAgainKeepsOneWindow) {
  TypeParam window;
  const int before = this->countOfKind();
  window.showInFront();
  const QPoint place = window.pos();
  window.showInFront();
  QCoreApplication::processEvents();
  EXPECT_EQ(this->countOfKind(), before);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.pos(), place);
}

TYPED_TEST(SecondaryWindow, OkHidesWithoutDestroying) {
  auto* window = new TypeParam;
  QPointer<TypeParam> alive(window);
  window->showInFront();
  control<QPushButton>(*window, "okButton")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(alive.isNull());
  EXPECT_FALSE(window->isVisible());
  window->showInFront();
  EXPECT_TRUE(window->isVisible());
  delete window;
}

TYPED_TEST(SecondaryWindow, CloseBoxHidesWithoutDestroying) {
  auto* window = new TypeParam;
  QPointer<TypeParam> alive(window);
  window->showInFront();
  EXPECT_TRUE(window->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(alive.isNull());
  EXPECT_FALSE(window->isVisible());
  delete window;
}

TYPED_TEST(SecondaryWindow, ClosingItNeverEndsTheProgram) {
  // Inside the event loop, closing the application's last primary window (this one is the only
  // window here) announces lastWindowClosed, and Qt then quits. A secondary window must never
  // count as one.
  TypeParam window;
  int lastWindowClosed = 0;
  const QMetaObject::Connection counting = QObject::connect(
      qApp, &QGuiApplication::lastWindowClosed, [&lastWindowClosed] { ++lastWindowClosed; });
  QTimer::singleShot(0, &window, [&window] {
    window.showInFront();
    window.close();
    QCoreApplication::exit(7);
  });
  EXPECT_EQ(QApplication::exec(), 7);
  QObject::disconnect(counting);
  EXPECT_EQ(lastWindowClosed, 0);
}

// Saturation of the opaque pixels, 0..255 on average.
double colourfulness(const QImage& image) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() < 128) continue;
      sum += c.hsvSaturation();
      ++count;
    }
  }
  return count > 0 ? sum / count : 0;
}

TYPED_TEST(SecondaryWindow, OkButtonHasAPictureWithAGreyedDisabledForm) {
  TypeParam window;
  const QIcon icon = control<QPushButton>(window, "okButton")->icon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(control<QPushButton>(window, "okButton")->iconSize(), QSize(16, 16));
  EXPECT_EQ(control<QPushButton>(window, "okButton")->text(), "OK");
  const QImage normal = icon.pixmap(QSize(16, 16), 1.0, QIcon::Normal).toImage();
  const QImage disabled = icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage();
  ASSERT_EQ(normal.size(), QSize(16, 16));
  ASSERT_EQ(disabled.size(), QSize(16, 16));
  EXPECT_GT(colourfulness(normal), 100.0);
  EXPECT_LT(colourfulness(disabled), 30.0);
}

}  // namespace
}  // namespace kelvak

// Access keys in the real main window: Alt with a letter either presses its button or does
// nothing, whichever field has the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include "tests/case_name.h"
#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "ui/application_setup.h"
#include "ui/main_window.h"

namespace kelvak {
namespace {

using testing::control;

struct KeyCase {
  const char* name;
  bool playing;       // a transmission runs: Play is disabled, Stop and Pause enabled
  const char* field;  // the field with the focus
  Qt::Key key;        // pressed with Alt
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class AccessKeyInAField : public ::testing::TestWithParam<KeyCase> {
 protected:
  std::vector<QString> reports;
  ErrorReport report{[this](QMessageBox& b) { reports.push_back(b.text()); }};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  MainWindow form{device, gate, &timer};

  void SetUp() override {
    device.clock = &timer.now;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  QLineEdit* field(const char* name) { return form.findChild<QLineEdit*>(name); }
};

TEST_P(AccessKeyInAField, WhoseButtonIsDisabledTypesNothing) {
  const KeyCase& c = GetParam();
  if (c.playing) QTest::mouseClick(control<QPushButton>(form, "PlayButton"), Qt::LeftButton);
  QLineEdit* edit = field(c.field);
  ASSERT_TRUE(edit && edit->isEnabled());
  edit->setFocus(Qt::TabFocusReason);
  edit->end(false);
  const QString before = edit->text();
  const bool playEnabled = control<QPushButton>(form, "PlayButton")->isEnabled();
  const bool paused = control<QPushButton>(form, "PauseButton")->isChecked();

  QTest::keyClick(QApplication::focusWidget(), c.key, Qt::AltModifier);
  QTest::keyClick(QApplication::focusWidget(), c.key, Qt::AltModifier | Qt::ShiftModifier);
  QTest::qWait(50);  // a button pressed by its key acts a moment later

  EXPECT_EQ(edit->text(), before);
  EXPECT_EQ(control<QPushButton>(form, "PlayButton")->isEnabled(), playEnabled);
  EXPECT_EQ(control<QPushButton>(form, "PauseButton")->isChecked(), paused);
  if (c.playing) {
    // The next tick reads the field as it was, without an error.
    EXPECT_TRUE(timer.fireNext([this] { form.tick(); }));
    EXPECT_TRUE(timer.fireNext([this] { form.tick(); }));
    EXPECT_EQ(form.engine().symbolCounter(), 2);
  }
  EXPECT_TRUE(reports.empty()) << reports.front().toStdString();
  // Plain typing still reaches the field.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
  EXPECT_EQ(edit->text(), before + "7");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, AccessKeyInAField,
    ::testing::Values(KeyCase{"PlayFromTheCharacterPause", true, "charPauseEdit", Qt::Key_P},
                      KeyCase{"PlayFromTheGroupPause", true, "groupPauseEdit", Qt::Key_P},
                      KeyCase{"StopWhenIdle", false, "groupCountEdit", Qt::Key_S},
                      KeyCase{"PauseWhenIdle", false, "groupCountEdit", Qt::Key_U},
                      KeyCase{"NoSuchKey", true, "charPauseEdit", Qt::Key_Q}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccessKeyInAField, WhoseButtonIsEnabledPressesItAndTypesNothing) {
  QLineEdit* edit = field("charPauseEdit");
  edit->setFocus(Qt::TabFocusReason);
  auto press = [](Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
  };
  press(Qt::Key_P);
  QTRY_VERIFY_WITH_TIMEOUT(!control<QPushButton>(form, "PlayButton")->isEnabled(), 10000);
  EXPECT_TRUE(timer.enabled());
  press(Qt::Key_U);
  QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(form, "PauseButton")->isChecked(), 10000);
  EXPECT_FALSE(timer.enabled());
  press(Qt::Key_U);
  QTRY_VERIFY_WITH_TIMEOUT(!control<QPushButton>(form, "PauseButton")->isChecked(), 10000);
  press(Qt::Key_S);
  QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(form, "PlayButton")->isEnabled(), 10000);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(edit->text(), "1");
  // The same keys in the Russian layout: "З" stands where "P" does, "Ы" where "S" does. (The
  // test library types Latin keys only: these are sent as the window system would send them.)
  auto pressRussian = [](char16_t letter) {
    QKeyEvent down(QEvent::KeyPress, QChar(letter).toUpper().unicode(), Qt::AltModifier,
                   QString(QChar(letter)));
    QApplication::sendEvent(QApplication::focusWidget(), &down);
  };
  pressRussian(u'ы');  // Stop is disabled while idle: nothing happens, nothing is typed
  QTest::qWait(50);
  EXPECT_TRUE(control<QPushButton>(form, "PlayButton")->isEnabled());
  EXPECT_EQ(edit->text(), "1");
  pressRussian(u'з');
  QTRY_VERIFY_WITH_TIMEOUT(!control<QPushButton>(form, "PlayButton")->isEnabled(), 10000);
  pressRussian(u'ы');
  QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(form, "PlayButton")->isEnabled(), 10000);
  EXPECT_EQ(edit->text(), "1");
  EXPECT_TRUE(reports.empty());
}

// The menu bar's Russian access keys from the Latin layout: "N" stands where "Т" does.
TEST_F(AccessKeyInAField, TheMenusOpenFromTheLatinLayoutToo) {
  field("groupCountEdit")->setFocus(Qt::TabFocusReason);
  for (const auto& [key, menu] : {std::pair{Qt::Key_N, control<QMenu>(form, "textMenu")},
                                  std::pair{Qt::Key_C, control<QMenu>(form, "helpMenu")}}) {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 5000);
    menu->close();
    QTRY_VERIFY_WITH_TIMEOUT(!menu->isVisible(), 5000);
  }
  EXPECT_EQ(field("groupCountEdit")->text(), "30");
}

struct PlaceCase {
  char16_t letter, twin;  // 0: on no key of the other layout
};

class LetterAtTheSamePlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(LetterAtTheSamePlace, IsTheOtherLayoutsLetterInLowerCase) {
  EXPECT_EQ(letterAtTheSamePlace(QChar(GetParam().letter)), QChar(GetParam().twin));
}

INSTANTIATE_TEST_SUITE_P(Keys, LetterAtTheSamePlace,
                         ::testing::Values(PlaceCase{u'н', u'y'}, PlaceCase{u'Y', u'н'},
                                           PlaceCase{u'p', u'з'}, PlaceCase{u'З', u'p'},
                                           PlaceCase{u'ф', u'a'}, PlaceCase{u'A', u'ф'},
                                           PlaceCase{u'м', u'v'}, PlaceCase{u'.', u'ю'},
                                           PlaceCase{u'ё', u'`'}, PlaceCase{u'х', u'['},
                                           PlaceCase{u'7', 0}, PlaceCase{u'ѣ', 0}),
                         [](const auto& info) {
                           return testing_names::charName(info.param.letter) + "To" +
                                  testing_names::charName(info.param.twin);
                         });

}  // namespace
}  // namespace kelvak

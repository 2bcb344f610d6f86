// Saving a sound file from the main window's text menu: what Play would send next, with the
// window's settings and text source, after which Play goes on with the following groups.
#include "ui/sound_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "ui/main_window.h"

namespace kelvak {
namespace {

using testing::control;

using testing::FakeDevice;
using testing::FakeTimer;

class SoundExportTest : public ::testing::Test {
 protected:
  std::vector<QString> reports;
  ErrorReport report{[this](QMessageBox& b) { reports.push_back(b.text()); }};
  ErrorGate gate{report};
  FakeTimer timer;
  FakeDevice device;
  std::unique_ptr<MainWindow> form;
  std::filesystem::path dir;

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("kelvak_ui_export_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    form = std::make_unique<MainWindow>(device, gate, &timer);
  }
  void TearDown() override {
    form.reset();
    std::filesystem::remove_all(dir);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string read(const std::string& name) const {
    std::stringstream ss;
    ss << std::ifstream(path(name), std::ios::binary).rdbuf();
    return ss.str();
  }
  QAction* saveItem() const {
    for (QAction* a : control<QMenu>(*form, "textMenu")->actions()) {
      if (a->text() == QString::fromUtf8(kSaveSoundCaption)) return a;
    }
    return nullptr;
  }
  // Chooses `name` in the next dialog, with the filter whose text starts with `filter`.
  void save(const std::string& name, const QString& filter = "WAV") {
    form->setFileDialogPresenter([this, name, filter](QFileDialog& d) {
      EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
      for (const QString& f : d.nameFilters()) {
        if (f.startsWith(filter)) d.selectNameFilter(f);
      }
      d.selectFile(QString::fromStdString(path(name)));
      return true;
    });
    ASSERT_NE(saveItem(), nullptr);
    saveItem()->trigger();
  }
  std::string play() {
    control<QPushButton>(*form, "PlayButton")->click();
    while (timer.fireNext([this] { form->tick(); })) {
    }
    return control<QPlainTextEdit>(*form, "textPane")->toPlainText().toStdString();
  }
};

TEST_F(SoundExportTest, TakesTheFileTextAndTheChosenFormatsExtension) {
  std::ofstream(path("lesson.txt"), std::ios::binary) << "кот 12345 мир";
  form->setFileDialogPresenter([this](QFileDialog& d) {
    d.selectFile(QString::fromStdString(path("lesson.txt")));
    return true;
  });
  control<QAction>(*form, "fileTextItem")->trigger();
  save("lesson", "MP3");
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(std::filesystem::exists(path("lesson.mp3")));
  EXPECT_EQ(read("lesson.key.txt"), "кот12 345ми \n");
  EXPECT_EQ(read("lesson.txt"), "кот 12345 мир");  // the source text is left alone
}

TEST_F(SoundExportTest, F10DuringTheExportCancelsItAndEndsTheProgram) {
  form->show();
  control<QLineEdit>(*form, "groupCountEdit")->setText("999");
  control<QSlider>(*form, "speedSlider")
      ->setValue(1);  // hours of sound: minutes of encoding even for MP3
  QTimer start, press, guard;
  start.setSingleShot(true);
  QObject::connect(&start, &QTimer::timeout, [this] { save("long", "MP3"); });
  // F10 once the progress dialog shows, in that dialog: it holds the keyboard.
  bool waiting = false;
  QObject::connect(&press, &QTimer::timeout, [&press, &waiting] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<QProgressDialog*>(w) && w->isVisible() && !waiting) {
        w->activateWindow();
        waiting = true;
        const bool active = QTest::qWaitForWindowActive(w, 500);
        waiting = false;
        if (!active) return;  // again at the next turn
        press.stop();
        QTest::keyClick(w, Qt::Key_F10);
        return;
      }
    }
  });
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  start.start(0);
  press.start(50);
  guard.start(20000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir));  // nothing written, nothing left behind
}

TEST_F(SoundExportTest, TheDialogSuggestsANameAndOpensWhereTheLastExportWent) {
  std::filesystem::create_directories(dir / "lessons");
  control<QLineEdit>(*form, "groupCountEdit")->setText("1");
  control<QSlider>(*form, "speedSlider")->setValue(17);
  QStringList suggested, folders;
  auto chooseIn = [&](const std::string& target) {
    form->setFileDialogPresenter([&, target](QFileDialog& d) {
      suggested << d.selectedFiles().value(0);
      folders << d.directory().absolutePath();
      d.selectFile(QString::fromStdString(target));
      return true;
    });
    saveItem()->trigger();
  };
  chooseIn(path("lessons/one.wav"));
  chooseIn(path("lessons/two.wav"));
  ASSERT_EQ(suggested.size(), 2);
  // The suggestion names the speed and the day, with the chosen format's extension.
  const QString name = QFileInfo(suggested[0]).fileName();
  EXPECT_TRUE(name.contains("17")) << name.toStdString();
  EXPECT_TRUE(name.contains(QDate::currentDate().toString(Qt::ISODate))) << name.toStdString();
  EXPECT_TRUE(name.endsWith(".wav")) << name.toStdString();
  EXPECT_EQ(folders[1], QString::fromStdString((dir / "lessons").string()));
  // The status bar names both files of the last export: their names, which fit the bar, and
  // their whole paths in the tooltip and for a screen reader.
  const QString audio = QString::fromStdString(path("lessons/two.wav")),
                key = QString::fromStdString(path("lessons/two.key.txt"));
  EXPECT_FALSE(form->statusText().contains(QString::fromStdString((dir / "lessons").string())));
  EXPECT_TRUE(form->statusText().contains(QFileInfo(audio).fileName()));
  EXPECT_TRUE(form->statusText().contains(QFileInfo(key).fileName()));
  for (const QString& detail :
       {control<QStatusBar>(*form, "statusLine")->toolTip(),
        control<QStatusBar>(*form, "statusLine")->accessibleDescription()}) {
    EXPECT_TRUE(detail.contains(audio) && detail.contains(key)) << detail.toStdString();
  }
  // The next status text takes the paths away with it.
  form->setStatusText("x");
  EXPECT_TRUE(control<QStatusBar>(*form, "statusLine")->toolTip().isEmpty());
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace kelvak

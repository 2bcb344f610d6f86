// The error report: stop icon, one OK button, the text as given, the application title as caption.
#include "ui/error_report.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "base/error.h"
#include "tests/ui/qt_print.h"

namespace kelvak {
namespace {

struct TitleCase {
  const char* path;
  const char* title;
};

void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.path; }

class ApplicationTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ApplicationTitle, IsTheFileNameUpToItsFirstFullStopCapitalised) {
  EXPECT_EQ(applicationTitleFor(QString::fromUtf8(GetParam().path)).toStdString(),
            GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Paths, ApplicationTitle,
                         ::testing::Values(TitleCase{"/usr/bin/kelvak", "Kelvak"},
                                           TitleCase{"/opt/KELVAK.EXE", "Kelvak"},
                                           TitleCase{"/home/u/build.dir/kelvak", "Kelvak"},
                                           TitleCase{"kelvak.ui_tests", "Kelvak"},
                                           TitleCase{"/x/mORSE.trainer.bin", "Morse"},
                                           TitleCase{"/x/ключ.exe", "Ключ"},
                                           TitleCase{"/x/.hidden", ""}));

TEST(ErrorReport, ShowsTheTextUnderTheApplicationTitleWithAStopIconAndOneOkButton) {
  struct Seen {
    QString text, title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int buttonCount;
  };
  std::vector<Seen> seen;
  ErrorReport report([&](QMessageBox& box) {
    seen.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(),
                    static_cast<int>(box.buttons().size())});
  });
  ErrorGate gate(report);
  gate.run([] { throw KelvakError("Cannot open file Справка.rtf"); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, QString::fromUtf8("Cannot open file Справка.rtf."));
  // This test binary is named kelvak.ui_tests, so its title is the program's.
  EXPECT_EQ(seen[0].title, "Kelvak");
  EXPECT_EQ(seen[0].title, applicationTitle());
  EXPECT_EQ(seen[0].icon, QMessageBox::Critical);
  EXPECT_EQ(seen[0].buttons, QMessageBox::Ok);
  EXPECT_EQ(seen[0].buttonCount, 1);
}

}  // namespace
}  // namespace kelvak

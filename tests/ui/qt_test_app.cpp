// The shared QApplication of the widget tests.
#include "tests/ui/qt_test_app.h"

#include <QApplication>
#include <QtGlobal>

namespace kelvak {

QApplication& testApplication() {
  static int argc = 1;
  static char name[] = "kelvak_ui_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

}  // namespace kelvak

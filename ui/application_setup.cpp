// Application-wide set-up: Qt's Russian translation and the access-key guard.
#include "ui/application_setup.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

namespace kelvak {

namespace {

// Swallows a key press with Alt (Shift allowed) that would type into a text field. Access keys
// and menu shortcuts are matched before the key press is delivered, so only keys that no access
// key took get here.
class AccessKeyGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers held = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (held != Qt::AltModifier || key->text().isEmpty() || !key->text().front().isPrint()) {
      return false;
    }
    // Widgets that take typed text (editable fields, spin boxes, editors) ask for input methods.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->testAttribute(Qt::WA_InputMethodEnabled);
  }
};

}  // namespace

bool loadQtTranslation(QApplication& app) {
  auto* translator = new QTranslator(&app);
  // The program speaks Russian whatever the desktop's language, so Qt's texts do too.
  if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

void guardAccessKeys(QApplication& app) { app.installEventFilter(new AccessKeyGuard(&app)); }

void setUpApplication(QApplication& app) {
  loadQtTranslation(app);
  guardAccessKeys(app);
}

}  // namespace kelvak

// Application-wide set-up: Qt's Russian translation and the access-key guard.
#include "ui/application_setup.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTranslator>
#include <QWidget>

namespace kelvak {

namespace {

// The two layouts key by key: the Latin letters and signs and the Russian letters on the same keys.
constexpr char16_t kLatinKeys[] = u"qwertyuiop[]asdfghjkl;'zxcvbnm,.`";
constexpr char16_t kRussianKeys[] = u"йцукенгшщзхъфывапролджэячсмитьбюё";
static_assert(sizeof kLatinKeys == sizeof kRussianKeys);

// The letter an Alt key press stands for, in lower case, or a null QChar.
QChar pressedLetter(const QKeyEvent& key) {
  const int code = key.key();
  if ((code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= 0x401 && code <= 0x42F)) {
    return QChar(code).toLower();
  }
  return key.text().size() == 1 ? key.text().front().toLower() : QChar();
}

bool hasAccessKey(const QString& text, QChar letter) {
  return QKeySequence::mnemonic(text) ==
         QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter.toUpper().unicode())));
}

// Does in `window` what the access key Alt+`letter` does there: opens a menu of the menu bar or
// triggers its command, presses a button, moves to a label's field or opens a tab. False when
// nothing usable has that key.
bool useAccessKey(QWidget& window, QChar letter) {
  for (QMenuBar* bar : window.findChildren<QMenuBar*>()) {
    if (!bar->isVisible()) continue;
    for (QAction* a : bar->actions()) {
      if (!a->isVisible() || !a->isEnabled() || !hasAccessKey(a->text(), letter)) continue;
      if (a->menu()) {
        bar->setActiveAction(a);
      } else {
        a->trigger();
      }
      return true;
    }
  }
  for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
    if (!b->isVisible() || !b->isEnabled() || b->window() != &window ||
        !hasAccessKey(b->text(), letter)) {
      continue;
    }
    b->setFocus(Qt::ShortcutFocusReason);
    b->animateClick();
    return true;
  }
  for (QLabel* l : window.findChildren<QLabel*>()) {
    QWidget* buddy = l->buddy();
    if (!buddy || !l->isVisible() || !buddy->isEnabled() || l->window() != &window ||
        !hasAccessKey(l->text(), letter)) {
      continue;
    }
    buddy->setFocus(Qt::ShortcutFocusReason);
    return true;
  }
  for (QTabBar* tabs : window.findChildren<QTabBar*>()) {
    if (!tabs->isVisible() || tabs->window() != &window) continue;
    for (int i = 0; i < tabs->count(); ++i) {
      if (tabs->isTabEnabled(i) && hasAccessKey(tabs->tabText(i), letter)) {
        tabs->setCurrentIndex(i);
        return true;
      }
    }
  }
  return false;
}

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
    if (held != Qt::AltModifier) return false;
    // No access key took the key: the one at the same place of the other layout may.
    const auto* target = qobject_cast<QWidget*>(watched);
    const QChar twin = letterAtTheSamePlace(pressedLetter(*key));
    if (target && !twin.isNull() && !qobject_cast<QMenu*>(target->window()) &&
        useAccessKey(*target->window(), twin)) {
      return true;
    }
    if (key->text().isEmpty() || !key->text().front().isPrint()) return false;
    // Widgets that take typed text (editable fields, spin boxes, editors) ask for input methods.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->testAttribute(Qt::WA_InputMethodEnabled);
  }
};

}  // namespace

QChar letterAtTheSamePlace(QChar letter) {
  const QChar lower = letter.toLower();
  for (std::size_t k = 0; k + 1 < std::size(kLatinKeys); ++k) {
    if (lower == QChar(kLatinKeys[k])) return QChar(kRussianKeys[k]);
    if (lower == QChar(kRussianKeys[k])) return QChar(kLatinKeys[k]);
  }
  return QChar();
}

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

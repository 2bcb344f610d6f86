// Registration of the kelvak_ui resource file, and the set-up the secondary windows share.
#include "ui/window_resources.h"

#include <QAction>
#include <QPointer>
#include <QWidget>
#include <QtGlobal>

#include "ui/fonts.h"

// Q_INIT_RESOURCE declares the registration function, which must sit in the global namespace.
static void registerKelvakUiResources() { Q_INIT_RESOURCE(kelvak_ui); }

namespace kelvak {

void initUiResources() {
  static const bool registered = [] {
    registerKelvakUiResources();
    return true;
  }();
  (void)registered;
}

namespace {
QPointer<QAction> programExit;
}  // namespace

void setProgramExit(QAction* exit) { programExit = exit; }

void quitWithF10(QWidget& window) {
  auto* quit = new QAction(&window);
  quit->setObjectName("QuitWithF10");
  quit->setShortcut(QKeySequence(Qt::Key_F10));
  quit->setShortcutContext(Qt::WindowShortcut);
  window.addAction(quit);
  QObject::connect(quit, &QAction::triggered, &window, [] {
    if (programExit) programExit->trigger();
  });
}

void setUpSecondaryWindow(QWidget& window) {
  quitWithF10(window);
  window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  window.setFont(sansFont());
  window.setAttribute(Qt::WA_QuitOnClose, false);
}

void showSecondaryInFront(QWidget& window) {
  if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  if (!window.isVisible()) window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace kelvak

// Registration of the kelvak_ui resource file, and the set-up the secondary windows share.
#include "ui/window_resources.h"

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

void setUpSecondaryWindow(QWidget& window) {
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

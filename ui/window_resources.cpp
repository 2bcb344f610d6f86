// Registration of the kelvak_ui resource file.
#include "window_resources.h"

#include <QtGlobal>

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

}  // namespace kelvak

// Registration of the windows' pictures, which live in the kelvak_ui static library, and what
// the two secondary windows (help and About) share.
#pragma once

class QAction;
class QWidget;

namespace kelvak {

// Makes the pictures of kelvak_ui.qrc available under ":/kelvak/". A resource compiled into a
// static library registers itself only when something refers to it, so every window that shows
// one calls this first; repeated calls do nothing.
void initUiResources();

// Sets up a secondary window: pictures registered, dialog frame with only a close box, the
// dialog font, and closing it only hides it (it never ends the program).
void setUpSecondaryWindow(QWidget& window);

// The program's exit command, which F10 triggers in every window; null until the main window
// names it (and again once it is gone).
void setProgramExit(QAction* exit);
// F10 in `window` ends the program, as it does in the main window.
void quitWithF10(QWidget& window);

// Shows a secondary window without blocking, or brings it to the front when it is open already.
void showSecondaryInFront(QWidget& window);

}  // namespace kelvak

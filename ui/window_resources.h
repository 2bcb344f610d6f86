// Registration of the windows' pictures, which live in the kelvak_ui static library.
#pragma once

namespace kelvak {

// Makes the pictures of kelvak_ui.qrc available under ":/kelvak/". A resource compiled into a
// static library registers itself only when something refers to it, so every window that shows
// one calls this first; repeated calls do nothing.
void initUiResources();

}  // namespace kelvak

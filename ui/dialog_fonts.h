// Fonts of the help window and the About box, with the Debian fonts that stand in for the
// Windows ones the windows were designed with.
#pragma once

#include <QFont>

namespace kelvak {

// The windows' default font, designed as "MS Sans Serif" 11 px: Liberation Sans (Arial's
// metrics), else DejaVu Sans, else any sans-serif font.
QFont dialogSansFont();

// "Times New Roman" where it is installed, else Liberation Serif (its metrics), else DejaVu Serif.
QFont dialogSerifFont(int pixelSize);

}  // namespace kelvak

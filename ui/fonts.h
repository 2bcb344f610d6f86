// The fonts of the windows, with the Debian fonts that stand in for the ones they were designed
// with.
#pragma once

#include <QFont>

namespace kelvak {

// The windows' text, designed as "MS Sans Serif" 11 px: Liberation Sans (Arial's metrics), else
// Arimo, else DejaVu Sans, else any sans-serif font.
QFont sansFont(int pixelSize = 11);

// "Times New Roman" at the given size, else Liberation Serif, else DejaVu Serif.
QFont serifFont(int pixelSize);

// "Courier New" at the given size, else Liberation Mono, Cousine, DejaVu Sans Mono.
QFont monoFont(int pixelSize);

}  // namespace kelvak

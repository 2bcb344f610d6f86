// What a screen reader announces for the main window's controls.
#pragma once

namespace kelvak {

class MainWindow;

// Gives every control of the window an accessible name taken from its label (and from the
// labels' wording where a control has two), so a screen reader announces "Скорость (gr/min)"
// rather than "slider". The level sliders report the percentage their label shows as their
// value, not the slider position, which runs the other way.
void nameControlsForScreenReaders(MainWindow& form);

}  // namespace kelvak

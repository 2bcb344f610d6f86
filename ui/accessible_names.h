// What a screen reader announces for the main window's controls.
#pragma once

namespace Ui {
class MainWindow;
}

namespace kelvak {

// Gives every control of the window an accessible name taken from its label (and from the
// labels' wording where a control has two), so a screen reader announces "Скорость (gr/min)"
// rather than "slider". The level sliders report the percentage their label shows as their
// value, not the slider position, which runs the other way.
void nameControlsForScreenReaders(const Ui::MainWindow& form);

}  // namespace kelvak

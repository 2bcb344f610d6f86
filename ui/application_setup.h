// What the whole application needs before its first window: Qt's own texts in Russian and access
// keys that never type into a field.
#pragma once

#include <QChar>

class QApplication;

namespace kelvak {

// Loads Qt's Russian translation, so the file dialog, the text fields' context menu and the
// standard buttons speak Russian like the rest of the program. True when it was found.
bool loadQtTranslation(QApplication& app);

// An Alt+letter that no access key takes (its button disabled, or no such key) does nothing,
// instead of typing the letter into the field that has the focus.
void guardAccessKeys(QApplication& app);

// The letter on the same key of the other layout, Russian ЙЦУКЕН against Latin QWERTY, in lower
// case ("y" for "н" and "н" for "Y"); a null QChar for a character on no such key. The guard
// above uses it: an Alt+letter that no access key took presses the access key of the letter at
// the same place, so access keys work whichever layout is active.
QChar letterAtTheSamePlace(QChar letter);

// Both of the above, as the program starts.
void setUpApplication(QApplication& app);

}  // namespace kelvak

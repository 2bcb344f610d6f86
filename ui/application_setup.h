// What the whole application needs before its first window: Qt's own texts in Russian and access
// keys that never type into a field.
#pragma once

class QApplication;

namespace kelvak {

// Loads Qt's Russian translation, so the file dialog, the text fields' context menu and the
// standard buttons speak Russian like the rest of the program. True when it was found.
bool loadQtTranslation(QApplication& app);

// An Alt+letter that no access key takes (its button disabled, or no such key) does nothing,
// instead of typing the letter into the field that has the focus.
void guardAccessKeys(QApplication& app);

// Both of the above, as the program starts.
void setUpApplication(QApplication& app);

}  // namespace kelvak

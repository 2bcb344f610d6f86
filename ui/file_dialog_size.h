// Sizing of the file-open dialog, so that its columns are not cut off.
#pragma once

class QFileDialog;

namespace kelvak {

// Makes the dialog wide enough for its columns and lets every column but the name take the width
// its contents need; the name column takes the rest. The places list shows its names in full.
// The list's sizes, kinds and dates read in Russian, as the rest of the dialog.
void fitFileDialog(QFileDialog& dialog);

}  // namespace kelvak

// The one QApplication of a widget test program, made on first use.
#pragma once

class QApplication;

namespace kelvak {

// Created when a test first needs widgets (not while the test list is being gathered), on the
// offscreen platform unless QT_QPA_PLATFORM names another.
QApplication& testApplication();

}  // namespace kelvak

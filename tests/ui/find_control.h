// A window's controls found as a user or a screen reader finds them, by the name each control
// has, not through the window's generated form.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTextEdit>
#include <stdexcept>
#include <string>

#include "ui/up_down.h"

namespace kelvak::testing {

// The one control of type T named `name` in `window`. Throws, failing the test, when there is
// none or more than one.
template <class T>
T* control(const QObject& window, const char* name) {
  const QList<T*> found = window.findChildren<T*>(QString::fromLatin1(name));
  if (found.size() != 1) {
    throw std::logic_error(std::to_string(found.size()) + " controls named " + name);
  }
  return found.front();
}

}  // namespace kelvak::testing

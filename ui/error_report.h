// The program's error report: a message box with a stop icon, captioned with the application title.
#pragma once

#include <QString>
#include <functional>

#include "presenter/error_gate.h"

class QMessageBox;

namespace kelvak {

// Shows a prepared message box and returns when it is closed. Production code runs the box's
// modal loop; tests look at the box instead.
using BoxPresenter = std::function<void(QMessageBox&)>;
void execBox(QMessageBox& box);

// The application's title: the program file's name up to its first full stop, first letter in
// upper case and every letter after it in lower case ("/usr/bin/kelvak" gives "Kelvak").
QString applicationTitleFor(const QString& programPath);
// The title of the running program, from its own file path.
QString applicationTitle();

class ErrorReport : public ErrorReporter {
 public:
  explicit ErrorReport(BoxPresenter present = execBox);

  // The text arrives with its full stop already appended.
  void showErrorReport(const std::string& text) override;

 private:
  BoxPresenter present_;
};

}  // namespace kelvak

// Error report and application title.
#include "ui/error_report.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace kelvak {

void execBox(QMessageBox& box) { box.exec(); }

QString applicationTitleFor(const QString& programPath) {
  QString name = QFileInfo(programPath).fileName();
  const qsizetype dot = name.indexOf(u'.');
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  return name.left(1).toUpper() + name.mid(1).toLower();
}

QString applicationTitle() { return applicationTitleFor(QCoreApplication::applicationFilePath()); }

ErrorReport::ErrorReport(BoxPresenter present) : present_(std::move(present)) {}

void ErrorReport::showErrorReport(const std::string& text) {
  // No owner window: the box is modal for the whole application, and it must still show when the
  // error comes before the main window (a missing help document at start-up).
  QMessageBox box(QMessageBox::Critical, applicationTitle(), QString::fromStdString(text),
                  QMessageBox::Ok);
  present_(box);
}

}  // namespace kelvak

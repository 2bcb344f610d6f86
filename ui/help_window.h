// The help window: shows the user's guide "Справка.rtf" without blocking the main window.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class HelpWindow;
}

namespace kelvak {

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  // Builds the window hidden, at its designed place; the document is loaded by loadDocument().
  explicit HelpWindow(QWidget* parent = nullptr);
  ~HelpWindow() override;

  // Loads "Справка.rtf" into documentView, as rich text or else as plain text. The document is
  // looked for in the current directory, then in the installed data folder found from the
  // program's folder, then beside the program (the build tree). A place whose file breaks the
  // rule of every file read (no regular file, such as a folder, a FIFO or a device, or larger
  // than kMaxHelpDocumentBytes) is passed over like one that cannot be opened. Throws
  // kelvak::KelvakError "Cannot open file Справка.rtf" when it can be opened in none of these
  // and "Failed to Load Stream" when it can be read neither way; the window stays usable.
  void loadDocument();

  // The folder the program runs from; the application's own unless a test sets another.
  void setProgramFolder(const QString& folder) { programFolder_ = folder; }

  // The OK button: hides the window, keeping its place and the document's scroll position.
  void okClicked();

  // Shows the window without blocking, or only brings it to the front when it is open already.
  void showInFront();

 protected:
  // The viewer grows with the window; OK stays centred below it.
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString programFolder_;
  std::unique_ptr<Ui::HelpWindow> ui_;
};

}  // namespace kelvak

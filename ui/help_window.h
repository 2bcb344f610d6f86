// The help window Form2: shows the user's guide "Справка.rtf" without blocking the main window.
#pragma once

#include <QDialog>

#include "ui_help_window.h"

class QObject;

class TForm2 : public QDialog, public Ui_TForm2 {
  Q_OBJECT

 public:
  // Builds the window hidden, at its designed place; the document is loaded by FormCreate.
  explicit TForm2(QWidget* parent = nullptr);

  // Loads "Справка.rtf" from the current directory into RichEdit1, as rich text or else as plain
  // text. Throws kelvak::KelvakError "Cannot open file Справка.rtf" when the file cannot be
  // opened and "Failed to Load Stream" when it can be read neither way; the window stays usable.
  void FormCreate(QObject* Sender);

  // The OK button: hides the window, keeping its place and the document's scroll position.
  void BitBtn1Click(QObject* Sender);

  // Shows the window without blocking, or only brings it to the front when it is open already.
  void showInFront();
};

// The About box: the program's name, what it is and its version beside a picture.
#pragma once

#include <QDialog>

#include "ui_about_box.h"

class QObject;
class QShowEvent;

class TAboutBox : public QDialog, public Ui_TAboutBox {
  Q_OBJECT

 public:
  // Builds the box hidden. The program keeps this one instance and only shows and hides it.
  explicit TAboutBox(QWidget* parent = nullptr);

  // The OK button (BitBtn1): hides the box.
  void OKButtonClick(QObject* Sender);

  // Shows the box without blocking, or only brings it to the front when it is open already.
  void showInFront();

 protected:
  // Every showing puts the box in the middle of the screen.
  void showEvent(QShowEvent* event) override;
};

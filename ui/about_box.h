// The About box: the program's name, what it is and its version beside a picture.
#pragma once

#include <QDialog>
#include <memory>

class QObject;
class QShowEvent;

namespace Ui {
class TAboutBox;
}

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Builds the box hidden. The program keeps this one instance and only shows and hides it.
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;

  // The window's controls, as the window description names them: for the window's companions
  // (its menus and screen-reader names) and its tests.
  Ui::TAboutBox& ui() const { return *ui_; }

  // The OK button (BitBtn1): hides the box.
  void OKButtonClick(QObject* Sender);

  // Shows the box without blocking, or only brings it to the front when it is open already.
  void showInFront();

 protected:
  // Every showing puts the box in the middle of the screen.
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

// The About box: the program's name, what it is and its version beside a picture.
#pragma once

#include <QDialog>
#include <memory>

class QShowEvent;

namespace Ui {
class AboutBox;
}

namespace kelvak {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  // Builds the box hidden. The program keeps this one instance and only shows and hides it.
  explicit AboutBox(QWidget* parent = nullptr);
  ~AboutBox() override;

  // The OK button: hides the box.
  void okClicked();

  // Shows the box without blocking, or only brings it to the front when it is open already.
  void showInFront();

 protected:
  // Every showing puts the box in the middle of the screen.
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::AboutBox> ui_;
};

}  // namespace kelvak

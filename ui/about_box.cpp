// The About box: its fonts and colours, centring and showing.
#include "ui/about_box.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "ui/fonts.h"
#include "ui/window_resources.h"
#include "ui_about_box.h"

namespace kelvak {

namespace {

constexpr int kProductNamePixels = 27;
constexpr int kCommentsPixels = 13;

void setTextColour(QWidget* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  kelvak::initUiResources();
  ui_ = std::make_unique<Ui::AboutBox>();
  ui_->setupUi(this);
  kelvak::setUpSecondaryWindow(*this);

  QFont productFont = kelvak::serifFont(kProductNamePixels);
  productFont.setItalic(true);
  productFont.setUnderline(true);
  ui_->ProductName->setFont(productFont);
  setTextColour(ui_->ProductName, Qt::red);

  QFont commentsFont = kelvak::serifFont(kCommentsPixels);
  commentsFont.setItalic(true);
  ui_->Comments->setFont(commentsFont);
  setTextColour(ui_->Comments, Qt::black);

  // The version label sizes itself to its text.
  ui_->Version->adjustSize();

  ui_->okButton->setFocus();
  connect(ui_->okButton, &QPushButton::clicked, this, [this] { okClicked(); });
}

void AboutBox::okClicked() { hide(); }

void AboutBox::showInFront() { kelvak::showSecondaryInFront(*this); }

void AboutBox::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    // Runs before the window is mapped, so the box appears in its place at once.
    const QWidget* anchor = parentWidget() != nullptr ? parentWidget() : this;
    QScreen* screen = anchor->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  QDialog::showEvent(event);
}

AboutBox::~AboutBox() = default;

}  // namespace kelvak

// The About box: its fonts and colours, centring and showing.
#include "ui/about_box.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "ui/fonts.h"
#include "ui/window_resources.h"

namespace {

constexpr int kProductNamePixels = 27;
constexpr int kCommentsPixels = 13;

void setTextColour(QWidget* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  kelvak::initUiResources();
  setupUi(this);
  kelvak::setUpSecondaryWindow(*this);

  QFont productFont = kelvak::serifFont(kProductNamePixels);
  productFont.setItalic(true);
  productFont.setUnderline(true);
  ProductName->setFont(productFont);
  setTextColour(ProductName, Qt::red);

  QFont commentsFont = kelvak::serifFont(kCommentsPixels);
  commentsFont.setItalic(true);
  Comments->setFont(commentsFont);
  setTextColour(Comments, Qt::black);

  // The version label sizes itself to its text.
  Version->adjustSize();

  BitBtn1->setFocus();
  connect(BitBtn1, &QPushButton::clicked, this, [this] { OKButtonClick(BitBtn1); });
}

void TAboutBox::OKButtonClick(QObject* /*Sender*/) { hide(); }

void TAboutBox::showInFront() { kelvak::showSecondaryInFront(*this); }

void TAboutBox::showEvent(QShowEvent* event) {
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

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
  ui_ = std::make_unique<Ui::TAboutBox>();
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

  ui_->BitBtn1->setFocus();
  connect(ui_->BitBtn1, &QPushButton::clicked, this, [this] { OKButtonClick(ui_->BitBtn1); });
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

TAboutBox::~TAboutBox() = default;

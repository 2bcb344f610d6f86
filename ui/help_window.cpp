// The help window: loading the help document and showing and hiding the window.
#include "ui/help_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>

#include "base/error.h"
#include "presenter/help_document.h"
#include "ui/rich_text_view.h"
#include "ui/window_resources.h"
#include "ui_help_window.h"

namespace kelvak {

namespace {

constexpr QPoint kDesignedPosition{201, 171};

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  kelvak::initUiResources();
  ui_ = std::make_unique<Ui::HelpWindow>();
  ui_->setupUi(this);
  kelvak::setUpSecondaryWindow(*this);
  // The help window opens at its designed size, but a document of many pages needs more: it can
  // be enlarged and maximised, never made smaller than designed.
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // An explicit place also keeps QDialog from centring the window over its parent.
  move(kDesignedPosition);

  QPalette palette = ui_->documentView->palette();
  palette.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
  ui_->documentView->setPalette(palette);

  // First in the tab order: OK has the focus when the window opens.
  ui_->okButton->setFocus();
  connect(ui_->okButton, &QPushButton::clicked, this, [this] { okClicked(); });
}

void HelpWindow::loadDocument() {
  const QString program =
      programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
  const std::string bytes = kelvak::readHelpDocument(QFile::encodeName(program).toStdString());
  ui_->documentView->clear();
  const kelvak::LoadedDocument loaded = kelvak::parseHelpDocument(bytes);
  kelvak::fillTextDocument(*ui_->documentView->document(), loaded.document);
  ui_->documentView->moveCursor(QTextCursor::Start);
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // The designed margins around the viewer and below it, kept at every size.
  constexpr QSize kDesigned{420, 273};
  constexpr QRect kView{8, 8, 401, 225};
  constexpr QRect kOk{176, 240, 75, 25};
  const int wider = width() - kDesigned.width(), taller = height() - kDesigned.height();
  ui_->documentView->setGeometry(kView.adjusted(0, 0, wider, taller));
  ui_->okButton->setGeometry(kOk.translated(wider / 2, taller));
}

void HelpWindow::okClicked() { hide(); }

void HelpWindow::showInFront() { kelvak::showSecondaryInFront(*this); }

HelpWindow::~HelpWindow() = default;

}  // namespace kelvak

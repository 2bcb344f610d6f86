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
#include "document/document_reader.h"
#include "text/regular_file.h"
#include "ui/rich_text_view.h"
#include "ui/window_resources.h"
#include "ui_help_window.h"

namespace kelvak {

namespace {

constexpr char kHelpFileName[] = "Справка.rtf";
// The installed data folder as seen from the installed program's folder ("../share/kelvak").
constexpr char kDataFromProgram[] = KELVAK_DATA_FROM_PROGRAM;
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
  const QString name = QString::fromUtf8(kHelpFileName);
  const QString program =
      programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
  // The current directory first, as always; then where an installed program keeps its data, so
  // it finds its guide wherever it is started; then beside a program run from its build tree.
  const QStringList places = {name, QDir(program).filePath(kDataFromProgram + ("/" + name)),
                              QDir(program).filePath(name)};
  // Each place is read under the rule every file is: a FIFO, a device or a document beyond the
  // bound is passed over like a file that cannot be opened.
  std::optional<std::string> bytes;
  std::string tooLarge;  // the first place that held a document beyond the bound
  for (const QString& place : places) {
    const std::string path = QFile::encodeName(place).toStdString();
    try {
      bytes = kelvak::readWholeFile(path, kelvak::kMaxHelpDocumentBytes);
      break;
    } catch (const kelvak::FileReadError& e) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(path, ec);
      if (e.error() == EFBIG && tooLarge.empty() && !ec) {
        tooLarge = "Файл справки " + place.toStdString() +
                   " слишком велик: " + std::to_string(size) +
                   " байт, а справка читается не больше " +
                   std::to_string(kelvak::kMaxHelpDocumentBytes) + " байт";
      }
    }
  }
  // A document too large is no missing one: the learner is told which it is.
  if (!bytes && !tooLarge.empty()) throw kelvak::KelvakError(tooLarge);
  if (!bytes) throw kelvak::KelvakError(std::string("Cannot open file ") + kHelpFileName);

  ui_->documentView->clear();
  const std::optional<kelvak::LoadedDocument> loaded = kelvak::readDocument(*bytes);
  if (!loaded) throw kelvak::KelvakError("Failed to Load Stream");
  kelvak::fillTextDocument(*ui_->documentView->document(), loaded->document);
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

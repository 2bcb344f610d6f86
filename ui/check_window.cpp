// The check window: its controls bound to the check's presenter.
#include "ui/check_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/check_result_view.h"
#include "ui/file_dialog_size.h"
#include "ui/focus_frame.h"
#include "ui/window_resources.h"

namespace kelvak {

CheckWindow::CheckWindow(const History& history, std::function<CheckSource()> source,
                         Dispatch dispatch, QWidget* parent)
    : QDialog(parent),
      presenter_(
          *this, history, std::move(source),
          dispatch ? std::move(dispatch) : [](const std::function<void()>& h) { h(); }),
      presentDialog_([](QFileDialog& d) { return d.exec() == QDialog::Accepted; }) {
  setObjectName("CheckWindow");
  setUpSecondaryWindow(*this);
  setWindowTitle(QString::fromUtf8("Проверка приёма"));

  auto* againstTitle = new QLabel(QString::fromUtf8("&Сверять с:"));
  againstBox = new QComboBox;
  againstBox->setObjectName("AgainstBox");
  againstBox->addItem(QString::fromUtf8("последней передачей"));
  againstTitle->setBuddy(againstBox);
  openKeyButton = new QPushButton(QString::fromUtf8("Открыть &ключ..."));
  openKeyButton->setObjectName("OpenKeyButton");
  openKeyButton->setAutoDefault(false);

  auto* prompt = new QLabel(QString::fromUtf8("&Принятый текст (пробелы и регистр не важны):"));
  copyEdit = new QLineEdit;
  copyEdit->setObjectName("CopyEdit");
  copyEdit->setMaxLength(20000);
  prompt->setBuddy(copyEdit);
  checkButton = new QPushButton(QString::fromUtf8("Про&верить"));
  checkButton->setObjectName("CheckButton");
  checkButton->setDefault(true);

  resultView = new CheckResultView;
  resultView->setObjectName("ResultView");
  resultView->setMinimumHeight(160);
  summaryLabel = new QLabel;
  summaryLabel->setObjectName("SummaryLabel");
  notesLabel = new QLabel;
  notesLabel->setObjectName("NotesLabel");
  historyLabel = new QLabel;
  historyLabel->setObjectName("HistoryLabel");
  for (QLabel* l : {summaryLabel, notesLabel, historyLabel}) {
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }
  auto* legend = new QLabel(
      QString::fromUtf8("Ошибка выделена и подчёркнута, под ней — что записано («–» — ничего); "
                        "«+» — лишний знак, под ним — он сам."));
  legend->setWordWrap(true);
  showFocusClearly(*checkButton);
  showFocusClearly(*openKeyButton);

  auto* top = new QHBoxLayout;
  top->addWidget(againstTitle);
  top->addWidget(againstBox, 1);
  top->addWidget(openKeyButton);
  auto* row = new QHBoxLayout;
  row->addWidget(copyEdit, 1);
  row->addWidget(checkButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(prompt);
  layout->addLayout(row);
  layout->addWidget(resultView, 1);
  layout->addWidget(legend);
  layout->addWidget(summaryLabel);
  layout->addWidget(notesLabel);
  layout->addWidget(historyLabel);
  resize(620, 440);

  // Enter in the text field presses the default button: the check runs once.
  connect(checkButton, &QPushButton::clicked, this, [this] { presenter_.checkClicked(); });
  connect(openKeyButton, &QPushButton::clicked, this, [this] { presenter_.openKeyClicked(); });
  connect(againstBox, &QComboBox::currentIndexChanged, this,
          [this](int index) { presenter_.againstChanged(index); });
}

void CheckWindow::showInFront() {
  showSecondaryInFront(*this);
  copyEdit->setFocus();
}

void CheckWindow::addAgainstItem(const std::string& text, const std::string& detail) {
  againstBox->addItem(QString::fromStdString(text));
  againstBox->setItemData(againstBox->count() - 1, QString::fromStdString(detail), Qt::ToolTipRole);
}

void CheckWindow::selectAgainst(int index) { againstBox->setCurrentIndex(index); }

std::string CheckWindow::copyText() const { return copyEdit->text().toStdString(); }

void CheckWindow::showCheck(const CheckShown& shown) {
  resultView->showResult(shown.result);
  summaryLabel->setText(QString::fromStdString(shown.summary));
  notesLabel->setText(QString::fromStdString(shown.notes));
  historyLabel->setText(QString::fromStdString(shown.historyNote));
}

std::optional<std::string> CheckWindow::chooseKeyFile(const std::string& folder) {
  QFileDialog dialog(this, QString::fromUtf8("Открыть ключ"), QString(),
                     QString::fromUtf8("Ключи (*.key.txt);;Все файлы (*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!folder.empty()) dialog.setDirectory(QString::fromStdString(folder));
  fitFileDialog(dialog);
  if (!presentDialog_(dialog)) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front().toStdString();
}

}  // namespace kelvak

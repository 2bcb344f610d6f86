// The check window: aligning the copy, showing each character's fate and recording the check.
#include "ui/check_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/error.h"
#include "ui/check_result_view.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

QString percent(double v) { return QLocale(QLocale::Russian).toString(v, 'f', 1); }

}  // namespace

CheckWindow::CheckWindow(const History& history, std::function<CheckSource()> source,
                         Dispatch dispatch, QWidget* parent)
    : QDialog(parent),
      history_(history),
      recorder_(history),
      source_(std::move(source)),
      dispatch_(std::move(dispatch)) {
  setObjectName("CheckWindow");
  setUpSecondaryWindow(*this);
  setWindowTitle(QString::fromUtf8("Проверка приёма"));

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
  summaryLabel->setWordWrap(true);
  missedLabel = new QLabel;
  missedLabel->setObjectName("MissedLabel");
  missedLabel->setWordWrap(true);
  historyLabel = new QLabel;
  historyLabel->setObjectName("HistoryLabel");
  historyLabel->setWordWrap(true);
  auto* legend = new QLabel(
      QString::fromUtf8("Ошибка выделена и подчёркнута, под ней — что записано («–» — ничего); "
                        "«+» — лишний знак, под ним — он сам."));
  legend->setWordWrap(true);

  auto* row = new QHBoxLayout;
  row->addWidget(copyEdit, 1);
  row->addWidget(checkButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addLayout(row);
  layout->addWidget(resultView, 1);
  layout->addWidget(legend);
  layout->addWidget(summaryLabel);
  layout->addWidget(missedLabel);
  layout->addWidget(historyLabel);
  resize(620, 400);

  // Enter in the text field presses the default button: the check runs once.
  connect(checkButton, &QPushButton::clicked, this, [this] {
    if (dispatch_) {
      dispatch_([this] { check(); });
    } else {
      check();
    }
  });
}

void CheckWindow::showInFront() {
  showSecondaryInFront(*this);
  copyEdit->setFocus();
}

void CheckWindow::check() {
  const CheckSource source = source_();
  if (source.running) {
    summaryLabel->setText(QString::fromUtf8("Передача ещё идёт: проверьте после её конца."));
    return;
  }
  if (source.number == 0 || source.sent.empty()) {
    summaryLabel->setText(QString::fromUtf8("Проверять нечего: ни одного знака ещё не передано."));
    return;
  }
  result_ = checkCopy(source.sent, copyEdit->text().toStdU32String());
  resultView->setResult(result_);

  summaryLabel->setText(
      QString::fromUtf8("Точность: %1 %. Передано знаков: %2, верно: %3, неверно: %4, "
                        "пропущено: %5, лишних: %6.")
          .arg(percent(result_.accuracyPercent()))
          .arg(result_.sent)
          .arg(result_.correct)
          .arg(result_.wrong)
          .arg(result_.missed)
          .arg(result_.extra));
  const auto missed = result_.missedCharacters();
  if (missed.empty()) {
    missedLabel->setText(QString::fromUtf8("Все знаки приняты."));
  } else {
    QStringList parts;
    for (const auto& [c, n] : missed) {
      parts << QString::fromUcs4(&c, 1) + QString::fromUtf8(" ×") + QString::number(n);
    }
    missedLabel->setText(QString::fromUtf8("Не приняты: ") + parts.join(", "));
  }
  record(source);
}

void CheckWindow::record(const CheckSource& source) {
  try {
    if (!recorder_.record(result_, source, QDateTime::currentSecsSinceEpoch())) {
      historyLabel->setText(QString::fromUtf8("Эта передача уже записана в историю."));
      return;
    }
    historyLabel->setText(QString::fromUtf8("Записано в историю."));
    if (afterRecord) {
      const std::string more = afterRecord(result_, source);
      if (!more.empty())
        historyLabel->setText(historyLabel->text() + " " + QString::fromStdString(more));
    }
  } catch (const KelvakError& e) {
    // The result stays on screen; the next check of this transmission tries again.
    historyLabel->setText(
        QString::fromStdString(std::string(e.what()) + " (" + history_.path() + ")."));
  }
}

}  // namespace kelvak

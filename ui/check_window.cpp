// The check window: aligning the copy, showing each character's fate and recording the check.
#include "ui/check_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <memory>

#include "base/error.h"
#include "base/system_reason.h"
#include "ui/check_result_view.h"
#include "ui/file_dialog_size.h"
#include "ui/focus_frame.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

// Keys are told from transmissions, whose numbers count up from 1, by the top bit.
constexpr std::uint32_t kKeyNumbers = 0x80000000u;

QString percent(double v) { return QLocale(QLocale::Russian).toString(v, 'f', 1); }
QString ch(char32_t c) { return QString::fromUcs4(&c, 1); }

// "a ×2, b ×1" for characters with their counts.
QString counted(const CharCounts& list) {
  QStringList parts;
  for (const auto& [c, n] : list) parts << ch(c) + QString::fromUtf8(" ×") + QString::number(n);
  return parts.join(", ");
}

}  // namespace

CheckWindow::CheckWindow(const History& history, std::function<CheckSource()> source,
                         Dispatch dispatch, QWidget* parent)
    : QDialog(parent),
      history_(history),
      recorder_(history),
      source_(std::move(source)),
      dispatch_(std::move(dispatch)),
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
  summaryLabel->setWordWrap(true);
  missedLabel = new QLabel;
  missedLabel->setObjectName("MissedLabel");
  missedLabel->setWordWrap(true);
  historyLabel = new QLabel;
  historyLabel->setObjectName("HistoryLabel");
  historyLabel->setWordWrap(true);
  for (QLabel* l : {summaryLabel, missedLabel, historyLabel}) {
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
  layout->addWidget(missedLabel);
  layout->addWidget(historyLabel);
  resize(620, 440);

  // Enter in the text field presses the default button: the check runs once.
  connect(checkButton, &QPushButton::clicked, this, [this] { run([this] { check(); }); });
  connect(openKeyButton, &QPushButton::clicked, this, [this] { run([this] { openKey(); }); });
  // Another text to check against: the result shown is not of it.
  connect(againstBox, &QComboBox::currentIndexChanged, this, [this] { clearResult(); });
}

void CheckWindow::run(const std::function<void()>& handler) {
  if (dispatch_) {
    dispatch_(handler);
  } else {
    handler();
  }
}

void CheckWindow::showInFront() {
  showSecondaryInFront(*this);
  copyEdit->setFocus();
}

void CheckWindow::clearResult() {
  result_ = CheckResult{};
  resultView->clear();
  summaryLabel->clear();
  missedLabel->clear();
  historyLabel->clear();
}

void CheckWindow::transmissionStarted() {
  againstBox->setCurrentIndex(0);
  clearResult();
}

void CheckWindow::useKey(const std::string& keyPath, const RecordSettings& settings) {
  // A key holds at most a few pages; anything far larger is no key.
  constexpr std::size_t kMaxKeyBytes = 4 << 20;
  std::string bytes;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(keyPath.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) throw KelvakError("Ключ не прочитан: " + systemReason(errno) + " (" + keyPath + ")");
    bytes.resize(kMaxKeyBytes);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (std::ferror(file.get())) {
      throw KelvakError("Ключ не прочитан: " + systemReason(errno) + " (" + keyPath + ")");
    }
  }
  CheckSource source = checkSourceForKey(QString::fromStdString(bytes).toStdU32String(), settings,
                                         kKeyNumbers + ++keysRead_);
  const QFileInfo info(QFile::decodeName(keyPath.c_str()));
  const QString item = QString::fromUtf8("ключом %1").arg(info.fileName());
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    if (keys_[k].path == keyPath) {
      keys_[k].source = std::move(source);
      againstBox->setCurrentIndex(static_cast<int>(k) + 1);
      clearResult();
      return;
    }
  }
  keys_.push_back({keyPath, std::move(source)});
  againstBox->addItem(item);
  againstBox->setItemData(againstBox->count() - 1, info.absoluteFilePath(), Qt::ToolTipRole);
  againstBox->setCurrentIndex(againstBox->count() - 1);
}

void CheckWindow::openKey() {
  QFileDialog dialog(this, QString::fromUtf8("Открыть ключ"), QString(),
                     QString::fromUtf8("Ключи (*.key.txt);;Все файлы (*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!keys_.empty())
    dialog.setDirectory(QFileInfo(QString::fromStdString(keys_.back().path)).absolutePath());
  fitFileDialog(dialog);
  if (!presentDialog_(dialog)) return;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return;
  const std::string path = QFile::encodeName(chosen.front()).toStdString();
  RecordSettings settings;
  if (keySettings_) settings = keySettings_(path);
  useKey(path, settings);
}

void CheckWindow::check() {
  const int against = againstBox->currentIndex();
  const CheckSource source =
      against <= 0 ? source_() : keys_[static_cast<std::size_t>(against - 1)].source;
  clearResult();
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
  QStringList notes;
  const auto missed = result_.missedCharacters();
  if (missed.empty()) {
    notes << QString::fromUtf8(result_.extra == 0 ? "Все знаки приняты."
                                                  : "Все переданные знаки приняты.");
  } else {
    notes << QString::fromUtf8("Не приняты: ") + counted(missed) + ".";
  }
  if (result_.extra > 0)
    notes << QString::fromUtf8("Лишние: ") + counted(result_.extraCharacters()) + ".";
  if (!result_.readAsCyrillic.empty()) {
    QStringList pairs;
    for (const auto& [latin, cyrillic] : result_.readAsCyrillic) {
      pairs << ch(latin) + QString::fromUtf8(" как ") + ch(cyrillic);
    }
    notes << QString::fromUtf8("Латинские буквы прочитаны как русские того же кода: ") +
                 pairs.join(", ") + ".";
  }
  missedLabel->setText(notes.join(' '));
  record(source);
}

void CheckWindow::record(const CheckSource& source) {
  QString said;
  const std::int64_t time = QDateTime::currentSecsSinceEpoch();
  try {
    if (!recorder_.record(result_, source, time)) {
      historyLabel->setText(QString::fromUtf8("Эта передача уже записана в историю."));
      return;
    }
    said = QString::fromUtf8("Записано в историю.");
  } catch (const HistoryBusyError& e) {
    // Kept to be written later: the check counts, and the learner knows it is not on the disk yet.
    said = QString::fromStdString(std::string(e.what()) + " (" + history_.path() + ").");
  } catch (const KelvakError& e) {
    // The result stays on screen; the next check of this transmission tries again.
    historyLabel->setText(
        QString::fromStdString(std::string(e.what()) + " (" + history_.path() + ")."));
    return;
  }
  historyLabel->setText(said);
  emit recorded();
  if (!afterRecord) return;
  std::string more;
  try {
    more = afterRecord(result_, source, time);
  } catch (const KelvakError& e) {
    // What was written stays said; what could not be read after it is said beside it.
    more = std::string(e.what()) + " (" + history_.path() + ").";
  }
  if (!more.empty())
    historyLabel->setText(historyLabel->text() + " " + QString::fromStdString(more));
}

}  // namespace kelvak

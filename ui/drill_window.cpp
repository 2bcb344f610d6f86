// The drill window: a thin view of the drill, sounding through the transmission.
#include "ui/drill_window.h"

#include <QDateTime>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>

#include "base/error.h"
#include "playback/transmission.h"
#include "synth/symbol_table.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

// After a replayed character, the next one comes once it has been heard and this much later.
constexpr int kAfterReplayMs = 400;

QLabel* bigLabel(const char* name) {
  auto* label = new QLabel(QString::fromUtf8("—"));
  label->setObjectName(name);
  QFont f = label->font();
  f.setPointSize(f.pointSize() * 3);
  f.setBold(true);
  label->setFont(f);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumWidth(90);
  return label;
}

}  // namespace

DrillWindow::DrillWindow(Transmission& engine, const History& history, std::function<Start()> start,
                         std::function<void(int)> setSpeed, Dispatch dispatch, QWidget* parent)
    : QDialog(parent),
      engine_(engine),
      history_(history),
      start_(std::move(start)),
      setSpeed_(std::move(setSpeed)),
      dispatch_(std::move(dispatch)) {
  setObjectName("DrillWindow");
  setWindowTitle(QString::fromUtf8("Знак за знаком"));
  setWindowModality(Qt::WindowModal);
  auto* prompt = new QLabel(QString::fromUtf8(
      "Нажимайте клавишу знака, как только его услышите: следующий прозвучит сразу. "
      "Ошибочный знак прозвучит ещё раз."));
  prompt->setWordWrap(true);
  sentLabel = bigLabel("DrillSent");
  typedLabel = bigLabel("DrillTyped");
  reactionLabel = new QLabel;
  reactionLabel->setObjectName("DrillReaction");
  speedLabel = new QLabel;
  speedLabel->setObjectName("DrillSpeed");
  tallyLabel = new QLabel;
  tallyLabel->setObjectName("DrillTally");
  recordLabel = new QLabel;
  recordLabel->setObjectName("DrillRecord");
  recordLabel->setWordWrap(true);
  latinLabel = new QLabel;
  latinLabel->setObjectName("DrillLatin");
  latinLabel->setWordWrap(true);
  startButton = new QPushButton(QString::fromUtf8("&Начать"));
  startButton->setObjectName("DrillStart");
  stopButton = new QPushButton(QString::fromUtf8("&Закончить"));
  stopButton->setObjectName("DrillStop");
  stopButton->setEnabled(false);
  // Keys are answers here: no button takes them.
  for (QPushButton* b : {startButton, stopButton}) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
  }

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QString::fromUtf8("Передан")), 0, 0, Qt::AlignCenter);
  grid->addWidget(new QLabel(QString::fromUtf8("Принят")), 0, 1, Qt::AlignCenter);
  grid->addWidget(sentLabel, 1, 0);
  grid->addWidget(typedLabel, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(startButton);
  buttons->addWidget(stopButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addLayout(grid);
  layout->addWidget(reactionLabel);
  layout->addWidget(speedLabel);
  layout->addWidget(tallyLabel);
  layout->addWidget(latinLabel);
  layout->addWidget(recordLabel);
  layout->addLayout(buttons);
  setMinimumWidth(380);
  quitWithF10(*this);

  connect(startButton, &QPushButton::clicked, this, [this] { dispatch_([this] { begin(); }); });
  connect(stopButton, &QPushButton::clicked, this, [this] { dispatch_([this] { finish(); }); });
}

DrillWindow::~DrillWindow() {
  if (drill_) engine_.endSymbols();
}

void DrillWindow::begin() {
  if (drill_) return;
  const Start s = start_();
  weights_ = std::make_unique<SymbolWeights>(s.weights);
  const auto seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  Random random;
  random.setState(seed);
  drill_ = std::make_unique<Drill>(*weights_, s.speed, random);
  source_ = s.source;
  if (drill_->speed() != s.speed) setSpeed_(drill_->speed());
  startButton->setEnabled(false);
  stopButton->setEnabled(true);
  recordLabel->clear();
  latinLabel->clear();
  typedLabel->setText(QString::fromUtf8("—"));
  sentLabel->setText(QString::fromUtf8("—"));
  showTally();
  setFocus();
  next();
}

void DrillWindow::sound(int symbol) {
  try {
    heardMs_ = engine_.soundSymbol(symbol);
  } catch (const KelvakError&) {
    // The sound cannot be heard (the server went away): the session ends with what was heard and
    // answered, and the report says why.
    finish();
    throw;
  }
  sounded_.start();
}

void DrillWindow::next() {
  if (!drill_) return;
  // The last answer stays in view while the next character sounds.
  sound(drill_->next());
  waiting_ = true;
}

void DrillWindow::answer(char32_t ch) {
  if (!drill_ || !waiting_) return;
  waiting_ = false;
  const std::int64_t reaction = sounded_.elapsed() - heardMs_;
  const Drill::Outcome out = drill_->answer(ch, reaction);
  const DrillAnswer& a = drill_->answers().back();
  sentLabel->setText(QString::fromStdString(displayUtf8(a.symbol)));
  typedLabel->setText(QString::fromUcs4(&ch, 1));
  typedLabel->setStyleSheet(out.right ? "" : "color: #b00000");
  reactionLabel->setText(QString::fromUtf8("Реакция: %1 мс").arg(a.reactionMs));
  if (setSpeed_) setSpeed_(out.speed);
  showTally();
  showLatin();
  if (out.replay) {
    // The learner hears the character once more with its answer in view, then goes on.
    sound(a.symbol);
    QTimer::singleShot(static_cast<int>(heardMs_) + kAfterReplayMs, this,
                       [this] { dispatch_([this] { next(); }); });
  } else {
    next();
  }
}

void DrillWindow::showTally() {
  if (!drill_) return;
  const DrillRecord r = drill_->record(source_, 0);
  speedLabel->setText(QString::fromUtf8("Скорость: %1 гр/мин").arg(drill_->speed()));
  tallyLabel->setText(QString::fromUtf8("Знаков: %1, верно: %2 (%3 %), медиана реакции: %4 мс")
                          .arg(r.sent)
                          .arg(r.correct)
                          .arg(r.accuracyPercent(), 0, 'f', 0)
                          .arg(r.medianReactionMs));
}

void DrillWindow::showLatin() {
  // One line for the session, as the check says it once for a copy.
  const auto& read = drill_->readAsCyrillic();
  if (read.empty()) return;
  QStringList pairs;
  for (const auto& [latin, cyrillic] : read) {
    pairs << QString::fromUcs4(&latin, 1) + QString::fromUtf8(" как ") +
                 QString::fromUcs4(&cyrillic, 1);
  }
  latinLabel->setText(QString::fromUtf8("Латинские буквы прочитаны как русские того же кода: ") +
                      pairs.join(", ") + ".");
}

void DrillWindow::finish() {
  if (!drill_) return;
  waiting_ = false;
  std::unique_ptr<Drill> done = std::move(drill_);
  startButton->setEnabled(true);
  stopButton->setEnabled(false);
  engine_.endSymbols();
  if (done->answers().empty()) return;
  try {
    history_.append(done->record(source_, QDateTime::currentSecsSinceEpoch()));
    recordLabel->setText(QString::fromUtf8("Занятие записано в историю."));
    if (recorded) recorded();
  } catch (const KelvakError& e) {
    recordLabel->setText(
        QString::fromStdString(std::string(e.what()) + " (" + history_.path() + ")."));
  }
}

void DrillWindow::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  // Alt and Ctrl keep their meaning: the buttons' access keys and the like.
  const bool command = event->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
  if (drill_ && !command && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace()) {
    const char32_t ch = text.toUcs4().value(0);
    dispatch_([this, ch] { answer(ch); });
    return;
  }
  QDialog::keyPressEvent(event);
}

void DrillWindow::reject() {
  dispatch_([this] { finish(); });
  QDialog::reject();
}

}  // namespace kelvak

// The drill window: its controls bound to the drill's presenter, sounding through the
// transmission.
#include "ui/drill_window.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "playback/transmission.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

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
      presenter_(*this,
                 {[&engine](int symbol) { return engine.soundSymbol(symbol); },
                  [&engine] { engine.endSymbols(); }},
                 history, std::move(start), std::move(setSpeed), std::move(dispatch)) {
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

  connect(startButton, &QPushButton::clicked, this, [this] { presenter_.startClicked(); });
  connect(stopButton, &QPushButton::clicked, this, [this] { presenter_.stopClicked(); });
}

void DrillWindow::showDrill(const DrillShown& shown) {
  sentLabel->setText(QString::fromStdString(shown.sent));
  typedLabel->setText(QString::fromStdString(shown.typed));
  typedLabel->setStyleSheet(shown.typedRight ? "" : "color: #b00000");
  reactionLabel->setText(QString::fromStdString(shown.reaction));
  speedLabel->setText(QString::fromStdString(shown.speed));
  tallyLabel->setText(QString::fromStdString(shown.tally));
  latinLabel->setText(QString::fromStdString(shown.latin));
  recordLabel->setText(QString::fromStdString(shown.recordNote));
  // A session that starts takes the keys as answers.
  if (shown.running && startButton->isEnabled()) setFocus();
  startButton->setEnabled(!shown.running);
  stopButton->setEnabled(shown.running);
}

void DrillWindow::after(int ms, std::function<void()> then) {
  QTimer::singleShot(ms, this, std::move(then));
}

void DrillWindow::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  // Alt and Ctrl keep their meaning: the buttons' access keys and the like.
  const bool command = event->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
  if (running() && !command && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace()) {
    presenter_.keyTyped(text.toUcs4().value(0));
    return;
  }
  QDialog::keyPressEvent(event);
}

void DrillWindow::reject() {
  presenter_.closed();
  QDialog::reject();
}

}  // namespace kelvak

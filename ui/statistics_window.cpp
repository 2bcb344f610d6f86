// The statistics window, drawn with Qt Charts.
#include "ui/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "base/error.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

QString ch(char32_t c) { return QString::fromUcs4(&c, 1); }

QString day(std::int64_t time) {
  return QDateTime::fromSecsSinceEpoch(time).toLocalTime().toString("dd.MM.yyyy");
}

// A chart with the window's font and no wasted margins.
QChart* newChart(const QString& title, const QFont& font) {
  auto* chart = new QChart;
  chart->setTitle(title);
  QFont titleFont = font;
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  chart->legend()->setFont(font);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setBackgroundRoundness(0);
  return chart;
}

}  // namespace

StatisticsWindow::StatisticsWindow(const History& history, QWidget* parent)
    : QDialog(parent), history_(history) {
  setObjectName("StatisticsWindow");
  setUpSecondaryWindow(*this);
  setWindowTitle(QString::fromUtf8("Статистика"));

  noteLabel = new QLabel;
  noteLabel->setObjectName("NoteLabel");
  noteLabel->setWordWrap(true);
  accuracyView = new QChartView;
  accuracyView->setObjectName("AccuracyView");
  accuracyView->setMinimumHeight(230);
  charsView = new QChartView;
  charsView->setObjectName("CharsView");
  charsView->setMinimumHeight(230);
  confusionList = new QListWidget;
  confusionList->setObjectName("ConfusionList");
  auto* confusionTitle = new QLabel(QString::fromUtf8("&Частые путаницы:"));
  confusionTitle->setBuddy(confusionList);

  auto* side = new QVBoxLayout;
  side->addWidget(confusionTitle);
  side->addWidget(confusionList, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(charsView, 3);
  bottom->addLayout(side, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(noteLabel);
  layout->addWidget(accuracyView, 1);
  layout->addLayout(bottom, 1);
  resize(860, 640);
}

void StatisticsWindow::showInFront() {
  reload();
  showSecondaryInFront(*this);
}

void StatisticsWindow::reload() {
  QString note;
  HistoryContents contents;
  try {
    contents = history_.load();
  } catch (const KelvakError& e) {
    note = QString::fromStdString(std::string(e.what()) + " (" + history_.path() + "). ");
  }
  progress_ = summarize(contents.records);

  if (progress_.checks.empty()) {
    note += QString::fromUtf8("Проверок ещё нет: сыграйте передачу и проверьте приём.");
  } else {
    note += QString::fromUtf8("Проверок: %1, с %2 по %3.")
                .arg(progress_.checks.size())
                .arg(day(progress_.checks.front().time), day(progress_.checks.back().time));
  }
  if (!contents.damagedLines.empty()) {
    QStringList lines;
    for (std::size_t i = 0; i < contents.damagedLines.size() && i < 10; ++i) {
      lines << QString::number(contents.damagedLines[i]);
    }
    if (contents.damagedLines.size() > 10) lines << "…";
    note += QString::fromUtf8(" Повреждённые строки пропущены (%1): %2.")
                .arg(contents.damagedLines.size())
                .arg(lines.join(", "));
  }
  noteLabel->setText(note);

  drawAccuracy();
  drawChars();
  confusionList->clear();
  for (const Confusion& c : progress_.confusions) {
    confusionList->addItem(
        QString::fromUtf8("%1 принят за %2: %3").arg(ch(c.sent), ch(c.takenFor)).arg(c.count));
  }
}

void StatisticsWindow::drawAccuracy() {
  QChart* chart = newChart(QString::fromUtf8("Точность по проверкам"), font());
  auto* accuracy = new QLineSeries;
  accuracy->setName(QString::fromUtf8("Точность, %"));
  auto* speed = new QLineSeries;
  speed->setName(QString::fromUtf8("Скорость, групп в минуту"));
  // A chart no wider than the screen cannot show more points than it has pixels: a long history
  // is drawn as the means of runs of consecutive checks, at most kMaxPoints of them.
  constexpr std::size_t kMaxPoints = 1000;
  const std::size_t n = progress_.checks.size();
  const std::size_t points = std::min(n, kMaxPoints);
  QList<QPointF> a, s;
  a.reserve(static_cast<qsizetype>(points));
  s.reserve(static_cast<qsizetype>(points));
  int maxSpeed = 30;
  for (std::size_t k = 0; k < points; ++k) {
    const std::size_t from = k * n / points, to = (k + 1) * n / points;
    double sumAccuracy = 0, sumSpeed = 0;
    for (std::size_t i = from; i < to; ++i) {
      sumAccuracy += progress_.checks[i].accuracy;
      sumSpeed += progress_.checks[i].speed;
      maxSpeed = std::max(maxSpeed, progress_.checks[i].speed);
    }
    const double count = static_cast<double>(to - from);
    const double x = static_cast<double>(from + to + 1) / 2.0;  // the run's middle, counted from 1
    a.append(QPointF(x, sumAccuracy / count));
    s.append(QPointF(x, sumSpeed / count));
  }
  accuracy->replace(a);
  speed->replace(s);
  QPen speedPen(QColor(0, 110, 200));
  speedPen.setStyle(Qt::DashLine);
  speedPen.setWidthF(1.5);
  speed->setPen(speedPen);
  QPen accuracyPen(QColor(200, 40, 40));
  accuracyPen.setWidthF(2);
  accuracy->setPen(accuracyPen);
  chart->addSeries(accuracy);
  chart->addSeries(speed);

  auto* x = new QValueAxis;
  x->setTitleText(QString::fromUtf8("Проверка №"));
  x->setLabelFormat("%d");
  x->setRange(1, std::max<double>(2, static_cast<double>(progress_.checks.size())));
  auto* yAccuracy = new QValueAxis;
  yAccuracy->setRange(0, 100);
  yAccuracy->setTitleText(QString::fromUtf8("%"));
  yAccuracy->setLabelFormat("%d");
  auto* ySpeed = new QValueAxis;
  ySpeed->setRange(0, maxSpeed);
  ySpeed->setTitleText(QString::fromUtf8("гр/мин"));
  ySpeed->setLabelFormat("%d");
  for (QValueAxis* axis : {x, yAccuracy, ySpeed}) {
    axis->setLabelsFont(font());
    axis->setTitleFont(font());
  }
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(yAccuracy, Qt::AlignLeft);
  chart->addAxis(ySpeed, Qt::AlignRight);
  accuracy->attachAxis(x);
  accuracy->attachAxis(yAccuracy);
  speed->attachAxis(x);
  speed->attachAxis(ySpeed);

  QChart* old = accuracyView->chart();
  accuracyView->setChart(chart);
  delete old;
}

void StatisticsWindow::drawChars() {
  // The worst characters are what there is to practise; all of them would not be legible.
  constexpr std::size_t kShown = 20;
  QChart* chart = newChart(QString::fromUtf8("Доля верно принятых знаков, %: %1 худших")
                               .arg(std::min(kShown, progress_.chars.size())),
                           font());
  auto* set = new QBarSet(QString::fromUtf8("Верно, %"));
  set->setLabelColor(Qt::white);
  set->setColor(QColor(70, 130, 180));
  QStringList categories;
  for (std::size_t k = 0; k < progress_.chars.size() && k < kShown; ++k) {
    const CharShare& c = progress_.chars[k];
    *set << c.share();
    categories << ch(c.ch);
  }
  auto* series = new QBarSeries;
  series->append(set);
  series->setBarWidth(0.8);
  // The share written on each bar: the bars differ by a few percent, which the scale hides.
  series->setLabelsVisible(true);
  series->setLabelsFormat("@value");
  series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
  series->setLabelsPrecision(2);
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->append(categories);
  auto* y = new QValueAxis;
  y->setRange(0, 100);
  y->setLabelFormat("%d");
  for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(x), static_cast<QAbstractAxis*>(y)}) {
    axis->setLabelsFont(font());
  }
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  chart->legend()->hide();

  QChart* old = charsView->chart();
  charsView->setChart(chart);
  delete old;
}

}  // namespace kelvak

// The statistics window, drawn with Qt Charts.
#include "ui/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

#include "base/error.h"
#include "training/undo_check.h"
#include "ui/focus_frame.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

QString ch(char32_t c) { return QString::fromUcs4(&c, 1); }

QDate localDay(std::int64_t time) {
  return QDateTime::fromSecsSinceEpoch(time).toLocalTime().date();
}

QString day(std::int64_t time) { return localDay(time).toString("dd.MM.yyyy"); }

QString whole(double v) { return QString::number(static_cast<long long>(std::lround(v))); }

// The text kinds as the filter names them, in TextSource's order.
constexpr const char* kSourceWords[] = {"цифры", "буквы", "смесь", "файл"};

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

// The smallest of 1, 2, 5, 10, 20, 50... that cuts `span` into at most `most` steps.
double tickStep(double span, int most) {
  for (double magnitude = 1;; magnitude *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      if (span / (m * magnitude) <= most) return m * magnitude;
    }
  }
}

// Whole-number ticks every `step` from `anchor`.
void wholeTicks(QValueAxis* axis, double anchor, double step) {
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(anchor);
  axis->setTickInterval(step);
  axis->setLabelFormat("%d");
}

// How long, as "1 ч 05 мин", "12 мин" or "40 с".
QString duration(std::int64_t seconds) {
  if (seconds < 60) return QString::fromUtf8("%1 с").arg(seconds);
  const std::int64_t minutes = (seconds + 30) / 60;
  if (minutes < 60) return QString::fromUtf8("%1 мин").arg(minutes);
  return QString::fromUtf8("%1 ч %2 мин").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar('0'));
}

}  // namespace

StatisticsWindow::StatisticsWindow(const History& history, QWidget* parent)
    : QDialog(parent), history_(history) {
  setObjectName("StatisticsWindow");
  setUpSecondaryWindow(*this);
  setWindowTitle(QString::fromUtf8("Статистика"));

  sourceFilter = new QComboBox;
  sourceFilter->setObjectName("SourceFilter");
  sourceFilter->addItem(QString::fromUtf8("любой"));
  for (const char* item : kSourceWords) sourceFilter->addItem(QString::fromUtf8(item));
  auto* sourceTitle = new QLabel(QString::fromUtf8("&Текст:"));
  sourceTitle->setBuddy(sourceFilter);
  periodFilter = new QComboBox;
  periodFilter->setObjectName("PeriodFilter");
  for (const char* item : {"всё время", "последние 7 дней", "сегодня"}) {
    periodFilter->addItem(QString::fromUtf8(item));
  }
  auto* periodTitle = new QLabel(QString::fromUtf8("&Период:"));
  periodTitle->setBuddy(periodFilter);

  noteLabel = new QLabel;
  noteLabel->setObjectName("NoteLabel");
  noteLabel->setWordWrap(true);
  noteLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  accuracyView = new QChartView;
  accuracyView->setObjectName("AccuracyView");
  accuracyView->setAccessibleName(QString::fromUtf8("График точности по проверкам"));
  accuracyView->setMinimumHeight(300);
  charsView = new QChartView;
  charsView->setObjectName("CharsView");
  charsView->setAccessibleName(QString::fromUtf8("Доля верно принятых знаков"));
  charsView->setMinimumHeight(300);
  confusionList = new QListWidget;
  confusionList->setObjectName("ConfusionList");
  confusionList->setAccessibleName(QString::fromUtf8("Частые путаницы"));
  auto* confusionTitle = new QLabel(QString::fromUtf8("&Частые путаницы:"));
  confusionTitle->setBuddy(confusionList);
  daysTable = new QTableWidget(0, 4);
  daysTable->setObjectName("DaysTable");
  daysTable->setAccessibleName(QString::fromUtf8("Итоги по дням"));
  daysTable->setHorizontalHeaderLabels({QString::fromUtf8("День"), QString::fromUtf8("Проверок"),
                                        QString::fromUtf8("Знаков"),
                                        QString::fromUtf8("Время передач")});
  daysTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  daysTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  daysTable->verticalHeader()->hide();
  daysTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  // The charts take the keys to nothing: Tab passes them by, and a screen reader reads their
  // description instead.
  for (QChartView* v : {accuracyView, charsView}) v->setFocusPolicy(Qt::NoFocus);

  removeLastButton = new QPushButton(QString::fromUtf8("&Удалить последнюю проверку..."));
  removeLastButton->setObjectName("RemoveLastCheck");
  removeLastButton->setAutoDefault(false);
  removedLabel = new QLabel;
  removedLabel->setObjectName("RemovedLabel");
  removedLabel->setWordWrap(true);
  removedLabel->hide();
  confirm = [this](const QString& question) {
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  connect(removeLastButton, &QPushButton::clicked, this, [this] { removeLastCheck(); });

  auto* filters = new QHBoxLayout;
  filters->addWidget(sourceTitle);
  filters->addWidget(sourceFilter);
  filters->addSpacing(16);
  filters->addWidget(periodTitle);
  filters->addWidget(periodFilter);
  filters->addStretch(1);
  filters->addWidget(removeLastButton);

  auto* charsPage = new QWidget;
  auto* side = new QVBoxLayout;
  side->addWidget(confusionTitle);
  side->addWidget(confusionList, 1);
  auto* charsLayout = new QHBoxLayout(charsPage);
  charsLayout->addWidget(charsView, 3);
  charsLayout->addLayout(side, 1);

  sections = new QTabWidget;
  sections->setObjectName("Sections");
  sections->addTab(accuracyView, QString::fromUtf8("&Точность"));
  sections->addTab(charsPage, QString::fromUtf8("&Знаки"));
  sections->addTab(daysTable, QString::fromUtf8("По &дням"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(noteLabel);
  layout->addWidget(removedLabel);
  layout->addWidget(sections, 1);
  resize(860, 560);

  for (QComboBox* box : {sourceFilter, periodFilter}) {
    showFocusClearly(*box);
    connect(box, &QComboBox::currentIndexChanged, this, [this] { redraw(); });
  }
  setFocusProxy(sourceFilter);
}

void StatisticsWindow::showInFront() {
  reload();
  showSecondaryInFront(*this);
  if (!focusWidget() || focusWidget() == this) sourceFilter->setFocus();
}

ProgressFilter StatisticsWindow::filter() const {
  ProgressFilter f;
  if (sourceFilter->currentIndex() > 0) {
    f.source = static_cast<TextSource>(sourceFilter->currentIndex() - 1);
  }
  const QDate today = QDate::currentDate();
  if (periodFilter->currentIndex() == 1) {
    f.since = today.addDays(-6).startOfDay().toSecsSinceEpoch();
  } else if (periodFilter->currentIndex() == 2) {
    f.since = today.startOfDay().toSecsSinceEpoch();
  }
  f.dayOf = [](std::int64_t time) { return localDay(time).toJulianDay(); };
  return f;
}

void StatisticsWindow::reload() {
  loadError_.clear();
  contents_ = HistoryContents{};
  try {
    contents_ = history_.refresh();
  } catch (const KelvakError& e) {
    loadError_ = QString::fromStdString(std::string(e.what()) + " (" + history_.path() + "). ");
  }
  redraw();
}

void StatisticsWindow::removeLastCheck() {
  if (contents_.records.empty()) return;
  // The history's last check, whatever the filters show.
  const CheckRecord& last = contents_.records.back();
  const QString what =
      QString::fromUtf8("проверка %1 (%2): %3 знаков, %4 %")
          .arg(QDateTime::fromSecsSinceEpoch(last.time).toString("dd.MM.yyyy hh:mm"))
          .arg(QString::fromUtf8(kSourceWords[static_cast<std::size_t>(last.settings.source)]))
          .arg(last.sent)
          .arg(whole(accuracyPercent(last.sent, last.correct, last.extra)));
  if (!confirm(QString::fromUtf8("Удалить из истории последнюю проверку — %1? Вернуть её будет "
                                 "нельзя.")
                   .arg(what))) {
    return;
  }
  try {
    const auto removed = kelvak::removeLastCheck(history_);
    removedLabel->setText(removed ? QString::fromUtf8("Удалена ") + what + "."
                                  : QString::fromUtf8("В истории нет проверок."));
    if (removed && checkRemoved) {
      const std::string more = checkRemoved(*removed);
      if (!more.empty()) {
        removedLabel->setText(removedLabel->text() + " " + QString::fromStdString(more));
      }
    }
  } catch (const std::exception& e) {
    removedLabel->setText(
        QString::fromStdString(std::string(e.what()) + " (" + history_.path() + ")."));
  }
  removedLabel->show();
  reload();
}

void StatisticsWindow::redraw() {
  removeLastButton->setEnabled(!contents_.records.empty());
  progress_ = summarize(contents_.records, filter());
  QString note = loadError_;
  if (progress_.checks.empty()) {
    note += contents_.records.empty()
                ? QString::fromUtf8("Проверок ещё нет: сыграйте передачу и проверьте приём.")
                : QString::fromUtf8("С этим текстом за этот период проверок нет.");
  } else {
    std::int64_t chars = 0, seconds = 0;
    for (const DayTotal& d : progress_.days) chars += d.chars, seconds += d.seconds;
    note += QString::fromUtf8("Проверок: %1, с %2 по %3; знаков передано: %4, время передач: %5.")
                .arg(progress_.checks.size())
                .arg(day(progress_.checks.front().time), day(progress_.checks.back().time))
                .arg(chars)
                .arg(duration(seconds));
  }
  if (!contents_.damagedLines.empty()) {
    QStringList lines;
    for (std::size_t i = 0; i < contents_.damagedLines.size() && i < 10; ++i) {
      lines << QString::number(contents_.damagedLines[i]);
    }
    if (contents_.damagedLines.size() > 10) lines << "…";
    note += QString::fromUtf8(" Повреждённые строки пропущены (%1): %2.")
                .arg(contents_.damagedLines.size())
                .arg(lines.join(", "));
  }
  noteLabel->setText(note);

  drawAccuracy();
  drawChars();
  fillDays();
  confusionList->clear();
  for (const Confusion& c : progress_.confusions) {
    confusionList->addItem(
        QString::fromUtf8("%1 принят за %2: %3").arg(ch(c.sent), ch(c.takenFor)).arg(c.count));
  }
  if (progress_.confusions.empty()) confusionList->addItem(QString::fromUtf8("нет"));
}

void StatisticsWindow::drawAccuracy() {
  const std::size_t n = progress_.checks.size();
  QChart* chart = newChart(n == 0 ? QString::fromUtf8("Точность по проверкам: проверок нет")
                                  : QString::fromUtf8("Точность по проверкам"),
                           font());
  auto* accuracy = new QLineSeries;
  accuracy->setName(QString::fromUtf8("Точность, %"));
  auto* speed = new QLineSeries;
  speed->setName(QString::fromUtf8("Скорость, групп в минуту"));
  // A chart no wider than the screen cannot show more points than it has pixels: a long history
  // is drawn as the means of runs of consecutive checks, at most kMaxPoints of them.
  constexpr std::size_t kMaxPoints = 1000;
  const std::size_t points = std::min(n, kMaxPoints);
  QList<QPointF> a, s;
  a.reserve(static_cast<qsizetype>(points));
  s.reserve(static_cast<qsizetype>(points));
  int maxSpeed = 1;
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
  // Points as well as lines: a single check has no line to draw.
  const bool few = points <= 60;
  QPen speedPen(QColor(0, 110, 200));
  speedPen.setStyle(Qt::DashLine);
  speedPen.setWidthF(1.5);
  speed->setPen(speedPen);
  speed->setPointsVisible(few);
  speed->setMarkerSize(6);
  QPen accuracyPen(QColor(200, 40, 40));
  accuracyPen.setWidthF(2);
  accuracy->setPen(accuracyPen);
  accuracy->setPointsVisible(few);
  accuracy->setMarkerSize(8);
  chart->addSeries(accuracy);
  chart->addSeries(speed);

  // Whole checks on the x axis, each at most once, and the speed axis in whole steps up to a
  // round number well above the fastest check: the speed line never runs along the top, where it
  // would read as 100 %. The speed has its own scale, in its line's colour and without gridlines,
  // so that no gridline belongs to both.
  auto* x = new QValueAxis;
  x->setTitleText(QString::fromUtf8("Проверка №"));
  const double last = std::max<double>(1, static_cast<double>(n));
  x->setRange(0.5, last + 0.5);
  wholeTicks(x, 1, tickStep(last, 10));
  auto* yAccuracy = new QValueAxis;
  yAccuracy->setRange(0, 100);
  yAccuracy->setTitleText(QString::fromUtf8("%"));
  wholeTicks(yAccuracy, 0, 20);
  auto* ySpeed = new QValueAxis;
  const double speedTop = maxSpeed * 1.25;
  const double speedStep = tickStep(speedTop, 5);
  ySpeed->setRange(0, std::ceil(speedTop / speedStep) * speedStep);
  ySpeed->setTitleText(QString::fromUtf8("гр/мин"));
  wholeTicks(ySpeed, 0, speedStep);
  ySpeed->setGridLineVisible(false);
  ySpeed->setLinePenColor(speedPen.color());
  ySpeed->setLabelsColor(speedPen.color());
  ySpeed->setTitleBrush(speedPen.color());
  yAccuracy->setLinePenColor(accuracyPen.color());
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

  // The same in words, the latest checks first.
  QStringList words;
  for (std::size_t k = n; k > 0 && k + 10 > n; --k) {
    const ProgressPoint& c = progress_.checks[k - 1];
    words << QString::fromUtf8("проверка %1 (%2): %3 %, %4 гр/мин")
                 .arg(k)
                 .arg(day(c.time), whole(c.accuracy))
                 .arg(c.speed);
  }
  accuracyView->setAccessibleDescription(n == 0 ? QString::fromUtf8("Проверок нет.")
                                                : QString::fromUtf8("Последние проверки: ") +
                                                      words.join("; ") + ".");
}

void StatisticsWindow::drawChars() {
  // The worst characters are what there is to practise; all of them would not be legible.
  constexpr std::size_t kShown = 15;
  const std::size_t shown = std::min(kShown, progress_.chars.size());
  QChart* chart =
      newChart(shown == 0 ? QString::fromUtf8("Доля верно принятых знаков: проверок нет")
                          : QString::fromUtf8("Доля верно принятых знаков (%): худшие %1 из %2; "
                                              "под знаком — сколько раз передан")
                                .arg(shown)
                                .arg(progress_.chars.size()),
               font());
  auto* set = new QBarSet(QString::fromUtf8("Верно, %"));
  set->setLabelColor(Qt::white);
  set->setColor(QColor(70, 130, 180));
  QStringList categories, words;
  for (std::size_t k = 0; k < shown; ++k) {
    const CharShare& c = progress_.chars[k];
    // Whole percents: the label on the bar says what the bar shows.
    const double share = std::round(c.share());
    *set << share;
    categories << ch(c.ch) + "<br>" + QString::number(c.sent);
    words << QString::fromUtf8("%1: %2 % из %3").arg(ch(c.ch), whole(share)).arg(c.sent);
  }
  auto* series = new QBarSeries;
  series->append(set);
  series->setBarWidth(0.8);
  series->setLabelsVisible(true);
  series->setLabelsFormat("@value");
  series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
  series->setLabelsPrecision(4);  // significant digits: 100 stays 100
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->append(categories);
  // The scale starts at 0 % so that a bar's height is its share: a third is a third of the way up.
  // The number on each bar tells the share itself.
  auto* y = new QValueAxis;
  y->setRange(0, 100);
  wholeTicks(y, 0, 20);
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
  charsView->setAccessibleDescription(
      shown == 0 ? QString::fromUtf8("Проверок нет.")
                 : QString::fromUtf8("Верно принято, худшие первыми: ") + words.join("; ") + ".");
}

void StatisticsWindow::fillDays() {
  daysTable->setRowCount(static_cast<int>(progress_.days.size()));
  int row = 0;
  // The latest day first.
  for (auto d = progress_.days.rbegin(); d != progress_.days.rend(); ++d, ++row) {
    const QStringList cells = {QDate::fromJulianDay(d->day).toString("dd.MM.yyyy"),
                               QString::number(d->checks), QString::number(d->chars),
                               duration(d->seconds)};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      daysTable->setItem(row, column, item);
    }
  }
}

}  // namespace kelvak

// The statistics window, drawn with Qt Charts.
#include "ui/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
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

#include "ui/focus_frame.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// A chart with the window's font and no wasted margins.
QChart* newChart(const std::string& title, const QFont& font) {
  auto* chart = new QChart;
  chart->setTitle(text(title));
  QFont titleFont = font;
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  chart->legend()->setFont(font);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setBackgroundRoundness(0);
  return chart;
}

QValueAxis* wholeAxis(const WholeAxis& w, const QFont& font) {
  auto* axis = new QValueAxis;
  axis->setRange(w.from, w.to);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(w.anchor);
  axis->setTickInterval(w.step);
  axis->setLabelFormat("%d");
  axis->setLabelsFont(font);
  axis->setTitleFont(font);
  return axis;
}

QList<QPointF> points(const std::vector<ChartPoint>& from) {
  QList<QPointF> out;
  out.reserve(static_cast<qsizetype>(from.size()));
  for (const ChartPoint& p : from) out.append(QPointF(p.x, p.y));
  return out;
}

void replaceChart(QChartView* view, QChart* chart) {
  QChart* old = view->chart();
  view->setChart(chart);
  delete old;
}

}  // namespace

StatisticsWindow::StatisticsWindow(HistoryKeeper& history, QWidget* parent)
    : QDialog(parent), presenter_(*this, history) {
  setObjectName("StatisticsWindow");
  setUpSecondaryWindow(*this);
  setWindowTitle(QString::fromUtf8("Статистика"));

  sourceFilter = new QComboBox;
  sourceFilter->setObjectName("SourceFilter");
  for (const char* item : kSourceFilterItems) sourceFilter->addItem(QString::fromUtf8(item));
  auto* sourceTitle = new QLabel(QString::fromUtf8("&Текст:"));
  sourceTitle->setBuddy(sourceFilter);
  periodFilter = new QComboBox;
  periodFilter->setObjectName("PeriodFilter");
  for (const char* item : kPeriodFilterItems) periodFilter->addItem(QString::fromUtf8(item));
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
  confirmRemoval = [this](const QString& question) {
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  connect(removeLastButton, &QPushButton::clicked, this,
          [this] { presenter_.removeLastClicked(); });

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

  for (QComboBox* box : {sourceFilter, periodFilter}) showFocusClearly(*box);
  connect(sourceFilter, &QComboBox::currentIndexChanged, this,
          [this](int index) { presenter_.sourceChosen(index); });
  connect(periodFilter, &QComboBox::currentIndexChanged, this,
          [this](int index) { presenter_.periodChosen(index); });
  setFocusProxy(sourceFilter);
}

void StatisticsWindow::showInFront() {
  reload();
  showSecondaryInFront(*this);
  if (!focusWidget() || focusWidget() == this) sourceFilter->setFocus();
}

void StatisticsWindow::reload() { presenter_.reload(); }

void StatisticsWindow::showNote(const std::string& note) { noteLabel->setText(text(note)); }

void StatisticsWindow::enableRemoveLast(bool enabled) { removeLastButton->setEnabled(enabled); }

bool StatisticsWindow::confirm(const std::string& question) {
  return confirmRemoval(text(question));
}

void StatisticsWindow::showRemoved(const std::string& said) {
  removedLabel->setText(text(said));
  removedLabel->show();
}

void StatisticsWindow::showConfusions(const std::vector<std::string>& lines) {
  confusionList->clear();
  for (const std::string& line : lines) confusionList->addItem(text(line));
}

void StatisticsWindow::showAccuracy(const AccuracyChart& c) {
  QChart* chart = newChart(c.title, font());
  auto* accuracy = new QLineSeries;
  accuracy->setName(QString::fromUtf8("Точность, %"));
  auto* speed = new QLineSeries;
  speed->setName(QString::fromUtf8("Скорость, групп в минуту"));
  accuracy->replace(points(c.accuracy));
  speed->replace(points(c.speed));
  QPen speedPen(QColor(0, 110, 200));
  speedPen.setStyle(Qt::DashLine);
  speedPen.setWidthF(1.5);
  speed->setPen(speedPen);
  speed->setPointsVisible(c.markers);
  speed->setMarkerSize(6);
  QPen accuracyPen(QColor(200, 40, 40));
  accuracyPen.setWidthF(2);
  accuracy->setPen(accuracyPen);
  accuracy->setPointsVisible(c.markers);
  accuracy->setMarkerSize(8);
  chart->addSeries(accuracy);
  chart->addSeries(speed);
  // The speed has its own scale, in its line's colour and without gridlines, so that no gridline
  // belongs to both.
  QValueAxis* x = wholeAxis(c.checks, font());
  x->setTitleText(QString::fromUtf8("Проверка №"));
  QValueAxis* yAccuracy = wholeAxis(c.percent, font());
  yAccuracy->setTitleText(QString::fromUtf8("%"));
  yAccuracy->setLinePenColor(accuracyPen.color());
  QValueAxis* ySpeed = wholeAxis(c.speedScale, font());
  ySpeed->setTitleText(QString::fromUtf8("гр/мин"));
  ySpeed->setGridLineVisible(false);
  ySpeed->setLinePenColor(speedPen.color());
  ySpeed->setLabelsColor(speedPen.color());
  ySpeed->setTitleBrush(speedPen.color());
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(yAccuracy, Qt::AlignLeft);
  chart->addAxis(ySpeed, Qt::AlignRight);
  accuracy->attachAxis(x);
  accuracy->attachAxis(yAccuracy);
  speed->attachAxis(x);
  speed->attachAxis(ySpeed);
  replaceChart(accuracyView, chart);
  accuracyView->setAccessibleDescription(text(c.description));
}

void StatisticsWindow::showChars(const CharsChart& c) {
  QChart* chart = newChart(c.title, font());
  auto* set = new QBarSet(QString::fromUtf8("Верно, %"));
  set->setLabelColor(Qt::white);
  set->setColor(QColor(70, 130, 180));
  QStringList categories;
  for (std::size_t k = 0; k < c.shares.size(); ++k) {
    *set << c.shares[k];
    // A category axis draws rich text: the line break is its own.
    categories << text(c.labels[k]).replace(QChar(u'\n'), QString("<br>"));
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
  x->setLabelsFont(font());
  QValueAxis* y = wholeAxis(c.percent, font());
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  chart->legend()->hide();
  replaceChart(charsView, chart);
  charsView->setAccessibleDescription(text(c.description));
}

void StatisticsWindow::showDays(const std::vector<DayRow>& rows) {
  daysTable->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    const DayRow& d = rows[static_cast<std::size_t>(row)];
    const std::string* cells[] = {&d.day, &d.checks, &d.chars, &d.sendingTime};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(text(*cells[column]));
      if (column > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      daysTable->setItem(row, column, item);
    }
  }
}

}  // namespace kelvak

// The main window: binds the controls to the transmission and keeps the value labels and prompts.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionSlider>
#include <QTextCursor>
#include <QTimer>
#include <optional>

#include "playback/settings.h"
#include "training/check_source.h"
#include "ui/about_box.h"
#include "ui/accessible_names.h"
#include "ui/file_dialog_size.h"
#include "ui/fonts.h"
#include "ui/help_window.h"
#include "ui/qt_timer.h"
#include "ui/sound_export.h"
#include "ui/window_resources.h"
#include "ui_main_window.h"

namespace kelvak {

namespace {

constexpr int kClientWidth = 631;   // [px]
constexpr int kClientHeight = 337;  // [px], without the menu bar
constexpr QPoint kPlace{108, 293};  // [px] on the screen
constexpr int kFontPixels = 11;     // [px] the window's text
constexpr int kPanePixels = 16;     // [px] the text pane's characters

const char* const kOpenDialogTitle = "Открыть файл с тестом";
// One filter: every file. "*" is what matches every name here; the pattern stays out of sight.
const char* const kAllFilesFilter = "Все файлы (*)";

// The Windows fonts the window was drawn for are rarely installed here; these stand in for them
// with close metrics and full Cyrillic.
// 16 x 16 button pictures; QIcon derives the greyed picture for the disabled state.
QIcon playPicture() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath triangle;
  triangle.moveTo(4.5, 2.5);
  triangle.lineTo(13.5, 8.0);
  triangle.lineTo(4.5, 13.5);
  triangle.closeSubpath();
  p.setPen(QPen(QColor(0, 90, 0), 1.0));
  p.setBrush(QColor(40, 170, 40));
  p.drawPath(triangle);
  return QIcon(pm);
}

QIcon stopPicture() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QPen(QColor(110, 0, 0), 1.0));
  p.setBrush(QColor(200, 30, 30));
  p.drawRect(QRectF(3.5, 3.5, 9.0, 9.0));
  return QIcon(pm);
}

// The level sliders have position 0 at the top, and their level is 127 - position: the groove
// is filled from the knob down, so a full bar means full level. Drawn as the mirror image of the
// same slider, which puts the knob in the same place.
class LevelSliderStyle : public QProxyStyle {
 public:
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    if (control == CC_Slider) {
      if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
        QStyleOptionSlider mirrored = *slider;
        mirrored.upsideDown = !slider->upsideDown;
        mirrored.sliderPosition = slider->minimum + slider->maximum - slider->sliderPosition;
        mirrored.sliderValue = slider->minimum + slider->maximum - slider->sliderValue;
        QProxyStyle::drawComplexControl(control, &mirrored, painter, widget);
        return;
      }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
  }
};

bool isSliderKey(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return false;
  }
}

}  // namespace

MainWindow::MainWindow(kelvak::WaveDevice& device, kelvak::ErrorGate& gate, kelvak::Timer* timer,
                       QWidget* parent)
    : QMainWindow(parent),
      ownTimer_(timer ? nullptr : std::make_unique<kelvak::QtTimer>([this] { tick(); })),
      presenter_(std::make_unique<MainWindowPresenter>(*this, timer ? *timer : *ownTimer_, device,
                                                       gate)),
      fileDialog_([](QFileDialog& d) { return d.exec() == QDialog::Accepted; }),
      messageBox_(kelvak::execBox) {
  ui_ = std::make_unique<Ui::MainWindow>();
  ui_->setupUi(this);

  textKinds_ = new QButtonGroup(this);
  textKinds_->addButton(ui_->digitsButton, 0);
  textKinds_->addButton(ui_->lettersButton, 1);
  textKinds_->addButton(ui_->mixedButton, 2);

  // "Random" is drawn as a radio item, "from file" with a check mark; the program sets both.
  auto* sourceGroup = new QActionGroup(this);
  sourceGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  sourceGroup->addAction(ui_->randomTextItem);

  ui_->groupCountArrows->setAssociate(ui_->groupCountEdit);
  ui_->charPauseArrows->setAssociate(ui_->charPauseEdit);
  ui_->groupPauseArrows->setAssociate(ui_->groupPauseEdit);

  applyLook();
  presenter_->controlsMade();
  bindEvents();
  soundFollower_ = new QTimer(this);
  soundFollower_->setTimerType(Qt::PreciseTimer);
  soundFollower_->setSingleShot(true);
  connect(soundFollower_, &QTimer::timeout, this, [this] { presenter_->soundFollowDue(); });
  // Beside the described menu: the next transmission saved as a sound file.
  ui_->textMenu->addSeparator();
  saveSoundItem = ui_->textMenu->addAction(QString::fromUtf8(kelvak::kSaveSoundCaption));
  connect(saveSoundItem, &QAction::triggered, this, [this] { presenter_->saveSoundRequested(); });
  kelvak::nameControlsForScreenReaders(*ui_);
  // The first control of the tab order has the focus when the window first becomes active.
  ui_->speedSlider->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow() = default;

void MainWindow::setSecondaryWindows(AboutBox* aboutBox, HelpWindow* helpWindow) {
  aboutBox_ = aboutBox;
  helpWindow_ = helpWindow;
}

void MainWindow::applyLook() {
  // Menus are windows of their own and take the window's font only when asked to.
  for (QMenu* menu : {ui_->textMenu, ui_->helpMenu}) menu->setAttribute(Qt::WA_WindowPropagation);
  setFont(kelvak::sansFont(kFontPixels));

  ui_->textPane->setFont(kelvak::monoFont(kPanePixels));
  QPalette pane = ui_->textPane->palette();
  pane.setColor(QPalette::Base, Qt::black);
  pane.setColor(QPalette::Text, Qt::red);
  // The selection stays visible when the pane does not have the focus.
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    pane.setColor(QPalette::Inactive, role, pane.color(QPalette::Active, role));
  }
  ui_->textPane->setPalette(pane);

  auto* levelStyle = new LevelSliderStyle;
  levelStyle->setParent(this);
  ui_->signalSlider->setStyle(levelStyle);
  ui_->noiseSlider->setStyle(levelStyle);

  ui_->PlayButton->setIcon(playPicture());
  ui_->StopButton->setIcon(stopPicture());
  ui_->PlayButton->setIconSize({16, 16});
  ui_->StopButton->setIconSize({16, 16});

  // The fonts here are not those the window was drawn with: a text that would not fit its place
  // widens it rather than being cut.
  for (QLabel* label : centralWidget()->findChildren<QLabel*>()) fitLabel(label);
  for (QAbstractButton* b : centralWidget()->findChildren<QAbstractButton*>()) {
    if (qobject_cast<QPushButton*>(b)) continue;  // their size is the design's
    const QSize need = b->sizeHint();
    if (need.width() > b->width()) b->resize(need.width(), b->height());
  }

  // A fixed client area; the menu bar comes on top of it.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  centralWidget()->setFixedSize(kClientWidth, kClientHeight);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  move(kPlace);
}

void MainWindow::bindEvents() {
  MainWindowPresenter& p = *presenter_;
  for (const SliderSetting& s : sliderSettings()) {
    connect(s.slider, &QSlider::valueChanged, this, [&p, s] { p.settingChanged(s.setting); });
  }
  connect(ui_->PlayButton, &QPushButton::clicked, this, [&p] { p.playClicked(); });
  connect(ui_->StopButton, &QPushButton::clicked, this, [&p] { p.stopClicked(); });
  connect(ui_->PauseButton, &QPushButton::clicked, this, [&p] { p.pauseClicked(); });
  connect(ui_->exitItem, &QAction::triggered, this, [&p] { p.exitRequested(); });
  kelvak::setProgramExit(ui_->exitItem);  // F10 in the other windows too
  connect(ui_->aboutItem, &QAction::triggered, this, [&p] { p.aboutRequested(); });
  connect(ui_->helpItem, &QAction::triggered, this, [&p] { p.helpRequested(); });
  // A click on a menu item with a tick must not move the tick by itself: the handlers set both.
  connect(ui_->fileTextItem, &QAction::triggered, this, [this, &p](bool nowTicked) {
    ui_->fileTextItem->setChecked(!nowTicked);
    p.fileTextChosen();
  });
  connect(ui_->randomTextItem, &QAction::triggered, this, [this, &p](bool nowTicked) {
    ui_->randomTextItem->setChecked(!nowTicked);
    p.randomTextChosen();
  });
  connect(textKinds_, &QButtonGroup::idToggled, this, [&p](int, bool on) {
    if (on) p.textKindChanged();
  });
  connect(ui_->specialSignsBox, &QCheckBox::toggled, this, [&p] { p.textKindChanged(); });

  for (const SliderSetting& s : sliderSettings()) s.slider->installEventFilter(this);
  ui_->groupCountEdit->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && now->window() == this) activeControl_ = now;
  });
}

std::array<MainWindow::SliderSetting, 4> MainWindow::sliderSettings() const {
  using kelvak::PromptedControl;
  using kelvak::SoundSetting;
  return {{{ui_->speedSlider, SoundSetting::Speed, PromptedControl::Speed},
           {ui_->signalSlider, SoundSetting::Signal, PromptedControl::Signal},
           {ui_->noiseSlider, SoundSetting::Noise, PromptedControl::Noise},
           {ui_->toneSlider, SoundSetting::Frequency, PromptedControl::Tone}}};
}

void MainWindow::followSoundIn(int ms) {
  if (ms >= 0) {
    soundFollower_->start(ms);
  } else {
    soundFollower_->stop();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The table is made anew for each call: keep a copy of the watched slider's row.
  std::optional<SliderSetting> slider;
  for (const SliderSetting& s : sliderSettings()) {
    if (watched == s.slider) slider = s;
  }
  switch (event->type()) {
    case QEvent::FocusIn:
      // Entering a control, not the window coming back to the front with the same control.
      if (!quietFocus_ && watched != activeControl_) {
        if (slider) {
          presenter_->controlEntered(slider->prompt);
        } else if (watched == ui_->groupCountEdit) {
          presenter_->controlEntered(kelvak::PromptedControl::GroupCount);
        }
      }
      break;
    case QEvent::MouseButtonRelease:
      // The end of a drag or of a click on the track notifies too, with the position unchanged.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (slider) presenter_->settingChanged(slider->setting);
      }
      break;
    case QEvent::KeyRelease: {
      // So does the end of a key press on the slider.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat() && isSliderKey(key->key())) {
        if (slider) presenter_->settingChanged(slider->setting);
      }
      break;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program exactly as the Exit command does.
  event->accept();
  presenter_->exitRequested();
}

void MainWindow::chooseTextKind(int kind) {
  if (QAbstractButton* item = textKinds_->button(kind)) item->setChecked(true);
}

void MainWindow::chooseSpeed(int speed) { ui_->speedSlider->setValue(speed); }

void MainWindow::showSettings(const kelvak::KeptSettings& s) {
  chooseTextKind(s.textKind);
  ui_->speedSlider->setValue(s.speed);
  ui_->toneSlider->setValue(s.frequency);
  ui_->signalSlider->setValue(s.signalPosition);
  ui_->noiseSlider->setValue(s.noisePosition);
  ui_->groupCountArrows->setPosition(s.groups);
  ui_->charPauseArrows->setPosition(s.charPause);
  ui_->groupPauseArrows->setPosition(s.groupPause);
  ui_->longZeroBox->setChecked(s.longZero);
  ui_->specialSignsBox->setChecked(s.specialSigns);
}

int MainWindow::groupCountLimit() const { return ui_->groupCountArrows->max(); }

void MainWindow::setLearningStatus(const std::string& utf8, const std::string& detail) {
  if (!learningStatus_) {
    learningStatus_ = new QLabel;
    learningStatus_->setObjectName("LearningStatus");
    ui_->statusLine->addPermanentWidget(learningStatus_);
  }
  learningStatus_->setText(QString::fromStdString(utf8));
  learningStatus_->setToolTip(QString::fromStdString(detail));
  learningStatus_->setAccessibleName(QString::fromStdString(detail));
  learningStatus_->setVisible(!utf8.empty());
  // The progress bar lies over the status bar's right part, where this label stands: while the
  // label shows, the bar ends before it, so the set and lesson are read whole.
  constexpr int kBarWidth = 273, kGap = 6;
  const int barRight = ui_->progressBar->x() + kBarWidth;
  const int labelLeft = kClientWidth - learningStatus_->sizeHint().width() - 2 * kGap;
  ui_->progressBar->resize(
      utf8.empty() ? kBarWidth : std::min(kBarWidth, kBarWidth - (barRight - labelLeft)),
      ui_->progressBar->height());
}

void MainWindow::insertTrainingMenu(QMenu* menu) {
  menu->setParent(ui_->mainMenu, menu->windowFlags());
  ui_->mainMenu->insertMenu(ui_->helpMenu->menuAction(), menu);
}

QAction* MainWindow::addTextMenuItem(const QString& text) { return ui_->textMenu->addAction(text); }

void MainWindow::fitLabel(QLabel* label) {
  // Labels size themselves to their text, as the value labels change.
  label->resize(label->sizeHint().width(), label->height());
}

void MainWindow::setUpSetting(kelvak::Setting setting, int low, int high, int position) {
  QSlider* slider = nullptr;
  QLabel* ends[2] = {nullptr, nullptr};  // the numbers at the slider's two ends
  UpDown* arrows = nullptr;
  switch (setting) {
    case Setting::Speed:
      slider = ui_->speedSlider;
      ends[0] = ui_->speedMinLabel;
      ends[1] = ui_->speedMaxLabel;
      break;
    case Setting::Tone:
      slider = ui_->toneSlider;
      ends[0] = ui_->toneMinLabel;
      ends[1] = ui_->toneMaxLabel;
      break;
    case Setting::Signal:
      slider = ui_->signalSlider;
      slider->setTickInterval(high - low);  // a tick at either end
      break;
    case Setting::Noise:
      slider = ui_->noiseSlider;
      break;
    case Setting::Groups:
      arrows = ui_->groupCountArrows;
      break;
    case Setting::CharPause:
      arrows = ui_->charPauseArrows;
      break;
    case Setting::GroupPause:
      arrows = ui_->groupPauseArrows;
      break;
  }
  if (slider) {
    slider->setRange(low, high);
    slider->setValue(position);
  }
  if (arrows) {
    arrows->setMin(low);
    arrows->setMax(high);
    arrows->setPosition(position);
  }
  for (int end = 0; end < 2; ++end) {
    if (!ends[end]) continue;
    ends[end]->setText(QString::number(end == 0 ? low : high));
    fitLabel(ends[end]);
  }
}

void MainWindow::showSettingValue(kelvak::SoundSetting slider, int value) {
  QLabel* const labels[] = {ui_->speedValue, ui_->signalValue, ui_->noiseValue, ui_->toneValue};
  QLabel* label = labels[static_cast<int>(slider)];
  label->setText(QString::number(value));
  fitLabel(label);
}

std::optional<std::string> MainWindow::chooseTextFile() {
  QFileDialog openDialog(this, QString::fromUtf8(kOpenDialogTitle), QString(),
                         QString::fromUtf8(kAllFilesFilter));
  // Our own dialog, so that a name can be typed, also of a file that does not exist.
  openDialog.setOption(QFileDialog::DontUseNativeDialog);
  openDialog.setOption(QFileDialog::HideNameFilterDetails);
  openDialog.setAcceptMode(QFileDialog::AcceptOpen);
  openDialog.setFileMode(QFileDialog::AnyFile);
  kelvak::fitFileDialog(openDialog);
  if (!fileDialog_(openDialog)) return std::nullopt;
  const QStringList chosen = openDialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QFile::encodeName(chosen.front()).toStdString();
}

std::optional<std::string> MainWindow::chooseSoundFile(const std::string& suggestedName) {
  return kelvak::askSoundFileName(this, suggestedName, fileDialog_);
}

kelvak::ExportRun MainWindow::runExport(const std::string& fileName,
                                        const kelvak::ExportWork& work) {
  return kelvak::runExportWithProgress(this, fileName, work);
}

void MainWindow::quit() { QCoreApplication::exit(0); }

void MainWindow::showAbout() {
  if (aboutBox_) aboutBox_->showInFront();
}

void MainWindow::showHelp() {
  if (helpWindow_) helpWindow_->showInFront();
}

// --- what the transmission reads and writes ---

int MainWindow::speed() const { return ui_->speedSlider->value(); }
int MainWindow::textKind() const { return textKinds_->checkedId(); }
int MainWindow::frequency() const { return ui_->toneSlider->value(); }
int MainWindow::signalPosition() const { return ui_->signalSlider->value(); }
int MainWindow::noisePosition() const { return ui_->noiseSlider->value(); }
std::string MainWindow::groupCountText() const { return ui_->groupCountEdit->text().toStdString(); }
std::string MainWindow::charPauseText() const { return ui_->charPauseEdit->text().toStdString(); }
std::string MainWindow::groupPauseText() const { return ui_->groupPauseEdit->text().toStdString(); }
bool MainWindow::randomSource() const { return ui_->randomTextItem->isChecked(); }
bool MainWindow::longZero() const { return ui_->longZeroBox->isChecked(); }
bool MainWindow::specialSigns() const { return ui_->specialSignsBox->isChecked(); }

void MainWindow::setEnabledQuietly(QWidget* control, bool on) {
  const bool wasQuiet = quietFocus_;
  quietFocus_ = true;
  control->setEnabled(on);
  quietFocus_ = wasQuiet;
}

void MainWindow::setPlayEnabled(bool on) { setEnabledQuietly(ui_->PlayButton, on); }
void MainWindow::setStopEnabled(bool on) { setEnabledQuietly(ui_->StopButton, on); }
void MainWindow::setPauseEnabled(bool on) { setEnabledQuietly(ui_->PauseButton, on); }
void MainWindow::setPauseDown(bool down) { ui_->PauseButton->setChecked(down); }
void MainWindow::setGroupCountEnabled(bool on) { setEnabledQuietly(ui_->groupCountEdit, on); }
void MainWindow::setTextKindEnabled(bool on) { setEnabledQuietly(ui_->textKindBox, on); }

void MainWindow::clearText() { ui_->textPane->clear(); }

void MainWindow::appendText(const std::string& utf8) {
  // The pane follows the newest characters unless the user has scrolled back to read.
  QScrollBar* bar = ui_->textPane->verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  QTextCursor end(ui_->textPane->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QString::fromStdString(utf8));
  if (following) bar->setValue(bar->maximum());
  // Shown at once: at the end of a transmission the window waits for the sound and paints nothing
  // else, while the last characters still appear as they sound.
  ui_->textPane->viewport()->repaint();
}

void MainWindow::setStatusText(const std::string& utf8) { setStatusText(utf8, std::string()); }

void MainWindow::setStatusText(const std::string& utf8, const std::string& detail) {
  ui_->statusLine->showMessage(QString::fromStdString(utf8));
  // Whatever the line cannot hold, such as whole paths, in its tooltip and for a screen reader;
  // a new text takes the old detail away.
  ui_->statusLine->setToolTip(QString::fromStdString(detail));
  ui_->statusLine->setAccessibleDescription(QString::fromStdString(detail));
  // The forming prompt must be seen although no event is handled until the forming ends.
  if (ui_->statusLine->isVisible()) ui_->statusLine->repaint();
}

QString MainWindow::statusText() const { return ui_->statusLine->currentMessage(); }

void MainWindow::setProgressMax(std::uint16_t max) {
  progressMax_ = max;
  if (progressPos_ > max) progressPos_ = max;
  // A range of 0..0 would turn the bar into a busy indicator; an empty bar is meant.
  ui_->progressBar->setRange(0, max == 0 ? 1 : max);
  ui_->progressBar->setValue(progressPos_);
}

void MainWindow::setProgressPosition(std::uint16_t position) {
  progressPos_ = position > progressMax_ ? progressMax_ : position;
  ui_->progressBar->setValue(progressPos_);  // repaints at once when the bar visibly moves
}

void MainWindow::showMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, this);
  messageBox_(box);
}

void MainWindow::setSourceChecks(bool randomTicked) {
  ui_->randomTextItem->setChecked(randomTicked);
  ui_->fileTextItem->setChecked(!randomTicked);
}

void MainWindow::setGroupCountMax(int max) { ui_->groupCountArrows->setMax(max); }
void MainWindow::setGroupCount(int groups) { ui_->groupCountArrows->setPosition(groups); }

}  // namespace kelvak

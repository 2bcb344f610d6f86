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
#include <tuple>

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

using kelvak::SoundSetting;

constexpr int kClientWidth = 631;   // [px]
constexpr int kClientHeight = 337;  // [px], without the menu bar
constexpr QPoint kPlace{108, 293};  // [px] on the screen
constexpr int kFontPixels = 11;     // [px] the window's text
constexpr int kPanePixels = 16;     // [px] the text pane's characters

// Prompts shown when a control receives the keyboard focus.
const char* const kSpeedPrompt = "Выберите скорость воспроизведения (групп в минуту)";
const char* const kSignalPrompt = "Выберите уровень полезного сигнала в процентах";
const char* const kNoisePrompt = "Выберите уровень помехи в процентах (advansed users only)";
const char* const kFrequencyPrompt = "Выберите частоту полезного сигнала в герцах";
const char* const kGroupCountPrompt = "Выберите количаство групп в воспроизводимом тексте";

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
      gate_(gate),
      ownTimer_(timer ? nullptr : std::make_unique<kelvak::QtTimer>([this] { tick(); })),
      timer_(timer ? *timer : *ownTimer_),
      engine_(*this, timer_, device, random_),
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

  const std::tuple<UpDown*, QLineEdit*, Setting> fields[] = {
      {ui_->groupCountArrows, ui_->groupCountEdit, Setting::Groups},
      {ui_->charPauseArrows, ui_->charPauseEdit, Setting::CharPause},
      {ui_->groupPauseArrows, ui_->groupPauseEdit, Setting::GroupPause}};
  for (const auto& [arrows, field, setting] : fields) {
    const SettingRow& row = settingRow(setting);
    arrows->setAssociate(field);
    arrows->setMin(row.low);
    arrows->setMax(row.high);
    arrows->setPosition(row.initial);
  }

  applyLook();
  bindEvents();
  soundFollower_ = new QTimer(this);
  soundFollower_->setTimerType(Qt::PreciseTimer);
  soundFollower_->setSingleShot(true);
  connect(soundFollower_, &QTimer::timeout, this, [this] { followSound(); });
  // Beside the described menu: the next transmission saved as a sound file.
  ui_->textMenu->addSeparator();
  saveSoundItem = ui_->textMenu->addAction(QString::fromUtf8(kelvak::kSaveSoundCaption));
  connect(saveSoundItem, &QAction::triggered, this,
          [this] { dispatch(&MainWindow::saveSoundRequested); });
  kelvak::nameControlsForScreenReaders(*this);
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
  auto bind = [this](auto* sender, auto signal, Handler handler) {
    connect(sender, signal, this, [this, handler] { dispatch(handler); });
  };
  for (const SliderHandlers& s : sliderHandlers()) bind(s.slider, &QSlider::valueChanged, s.change);
  bind(ui_->PlayButton, &QPushButton::clicked, &MainWindow::playClicked);
  bind(ui_->StopButton, &QPushButton::clicked, &MainWindow::stopClicked);
  bind(ui_->PauseButton, &QPushButton::clicked, &MainWindow::pauseClicked);
  bind(ui_->exitItem, &QAction::triggered, &MainWindow::exitRequested);
  kelvak::setProgramExit(ui_->exitItem);  // F10 in the other windows too
  bind(ui_->aboutItem, &QAction::triggered, &MainWindow::aboutRequested);
  bind(ui_->helpItem, &QAction::triggered, &MainWindow::helpRequested);
  // A click on a menu item with a tick must not move the tick by itself: the handlers set both.
  connect(ui_->fileTextItem, &QAction::triggered, this, [this](bool nowTicked) {
    ui_->fileTextItem->setChecked(!nowTicked);
    dispatch(&MainWindow::fileTextChosen);
  });
  connect(ui_->randomTextItem, &QAction::triggered, this, [this](bool nowTicked) {
    ui_->randomTextItem->setChecked(!nowTicked);
    dispatch(&MainWindow::randomTextChosen);
  });

  for (const SliderHandlers& s : sliderHandlers()) s.slider->installEventFilter(this);
  ui_->groupCountEdit->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && now->window() == this) activeControl_ = now;
  });
}

std::array<MainWindow::SliderHandlers, 4> MainWindow::sliderHandlers() const {
  return {{{ui_->speedSlider, &MainWindow::speedChanged, &MainWindow::speedSliderEntered},
           {ui_->signalSlider, &MainWindow::signalChanged, &MainWindow::signalSliderEntered},
           {ui_->noiseSlider, &MainWindow::noiseChanged, &MainWindow::noiseSliderEntered},
           {ui_->toneSlider, &MainWindow::toneChanged, &MainWindow::toneSliderEntered}}};
}

void MainWindow::dispatch(Handler handler) {
  gate_.run([this, handler] { (this->*handler)(); });
  followSound();  // a tick wrote a block, or a transmission began, paused or ended
}

void MainWindow::followSound() {
  const int ms = engine_.followSound();
  if (ms >= 0) {
    soundFollower_->start(ms);
  } else {
    soundFollower_->stop();
  }
}

void MainWindow::tick() { dispatch(&MainWindow::timerTicked); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The table is made anew for each call: keep a copy of the watched slider's row.
  std::optional<SliderHandlers> slider;
  for (const SliderHandlers& s : sliderHandlers()) {
    if (watched == s.slider) slider = s;
  }
  switch (event->type()) {
    case QEvent::FocusIn:
      // Entering a control, not the window coming back to the front with the same control.
      if (!quietFocus_ && watched != activeControl_) {
        const Handler enter = slider                           ? slider->enter
                              : watched == ui_->groupCountEdit ? &MainWindow::groupCountEntered
                                                               : nullptr;
        if (enter) dispatch(enter);
      }
      break;
    case QEvent::MouseButtonRelease:
      // The end of a drag or of a click on the track notifies too, with the position unchanged.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (slider) dispatch(slider->change);
      }
      break;
    case QEvent::KeyRelease: {
      // So does the end of a key press on the slider.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat() && isSliderKey(key->key())) {
        if (slider) dispatch(slider->change);
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
  engine_.shutdown();
  QCoreApplication::exit(0);
}

void MainWindow::chooseTextKind(int kind) {
  if (QAbstractButton* item = textKinds_->button(kind)) item->setChecked(true);
}

void MainWindow::chooseSpeed(int speed) { ui_->speedSlider->setValue(speed); }

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

void MainWindow::watchTextKind(std::function<void()> changed) {
  for (auto& c : kindWatch_) disconnect(c);
  if (!changed) return;
  kindWatch_[0] = connect(textKinds_, &QButtonGroup::idToggled, this, [changed](int, bool on) {
    if (on) changed();
  });
  kindWatch_[1] =
      connect(ui_->specialSignsBox, &QCheckBox::toggled, this, [changed] { changed(); });
}

void MainWindow::stopTransmission() {
  if (engine_.open()) stopClicked();
}

void MainWindow::insertTrainingMenu(QMenu* menu) {
  menu->setParent(ui_->mainMenu, menu->windowFlags());
  ui_->mainMenu->insertMenu(ui_->helpMenu->menuAction(), menu);
}

// --- handlers ---

void MainWindow::fitLabel(QLabel* label) {
  // Labels size themselves to their text, as the value labels change.
  label->resize(label->sizeHint().width(), label->height());
}

void MainWindow::writeLevel(QLabel* label, int position) {
  label->setText(QString::number(kelvak::levelPercent(position)));
  fitLabel(label);
}

void MainWindow::speedChanged() {
  ui_->speedValue->setText(QString::number(ui_->speedSlider->value()));
  fitLabel(ui_->speedValue);
  engine_.soundSettingChanged(SoundSetting::Speed);
}

void MainWindow::signalChanged() {
  writeLevel(ui_->signalValue, ui_->signalSlider->value());
  engine_.soundSettingChanged(SoundSetting::Signal);
}

void MainWindow::noiseChanged() {
  writeLevel(ui_->noiseValue, ui_->noiseSlider->value());
  engine_.soundSettingChanged(SoundSetting::Noise);
}

void MainWindow::toneChanged() {
  ui_->toneValue->setText(QString::number(ui_->toneSlider->value()));
  fitLabel(ui_->toneValue);
  engine_.soundSettingChanged(SoundSetting::Frequency);
}

void MainWindow::speedSliderEntered() { setStatusText(kSpeedPrompt); }
void MainWindow::signalSliderEntered() { setStatusText(kSignalPrompt); }
void MainWindow::noiseSliderEntered() { setStatusText(kNoisePrompt); }
void MainWindow::toneSliderEntered() { setStatusText(kFrequencyPrompt); }
void MainWindow::groupCountEntered() { setStatusText(kGroupCountPrompt); }

void MainWindow::fileTextChosen() {
  QFileDialog openDialog(this, QString::fromUtf8(kOpenDialogTitle), QString(),
                         QString::fromUtf8(kAllFilesFilter));
  // Our own dialog, so that a name can be typed, also of a file that does not exist.
  openDialog.setOption(QFileDialog::DontUseNativeDialog);
  openDialog.setOption(QFileDialog::HideNameFilterDetails);
  openDialog.setAcceptMode(QFileDialog::AcceptOpen);
  openDialog.setFileMode(QFileDialog::AnyFile);
  kelvak::fitFileDialog(openDialog);
  if (!fileDialog_(openDialog)) return;
  const QStringList chosen = openDialog.selectedFiles();
  if (chosen.isEmpty()) return;
  engine_.loadFile(QFile::encodeName(chosen.front()).toStdString());
}

void MainWindow::randomTextChosen() { engine_.useRandomText(); }

void MainWindow::exitRequested() {
  // Ends the message loop at once; the sound stops with it rather than playing on into the exit.
  engine_.shutdown();
  QCoreApplication::exit(0);
}

void MainWindow::aboutRequested() {
  if (aboutBox_) aboutBox_->showInFront();
}

void MainWindow::helpRequested() {
  if (helpWindow_) helpWindow_->showInFront();
}

void MainWindow::playClicked() {
  // A failed start has cleared the last transmission as well.
  try {
    engine_.play();
  } catch (...) {
    if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
    throw;
  }
  if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
}
void MainWindow::stopClicked() { engine_.stopPlayback(); }
void MainWindow::pauseClicked() { engine_.pause(); }
void MainWindow::timerTicked() { engine_.tick(); }

void MainWindow::saveSoundRequested() {
  const kelvak::ExportOutcome outcome = kelvak::exportSoundFile(
      this, *this, random_, engine_.fileText(), engine_.filePath(), engine_.unitMs(), fileDialog_,
      [this](const kelvak::SymbolChoice& c) { return engine_.weightsFor(c); });
  // F10 during the export ends the program as it does elsewhere, once the export has cleaned up.
  if (outcome.quit) {
    exitRequested();
    return;
  }
  if (!outcome.saved) return;
  const kelvak::SavedExport& saved = *outcome.saved;
  const kelvak::StatusLine status = kelvak::savedExportStatus(saved);
  setStatusText(status.text, status.detail);
  if (trainingEvents_.exported) {
    trainingEvents_.exported(
        {saved.keyPath,
         kelvak::recordSettingsFor(saved.settings.forming(), !saved.settings.randomSource,
                                   engine_.filePath(), saved.symbols)});
  }
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

void MainWindow::setStatusText(const std::string& utf8) { setStatusText(utf8, ""); }

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

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
#include "ui_main_window.h"

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

TForm1::TForm1(kelvak::WaveDevice& device, kelvak::ErrorGate& gate, kelvak::Timer* timer,
               QWidget* parent)
    : QMainWindow(parent),
      gate_(gate),
      ownTimer_(timer ? nullptr : std::make_unique<kelvak::QtTimer>([this] { timer1Ticked(); })),
      Timer1(timer ? *timer : *ownTimer_),
      engine_(*this, Timer1, device, random_),
      fileDialog_([](QFileDialog& d) { return d.exec() == QDialog::Accepted; }),
      messageBox_(kelvak::execBox) {
  ui_ = std::make_unique<Ui::TForm1>();
  ui_->setupUi(this);

  RadioGroup1Items = new QButtonGroup(this);
  RadioGroup1Items->addButton(ui_->RadioGroup1Item0, 0);
  RadioGroup1Items->addButton(ui_->RadioGroup1Item1, 1);
  RadioGroup1Items->addButton(ui_->RadioGroup1Item2, 2);

  // "Random" is drawn as a radio item, "from file" with a check mark; the program sets both.
  auto* sourceGroup = new QActionGroup(this);
  sourceGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  sourceGroup->addAction(ui_->N2);

  ui_->UpDown1->setAssociate(ui_->Edit1);
  ui_->UpDown1->setMin(0);
  ui_->UpDown1->setMax(kelvak::kRandomGroupCountMax);
  ui_->UpDown1->setPosition(30);
  ui_->UpDown2->setAssociate(ui_->Edit2);
  ui_->UpDown2->setMin(1);
  ui_->UpDown2->setMax(5);
  ui_->UpDown2->setPosition(1);
  ui_->UpDown3->setAssociate(ui_->Edit3);
  ui_->UpDown3->setMin(1);
  ui_->UpDown3->setMax(5);
  ui_->UpDown3->setPosition(2);

  applyLook();
  bindEvents();
  soundFollower_ = new QTimer(this);
  soundFollower_->setTimerType(Qt::PreciseTimer);
  soundFollower_->setSingleShot(true);
  connect(soundFollower_, &QTimer::timeout, this, [this] { followSound(); });
  // Beside the described menu: the next transmission saved as a sound file.
  ui_->Menu->addSeparator();
  SaveSound = ui_->Menu->addAction(QString::fromUtf8(kelvak::kSaveSoundCaption));
  connect(SaveSound, &QAction::triggered, this,
          [this] { dispatch(&TForm1::SaveSoundClick, SaveSound); });
  kelvak::nameControlsForScreenReaders(*this);
  // The first control of the tab order has the focus when the window first becomes active.
  ui_->TrackBar1->setFocus(Qt::OtherFocusReason);
}

TForm1::~TForm1() = default;

void TForm1::setSecondaryWindows(TAboutBox* aboutBox, TForm2* helpWindow) {
  AboutBox = aboutBox;
  Form2 = helpWindow;
}

void TForm1::applyLook() {
  // Menus are windows of their own and take the window's font only when asked to.
  for (QMenu* menu : {ui_->Menu, ui_->N3}) menu->setAttribute(Qt::WA_WindowPropagation);
  setFont(kelvak::sansFont(kFontPixels));

  ui_->Memo1->setFont(kelvak::monoFont(kPanePixels));
  QPalette pane = ui_->Memo1->palette();
  pane.setColor(QPalette::Base, Qt::black);
  pane.setColor(QPalette::Text, Qt::red);
  // The selection stays visible when the pane does not have the focus.
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    pane.setColor(QPalette::Inactive, role, pane.color(QPalette::Active, role));
  }
  ui_->Memo1->setPalette(pane);

  auto* levelStyle = new LevelSliderStyle;
  levelStyle->setParent(this);
  ui_->TrackBar2->setStyle(levelStyle);
  ui_->TrackBar3->setStyle(levelStyle);

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

void TForm1::bindEvents() {
  auto bind = [this](auto* sender, auto signal, Handler handler) {
    connect(sender, signal, this, [this, sender, handler] { dispatch(handler, sender); });
  };
  for (const SliderHandlers& s : sliderHandlers()) bind(s.slider, &QSlider::valueChanged, s.change);
  bind(ui_->PlayButton, &QPushButton::clicked, &TForm1::PlayButtonClick);
  bind(ui_->StopButton, &QPushButton::clicked, &TForm1::StopButtonClick);
  bind(ui_->PauseButton, &QPushButton::clicked, &TForm1::PauseButtonClick);
  bind(ui_->N4, &QAction::triggered, &TForm1::N4Click);
  bind(ui_->N5, &QAction::triggered, &TForm1::N5Click);
  bind(ui_->Kelvak1, &QAction::triggered, &TForm1::Kelvak1Click);
  // A click on a menu item with a tick must not move the tick by itself: the handlers set both.
  connect(ui_->N1, &QAction::triggered, this, [this](bool nowTicked) {
    ui_->N1->setChecked(!nowTicked);
    dispatch(&TForm1::N1Click, ui_->N1);
  });
  connect(ui_->N2, &QAction::triggered, this, [this](bool nowTicked) {
    ui_->N2->setChecked(!nowTicked);
    dispatch(&TForm1::N2Click, ui_->N2);
  });

  for (const SliderHandlers& s : sliderHandlers()) s.slider->installEventFilter(this);
  ui_->Edit1->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && now->window() == this) activeControl_ = now;
  });
}

std::array<TForm1::SliderHandlers, 4> TForm1::sliderHandlers() const {
  return {{{ui_->TrackBar1, &TForm1::TrackBar1Change, &TForm1::TrackBar1Enter},
           {ui_->TrackBar2, &TForm1::TrackBar2Change, &TForm1::TrackBar2Enter},
           {ui_->TrackBar3, &TForm1::TrackBar3Change, &TForm1::TrackBar3Enter},
           {ui_->TrackBar4, &TForm1::TrackBar4Change, &TForm1::TrackBar4Enter}}};
}

void TForm1::dispatch(Handler handler, QObject* sender) {
  gate_.run([this, handler, sender] { (this->*handler)(sender); });
  followSound();  // a tick wrote a block, or a transmission began, paused or ended
}

void TForm1::followSound() {
  const int ms = engine_.followSound();
  if (ms >= 0) {
    soundFollower_->start(ms);
  } else {
    soundFollower_->stop();
  }
}

void TForm1::timer1Ticked() { dispatch(&TForm1::Timer1Timer, nullptr); }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The table is made anew for each call: keep a copy of the watched slider's row.
  std::optional<SliderHandlers> slider;
  for (const SliderHandlers& s : sliderHandlers()) {
    if (watched == s.slider) slider = s;
  }
  switch (event->type()) {
    case QEvent::FocusIn:
      // Entering a control, not the window coming back to the front with the same control.
      if (!quietFocus_ && watched != activeControl_) {
        const Handler enter = slider                  ? slider->enter
                              : watched == ui_->Edit1 ? &TForm1::Edit1Enter
                                                      : nullptr;
        if (enter) dispatch(enter, watched);
      }
      break;
    case QEvent::MouseButtonRelease:
      // The end of a drag or of a click on the track notifies too, with the position unchanged.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (slider) dispatch(slider->change, watched);
      }
      break;
    case QEvent::KeyRelease: {
      // So does the end of a key press on the slider.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat() && isSliderKey(key->key())) {
        if (slider) dispatch(slider->change, watched);
      }
      break;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program exactly as the Exit command does.
  event->accept();
  engine_.shutdown();
  QCoreApplication::exit(0);
}

void TForm1::chooseTextKind(int kind) {
  if (QAbstractButton* item = RadioGroup1Items->button(kind)) item->setChecked(true);
}

void TForm1::chooseSpeed(int speed) { ui_->TrackBar1->setValue(speed); }

void TForm1::setLearningStatus(const std::string& utf8, const std::string& detail) {
  if (!learningStatus_) {
    learningStatus_ = new QLabel;
    learningStatus_->setObjectName("LearningStatus");
    ui_->StatusBar1->addPermanentWidget(learningStatus_);
  }
  learningStatus_->setText(QString::fromStdString(utf8));
  learningStatus_->setToolTip(QString::fromStdString(detail));
  learningStatus_->setAccessibleName(QString::fromStdString(detail));
  learningStatus_->setVisible(!utf8.empty());
}

void TForm1::watchTextKind(std::function<void()> changed) {
  for (auto& c : kindWatch_) disconnect(c);
  if (!changed) return;
  kindWatch_[0] =
      connect(RadioGroup1Items, &QButtonGroup::idToggled, this, [changed](int, bool on) {
        if (on) changed();
      });
  kindWatch_[1] = connect(ui_->CheckBox2, &QCheckBox::toggled, this, [changed] { changed(); });
}

void TForm1::stopTransmission() {
  if (engine_.open()) StopButtonClick(ui_->StopButton);
}

void TForm1::insertTrainingMenu(QMenu* menu) {
  menu->setParent(ui_->MainMenu1, menu->windowFlags());
  ui_->MainMenu1->insertMenu(ui_->N3->menuAction(), menu);
}

// --- handlers ---

void TForm1::fitLabel(QLabel* label) {
  // Labels size themselves to their text, as the value labels change.
  label->resize(label->sizeHint().width(), label->height());
}

void TForm1::writeLevel(QLabel* label, int position) {
  label->setText(QString::number(kelvak::levelPercent(position)));
  fitLabel(label);
}

void TForm1::TrackBar1Change(QObject*) {
  ui_->Label4->setText(QString::number(ui_->TrackBar1->value()));
  fitLabel(ui_->Label4);
  engine_.soundSettingChanged(SoundSetting::Speed);
}

void TForm1::TrackBar2Change(QObject*) {
  writeLevel(ui_->Label8, ui_->TrackBar2->value());
  engine_.soundSettingChanged(SoundSetting::Signal);
}

void TForm1::TrackBar3Change(QObject*) {
  writeLevel(ui_->Label9, ui_->TrackBar3->value());
  engine_.soundSettingChanged(SoundSetting::Noise);
}

void TForm1::TrackBar4Change(QObject*) {
  ui_->Label13->setText(QString::number(ui_->TrackBar4->value()));
  fitLabel(ui_->Label13);
  engine_.soundSettingChanged(SoundSetting::Frequency);
}

void TForm1::TrackBar1Enter(QObject*) { setStatusText(kSpeedPrompt); }
void TForm1::TrackBar2Enter(QObject*) { setStatusText(kSignalPrompt); }
void TForm1::TrackBar3Enter(QObject*) { setStatusText(kNoisePrompt); }
void TForm1::TrackBar4Enter(QObject*) { setStatusText(kFrequencyPrompt); }
void TForm1::Edit1Enter(QObject*) { setStatusText(kGroupCountPrompt); }

void TForm1::N1Click(QObject*) {
  QFileDialog OpenDialog1(this, QString::fromUtf8(kOpenDialogTitle), QString(),
                          QString::fromUtf8(kAllFilesFilter));
  // Our own dialog, so that a name can be typed, also of a file that does not exist.
  OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
  OpenDialog1.setOption(QFileDialog::HideNameFilterDetails);
  OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog1.setFileMode(QFileDialog::AnyFile);
  kelvak::fitFileDialog(OpenDialog1);
  if (!fileDialog_(OpenDialog1)) return;
  const QStringList chosen = OpenDialog1.selectedFiles();
  if (chosen.isEmpty()) return;
  engine_.loadFile(QFile::encodeName(chosen.front()).toStdString());
}

void TForm1::N2Click(QObject*) { engine_.useRandomText(); }

void TForm1::N4Click(QObject*) {
  // Ends the message loop at once; the sound stops with it rather than playing on into the exit.
  engine_.shutdown();
  QCoreApplication::exit(0);
}

void TForm1::N5Click(QObject*) {
  if (AboutBox) AboutBox->showInFront();
}

void TForm1::Kelvak1Click(QObject*) {
  if (Form2) Form2->showInFront();
}

void TForm1::PlayButtonClick(QObject*) {
  // A failed start has cleared the last transmission as well.
  try {
    engine_.play();
  } catch (...) {
    if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
    throw;
  }
  if (trainingEvents_.transmissionStarted) trainingEvents_.transmissionStarted();
}
void TForm1::StopButtonClick(QObject*) { engine_.stopPlayback(); }
void TForm1::PauseButtonClick(QObject*) { engine_.pause(); }
void TForm1::Timer1Timer(QObject*) { engine_.tick(); }

void TForm1::SaveSoundClick(QObject* Sender) {
  const kelvak::ExportOutcome outcome = kelvak::exportSoundFile(
      this, *this, random_, engine_.fileText(), engine_.filePath(), engine_.unitMs(), fileDialog_,
      [this](const kelvak::SymbolChoice& c) { return engine_.weightsFor(c); });
  // F10 during the export ends the program as it does elsewhere, once the export has cleaned up.
  if (outcome.quit) {
    N4Click(Sender);
    return;
  }
  if (!outcome.saved) return;
  const kelvak::SavedExport& saved = *outcome.saved;
  setStatusText(kelvak::savedExportStatus(saved));
  if (trainingEvents_.exported) {
    trainingEvents_.exported(
        {saved.keyPath,
         kelvak::recordSettingsFor(saved.settings.forming(), !saved.settings.randomSource,
                                   engine_.filePath(), saved.symbols)});
  }
}

// --- what the transmission reads and writes ---

int TForm1::speed() const { return ui_->TrackBar1->value(); }
int TForm1::textKind() const { return RadioGroup1Items->checkedId(); }
int TForm1::frequency() const { return ui_->TrackBar4->value(); }
int TForm1::signalPosition() const { return ui_->TrackBar2->value(); }
int TForm1::noisePosition() const { return ui_->TrackBar3->value(); }
std::string TForm1::groupCountText() const { return ui_->Edit1->text().toStdString(); }
std::string TForm1::charPauseText() const { return ui_->Edit2->text().toStdString(); }
std::string TForm1::groupPauseText() const { return ui_->Edit3->text().toStdString(); }
bool TForm1::randomSource() const { return ui_->N2->isChecked(); }
bool TForm1::longZero() const { return ui_->CheckBox1->isChecked(); }
bool TForm1::specialSigns() const { return ui_->CheckBox2->isChecked(); }

void TForm1::setEnabledQuietly(QWidget* control, bool on) {
  const bool wasQuiet = quietFocus_;
  quietFocus_ = true;
  control->setEnabled(on);
  quietFocus_ = wasQuiet;
}

void TForm1::setPlayEnabled(bool on) { setEnabledQuietly(ui_->PlayButton, on); }
void TForm1::setStopEnabled(bool on) { setEnabledQuietly(ui_->StopButton, on); }
void TForm1::setPauseEnabled(bool on) { setEnabledQuietly(ui_->PauseButton, on); }
void TForm1::setPauseDown(bool down) { ui_->PauseButton->setChecked(down); }
void TForm1::setGroupCountEnabled(bool on) { setEnabledQuietly(ui_->Edit1, on); }
void TForm1::setTextKindEnabled(bool on) { setEnabledQuietly(ui_->RadioGroup1, on); }

void TForm1::clearText() { ui_->Memo1->clear(); }

void TForm1::appendText(const std::string& utf8) {
  // The pane follows the newest characters unless the user has scrolled back to read.
  QScrollBar* bar = ui_->Memo1->verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  QTextCursor end(ui_->Memo1->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QString::fromStdString(utf8));
  if (following) bar->setValue(bar->maximum());
  // Shown at once: at the end of a transmission the window waits for the sound and paints nothing
  // else, while the last characters still appear as they sound.
  ui_->Memo1->viewport()->repaint();
}

void TForm1::setStatusText(const std::string& utf8) {
  ui_->StatusBar1->showMessage(QString::fromStdString(utf8));
  // The forming prompt must be seen although no event is handled until the forming ends.
  if (ui_->StatusBar1->isVisible()) ui_->StatusBar1->repaint();
}

QString TForm1::statusText() const { return ui_->StatusBar1->currentMessage(); }

void TForm1::setProgressMax(std::uint16_t max) {
  progressMax_ = max;
  if (progressPos_ > max) progressPos_ = max;
  // A range of 0..0 would turn the bar into a busy indicator; an empty bar is meant.
  ui_->ProgressBar1->setRange(0, max == 0 ? 1 : max);
  ui_->ProgressBar1->setValue(progressPos_);
}

void TForm1::setProgressPosition(std::uint16_t position) {
  progressPos_ = position > progressMax_ ? progressMax_ : position;
  ui_->ProgressBar1->setValue(progressPos_);  // repaints at once when the bar visibly moves
}

void TForm1::showMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, this);
  messageBox_(box);
}

void TForm1::setSourceChecks(bool randomTicked) {
  ui_->N2->setChecked(randomTicked);
  ui_->N1->setChecked(!randomTicked);
}

void TForm1::setGroupCountMax(int max) { ui_->UpDown1->setMax(max); }
void TForm1::setGroupCount(int groups) { ui_->UpDown1->setPosition(groups); }

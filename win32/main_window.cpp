// The main window's controls on the Windows API. Every event goes to the presenter, which decides;
// the window only reads and shows its controls.
#include "win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "presenter/export_worker.h"
#include "presenter/help_document.h"
#include "text/win32_strings.h"
#include "win32/frame.h"

namespace kelvak::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"KelvakMainWindow";
constexpr wchar_t kProgressClass[] = L"KelvakExportProgress";
constexpr wchar_t kHelpClass[] = L"KelvakHelpWindow";
constexpr wchar_t kTitle[] = L"Kelvak";
constexpr int kClientWidth = 631, kClientHeight = 337;  // [px], below the menu bar
constexpr POINT kPlace{108, 293};
constexpr UINT_PTR kFollowTimer = 1;  // the pane follows the sound
constexpr UINT kPostedMessage = WM_APP + 3;  // lParam: a std::function<void()> to run and delete

enum Id : int {
  kTextPane = 100,
  kGroupCountCaption, kGroupCountEdit, kGroupCountArrows,
  kPlayButton, kPauseCaption, kPauseButton, kCharPauseCaption, kGroupPauseCaption,
  kCharPauseEdit, kCharPauseArrows, kGroupPauseEdit, kGroupPauseArrows, kStopButton,
  kLongZeroBox, kSpecialSignsBox, kLevelPanel, kSignalCaption, kNoiseCaption, kSignalValue,
  kNoiseValue, kSignalSlider, kNoiseSlider, kToneCaption, kToneValue, kToneMinLabel,
  kToneMaxLabel, kToneSlider, kSpeedCaption, kSpeedValue, kSpeedMinLabel, kSpeedMaxLabel,
  kSpeedSlider, kTextKindBox, kDigitsButton, kLettersButton, kMixedButton,
  // menu items
  kFileTextItem = 200, kRandomTextItem, kSaveSoundItem, kHelpItem, kAboutItem, kExitItem,
};

// One control as designed: its class, text, style and place in the client area [px].
struct Design {
  int id;
  const wchar_t* windowClass;
  const wchar_t* text;
  DWORD style;
  RECT place;  // left, top, width, height
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kField = kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kArrows = kChild | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

// The controls in the keyboard's order, each with its place in the window; the level panel's
// controls are placed in the panel's coordinates plus its corner (8, 168). A field's width takes
// in its arrows (15 px), which sit inside it at its right. The numbers of the settings, in the
// fields, the value labels and at the sliders' ends, come from the settings table as the window
// opens (MainWindowPresenter::controlsMade).
const Design kDesign[] = {
    {kLevelPanel, L"STATIC", L"", kChild | SS_ETCHEDFRAME, {8, 168, 497, 145}},
    {kSpeedSlider, TRACKBAR_CLASSW, L"", kChild | WS_TABSTOP | TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS,
     {8 + 152, 168 + 104, 321, 22}},
    {kSignalSlider, TRACKBAR_CLASSW, L"", kChild | WS_TABSTOP | TBS_VERT | TBS_BOTH | TBS_NOTICKS,
     {8 + 9, 168 + 40, 40, 100}},
    {kNoiseSlider, TRACKBAR_CLASSW, L"", kChild | WS_TABSTOP | TBS_VERT | TBS_NOTICKS,
     {8 + 80, 168 + 40, 25, 100}},
    {kToneSlider, TRACKBAR_CLASSW, L"", kChild | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS,
     {8 + 152, 168 + 32, 321, 20}},
    {kGroupCountEdit, WC_EDITW, L"", kField, {360, 24, 33 + 15, 21}},
    {kTextPane, WC_EDITW, L"",
     kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
     {8, 8, 337, 153}},
    {kTextKindBox, WC_BUTTONW, L"Текст", kChild | BS_GROUPBOX, {512, 168, 73, 105}},
    {kDigitsButton, WC_BUTTONW, L"Цифры", kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
     {512 + 8, 168 + 20, 60, 17}},
    {kLettersButton, WC_BUTTONW, L"Буквы", kChild | BS_AUTORADIOBUTTON, {512 + 8, 168 + 46, 60, 17}},
    {kMixedButton, WC_BUTTONW, L"Смесь", kChild | BS_AUTORADIOBUTTON, {512 + 8, 168 + 72, 60, 17}},
    {kLongZeroBox, WC_BUTTONW, L"\"Длинный\" ноль (для цифр только)",
     kChild | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, {352, 120, 201, 17}},
    {kSpecialSignsBox, WC_BUTTONW, L"Использовать спец. символы",
     kChild | WS_TABSTOP | BS_AUTOCHECKBOX, {352, 144, 185, 17}},
    {kCharPauseEdit, WC_EDITW, L"", kField, {376, 80, 33 + 15, 21}},
    {kGroupPauseEdit, WC_EDITW, L"", kField, {472, 80, 33 + 15, 21}},
    {kPlayButton, WC_BUTTONW, L"&Play", kChild | WS_TABSTOP | BS_PUSHBUTTON, {552, 16, 75, 25}},
    {kStopButton, WC_BUTTONW, L"&Stop", kChild | WS_TABSTOP | BS_PUSHBUTTON, {552, 80, 75, 25}},
    // Pressed by the program alone, as the transmission pauses and resumes.
    {kPauseButton, WC_BUTTONW, L"Pa&use", kChild | BS_CHECKBOX | BS_PUSHLIKE, {552, 48, 73, 25}},
    {kGroupCountCaption, L"STATIC", L"Количество групп текста", kLabel, {360, 8, 150, 13}},
    {kPauseCaption, L"STATIC", L"Пауза (тире)", kLabel, {416, 48, 80, 13}},
    {kCharPauseCaption, L"STATIC", L"между знаками", kLabel, {352, 64, 100, 13}},
    {kGroupPauseCaption, L"STATIC", L"между группами", kLabel, {456, 64, 100, 13}},
    {kSignalCaption, L"STATIC", L"Сигнал, %", kLabel, {8 + 16, 168 + 8, 60, 13}},
    {kNoiseCaption, L"STATIC", L"Помеха, %", kLabel, {8 + 80, 168 + 8, 60, 13}},
    {kSignalValue, L"STATIC", L"", kLabel, {8 + 24, 168 + 24, 30, 13}},
    {kNoiseValue, L"STATIC", L"", kLabel, {8 + 94, 168 + 24, 30, 13}},
    {kToneCaption, L"STATIC", L"Частота, Hz", kLabel, {8 + 256, 168 + 8, 70, 13}},
    {kToneValue, L"STATIC", L"", kLabel, {8 + 336, 168 + 8, 40, 13}},
    {kToneMinLabel, L"STATIC", L"", kLabel, {8 + 168, 168 + 16, 30, 13}},
    {kToneMaxLabel, L"STATIC", L"", kLabel, {8 + 464, 168 + 16, 30, 13}},
    {kSpeedCaption, L"STATIC", L"Скорость (gr/min)", kLabel, {8 + 248, 168 + 80, 110, 13}},
    {kSpeedValue, L"STATIC", L"", kLabel, {8 + 376, 168 + 80, 30, 13}},
    {kSpeedMinLabel, L"STATIC", L"", kLabel, {8 + 152, 168 + 92, 20, 13}},
    {kSpeedMaxLabel, L"STATIC", L"", kLabel, {8 + 464, 168 + 92, 20, 13}},
};

// A slider: the setting it holds, its prompt, its value label and the labels at its two ends (0:
// none).
struct SliderRange {
  int id;
  Setting setting;
  SoundSetting sound;
  PromptedControl prompt;
  int valueLabel;
  int lowLabel, highLabel;
};
const SliderRange kSliders[] = {
    {kSpeedSlider, Setting::Speed, SoundSetting::Speed, PromptedControl::Speed, kSpeedValue,
     kSpeedMinLabel, kSpeedMaxLabel},
    {kSignalSlider, Setting::Signal, SoundSetting::Signal, PromptedControl::Signal, kSignalValue, 0,
     0},
    {kNoiseSlider, Setting::Noise, SoundSetting::Noise, PromptedControl::Noise, kNoiseValue, 0, 0},
    {kToneSlider, Setting::Tone, SoundSetting::Frequency, PromptedControl::Tone, kToneValue,
     kToneMinLabel, kToneMaxLabel},
};

// A field with arrows: the field, its arrows and the setting they hold.
struct ArrowField {
  int edit, arrows;
  Setting setting;
};
const ArrowField kArrowFields[] = {
    {kGroupCountEdit, kGroupCountArrows, Setting::Groups},
    {kCharPauseEdit, kCharPauseArrows, Setting::CharPause},
    {kGroupPauseEdit, kGroupPauseArrows, Setting::GroupPause},
};

std::wstring textOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The path a file dialog returned, which may be longer than MAX_PATH.
constexpr std::size_t kPathRoom = 32768;

}  // namespace

void ErrorBox::showErrorReport(const std::string& text) {
  MessageBoxW(owner_, wideOf(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
}

MainWindow::MainWindow(WaveDevice& device, ErrorGate& gate) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                     ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  createMenu();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, TRUE, WS_EX_CONTROLPARENT);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, kTitle, style, kPlace.x, kPlace.y,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, menu_,
                            instance, this);
  if (!window_) throw KelvakError("the main window cannot be made");
  timer_ = std::make_unique<Win32Timer>(window_, [this] { presenter_->timerTicked(); });
  presenter_ = std::make_unique<MainWindowPresenter>(*this, *timer_, device, gate);
  createControls();
}

MainWindow::~MainWindow() {
  timer_.reset();
  if (help_) DestroyWindow(help_);
  if (window_) DestroyWindow(window_);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(paneFont_),
                         static_cast<HGDIOBJ>(paneBrush_)}) {
    if (object) DeleteObject(object);
  }
}

void MainWindow::createMenu() {
  HMENU text = CreatePopupMenu();
  AppendMenuW(text, MF_STRING, kFileTextItem, L"&Из Файла...");
  AppendMenuW(text, MF_STRING, kRandomTextItem, L"&Случайный");
  // Beside the described menu: the next transmission saved as a sound file.
  AppendMenuW(text, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(text, MF_STRING, kSaveSoundItem, wideOf(kSaveSoundCaption).c_str());
  MENUITEMINFOW radio{};
  radio.cbSize = sizeof radio;
  radio.fMask = MIIM_FTYPE;
  radio.fType = MFT_STRING | MFT_RADIOCHECK;
  SetMenuItemInfoW(text, kRandomTextItem, FALSE, &radio);
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, kHelpItem, L"&Справка Kelvak\tF1");
  AppendMenuW(help, MF_STRING, kAboutItem, L"&О программе (и не только)...");
  menu_ = CreateMenu();
  textMenu_ = text;
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(text), L"&Текст");
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Справка");
  AppendMenuW(menu_, MF_STRING, kExitItem, L"&Выход\tF10");
  CheckMenuItem(menu_, kRandomTextItem, MF_CHECKED);
}

void MainWindow::insertMenu(HMENU popup, const wchar_t* title,
                            std::function<bool(int id)> commands) {
  // "Справка" is the menu bar's second item, after "Текст".
  InsertMenuW(menu_, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), title);
  DrawMenuBar(window_);
  menuCommands_.push_back(std::move(commands));
}

void MainWindow::post(std::function<void()> f) const {
  auto* posted = new std::function<void()>(std::move(f));
  if (!PostMessageW(window_, kPostedMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

void MainWindow::appendTextMenuItem(const wchar_t* text, std::function<void()> chosen) {
  static int nextId = 250;  // after the window's own items
  const int id = nextId++;
  AppendMenuW(textMenu_, MF_STRING, static_cast<UINT_PTR>(id), text);
  menuCommands_.push_back([id, chosen = std::move(chosen)](int chosenId) {
    if (chosenId != id) return false;
    chosen();
    return true;
  });
}

void MainWindow::createControls() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW face = metrics.lfMessageFont;
  face.lfHeight = -11;
  font_ = CreateFontIndirectW(&face);
  paneFont_ = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          FIXED_PITCH | FF_MODERN, L"Courier New");
  paneBrush_ = CreateSolidBrush(RGB(0, 0, 0));
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const Design& d : kDesign) {
    HWND c = CreateWindowExW(0, d.windowClass, d.text, d.style, d.place.left, d.place.top,
                             d.place.right, d.place.bottom, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), instance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(d.id == kTextPane ? paneFont_ : font_),
                 FALSE);
    // Every control tells when the focus enters it.
    SetWindowSubclass(c, controlProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
  }
  // The level panel lies behind its controls.
  SetWindowPos(control(kLevelPanel), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  for (const SliderRange& s : kSliders) {
    SendMessageW(control(s.id), TBM_SETPAGESIZE, 0,
                 s.id == kToneSlider ? 100 : s.id == kSpeedSlider ? 2 : 10);
  }
  for (const ArrowField& f : kArrowFields) {
    // Placed at the right of the field they belong to.
    HWND arrows = CreateWindowExW(0, UPDOWN_CLASSW, L"", kArrows, 0, 0, 15, 21, window_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(f.arrows)), instance,
                                  nullptr);
    SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control(f.edit)), 0);
  }
  SendMessageW(control(kGroupCountEdit), EM_SETLIMITTEXT, 3, 0);
  SendMessageW(control(kDigitsButton), BM_SETCHECK, BST_CHECKED, 0);
  EnableWindow(control(kStopButton), FALSE);
  EnableWindow(control(kPauseButton), FALSE);

  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", kChild | SBARS_TOOLTIPS, 0, 0, 0, 0, window_,
                            nullptr, instance, nullptr);
  SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  const int parts[] = {kClientWidth, -1};
  SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  // The progress bar lies over the status bar's right part.
  progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", kChild | PBS_SMOOTH, 320, 4, 273, 16,
                              status_, nullptr, instance, nullptr);
  SendMessageW(progress_, PBM_SETRANGE32, 0, progressMax_);
  presenter_->controlsMade();
}

int MainWindow::run() {
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // F10 ends the program from every window, as the Exit item does; F1 opens the help.
    if ((message.message == WM_SYSKEYDOWN || message.message == WM_KEYDOWN) &&
        (message.wParam == VK_F10 || message.wParam == VK_F1)) {
      if (message.wParam == VK_F10) {
        presenter_->exitRequested();
      } else {
        presenter_->helpRequested();
      }
      continue;
    }
    if (IsDialogMessageW(window_, &message) || takenAsDialogKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || !self->presenter_) return DefWindowProcW(window, message, w, l);
  return self->handle(message, w, l);
}

LRESULT CALLBACK MainWindow::controlProcedure(HWND control, UINT message, WPARAM w, LPARAM l,
                                              UINT_PTR, DWORD_PTR self) {
  if (message == WM_SETFOCUS) reinterpret_cast<MainWindow*>(self)->focusEntered(control);
  return DefSubclassProc(control, message, w, l);
}

void MainWindow::focusEntered(HWND entered) {
  // Entering a control, not the window coming back to the front with the same control.
  const bool same = entered == lastFocus_;
  lastFocus_ = entered;
  if (quietFocus_ || same) return;
  const int id = GetDlgCtrlID(entered);
  for (const SliderRange& s : kSliders) {
    if (id == s.id) presenter_->controlEntered(s.prompt);
  }
  if (id == kGroupCountEdit) presenter_->controlEntered(PromptedControl::GroupCount);
}

LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      command(LOWORD(w), HIWORD(w));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (l) scrolled(reinterpret_cast<HWND>(l), LOWORD(w));
      return 0;
    case WM_TIMER:
      if (w == kFollowTimer) {
        KillTimer(window_, kFollowTimer);
        presenter_->soundFollowDue();
      }
      return 0;
    case kTimerShotMessage:
      timer_->shotArrived(w);
      return 0;
    case kPostedMessage: {
      const std::unique_ptr<std::function<void()>> f(reinterpret_cast<std::function<void()>*>(l));
      (*f)();
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(l) == control(kTextPane)) {
        auto dc = reinterpret_cast<HDC>(w);
        SetTextColor(dc, RGB(255, 0, 0));
        SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(paneBrush_);
      }
      break;
    case WM_ACTIVATE:
      // The control that had the focus has it again when the window comes back to the front;
      // at the first activation, the first control of the keyboard's order.
      if (LOWORD(w) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus && IsChild(window_, focus)) lastFocus_ = focus;
      } else {
        SetFocus(lastFocus_ ? lastFocus_ : control(kSpeedSlider));
      }
      return 0;
    case WM_CLOSE:
      // Closing the main window ends the program exactly as the Exit command does.
      presenter_->exitRequested();
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

void MainWindow::command(int id, int code) {
  switch (id) {
    case kPlayButton:
      presenter_->playClicked();
      break;
    case kStopButton:
      presenter_->stopClicked();
      break;
    case kPauseButton:
      presenter_->pauseClicked();
      break;
    case kDigitsButton:
    case kLettersButton:
    case kMixedButton:
    case kSpecialSignsBox:
      if (code == BN_CLICKED) presenter_->textKindChanged();
      break;
    case kFileTextItem:
      presenter_->fileTextChosen();
      break;
    case kRandomTextItem:
      presenter_->randomTextChosen();
      break;
    case kSaveSoundItem:
      presenter_->saveSoundRequested();
      break;
    case kHelpItem:
      presenter_->helpRequested();
      break;
    case kAboutItem:
      presenter_->aboutRequested();
      break;
    case kExitItem:
      presenter_->exitRequested();
      break;
    default:
      for (const auto& other : menuCommands_) {
        if (other(id)) break;
      }
      break;
  }
}

void MainWindow::scrolled(HWND slider, int code) {
  // Every move notifies, and so does the end of a drag or a key press, even without a move; the
  // thumb's last place is the one its drag already gave.
  if (code == TB_THUMBPOSITION) return;
  const int id = GetDlgCtrlID(slider);
  for (const SliderRange& s : kSliders) {
    if (id == s.id) presenter_->settingChanged(s.sound);
  }
}

// --- what the transmission reads ---

int MainWindow::sliderValue(int id) const {
  return static_cast<int>(SendMessageW(control(id), TBM_GETPOS, 0, 0));
}

void MainWindow::setSliderValue(int id, int value) {
  if (sliderValue(id) == value) return;
  SendMessageW(control(id), TBM_SETPOS, TRUE, value);
  for (const SliderRange& s : kSliders) {
    if (id == s.id) presenter_->settingChanged(s.sound);
  }
}

std::string MainWindow::fieldText(int id) const { return utf8OfWide(textOf(control(id))); }

int MainWindow::speed() const { return sliderValue(kSpeedSlider); }
int MainWindow::frequency() const { return sliderValue(kToneSlider); }
int MainWindow::signalPosition() const { return sliderValue(kSignalSlider); }
int MainWindow::noisePosition() const { return sliderValue(kNoiseSlider); }
std::string MainWindow::groupCountText() const { return fieldText(kGroupCountEdit); }
std::string MainWindow::charPauseText() const { return fieldText(kCharPauseEdit); }
std::string MainWindow::groupPauseText() const { return fieldText(kGroupPauseEdit); }

int MainWindow::textKind() const {
  const int items[] = {kDigitsButton, kLettersButton, kMixedButton};
  for (int kind = 0; kind < 3; ++kind) {
    if (SendMessageW(control(items[kind]), BM_GETCHECK, 0, 0) == BST_CHECKED) return kind;
  }
  return -1;
}

bool MainWindow::longZero() const {
  return SendMessageW(control(kLongZeroBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool MainWindow::specialSigns() const {
  return SendMessageW(control(kSpecialSignsBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// --- what the transmission shows ---

void MainWindow::setEnabledQuietly(int id, bool on) {
  HWND c = control(id);
  if (!on && GetFocus() == c) {
    // Disabling a control moves the keyboard focus on; that is not the user entering the next
    // control, so it shows no prompt.
    quietFocus_ = true;
    SendMessageW(window_, WM_NEXTDLGCTL, 0, FALSE);
    quietFocus_ = false;
  }
  EnableWindow(c, on ? TRUE : FALSE);
}

void MainWindow::setPlayEnabled(bool on) { setEnabledQuietly(kPlayButton, on); }
void MainWindow::setStopEnabled(bool on) { setEnabledQuietly(kStopButton, on); }
void MainWindow::setPauseEnabled(bool on) { setEnabledQuietly(kPauseButton, on); }
void MainWindow::setGroupCountEnabled(bool on) { setEnabledQuietly(kGroupCountEdit, on); }

void MainWindow::setPauseDown(bool down) {
  SendMessageW(control(kPauseButton), BM_SETCHECK, down ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::setTextKindEnabled(bool on) {
  for (int id : {kTextKindBox, kDigitsButton, kLettersButton, kMixedButton}) {
    setEnabledQuietly(id, on);
  }
}

void MainWindow::clearText() { SetWindowTextW(control(kTextPane), L""); }

void MainWindow::appendText(const std::string& utf8) {
  HWND pane = control(kTextPane);
  // The pane follows the newest characters unless the user has scrolled back to read.
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_ALL;
  const bool following = !GetScrollInfo(pane, SB_VERT, &bar) || bar.nPage == 0 ||
                         bar.nPos + static_cast<int>(bar.nPage) > bar.nMax;
  const int end = GetWindowTextLengthW(pane);
  SendMessageW(pane, EM_SETSEL, end, end);
  SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wideOf(utf8).c_str()));
  if (following) SendMessageW(pane, WM_VSCROLL, SB_BOTTOM, 0);
  // Shown at once: at the end of a transmission the window waits for the sound.
  UpdateWindow(pane);
}

void MainWindow::setStatusText(const std::string& utf8) { setStatusText(utf8, std::string()); }

void MainWindow::setStatusText(const std::string& utf8, const std::string& detail) {
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wideOf(utf8).c_str()));
  statusDetail_ = wideOf(detail);
  SendMessageW(status_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(statusDetail_.c_str()));
  // The forming prompt must be seen although no event is handled until the forming ends.
  UpdateWindow(status_);
}

void MainWindow::setLearningStatus(const std::string& utf8, const std::string& detail) {
  const std::wstring text = wideOf(utf8);
  // The lesson at the status bar's right, wide enough to be read whole; the progress bar, which
  // lies over that part of the bar, ends before it.
  constexpr int kBarLeft = 320, kBarWidth = 273, kGap = 6;
  int width = 0;
  if (!text.empty()) {
    HDC dc = GetDC(status_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(status_, dc);
    width = extent.cx + 4 * kGap;
  }
  const int parts[] = {kClientWidth - width, -1};
  SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
  learningDetail_ = wideOf(detail);
  SendMessageW(status_, SB_SETTIPTEXTW, 1, reinterpret_cast<LPARAM>(learningDetail_.c_str()));
  SetWindowPos(progress_, nullptr, 0, 0, std::min(kBarWidth, parts[0] - kGap - kBarLeft), 16,
               SWP_NOMOVE | SWP_NOZORDER);
}

void MainWindow::setProgressMax(std::uint16_t max) {
  progressMax_ = max;
  if (progressPos_ > max) progressPos_ = max;
  // An empty bar for a range of 0..0.
  SendMessageW(progress_, PBM_SETRANGE32, 0, max == 0 ? 1 : max);
  SendMessageW(progress_, PBM_SETPOS, progressPos_, 0);
}

void MainWindow::setProgressPosition(std::uint16_t position) {
  progressPos_ = std::min(position, progressMax_);
  SendMessageW(progress_, PBM_SETPOS, progressPos_, 0);
}

void MainWindow::showMessage(const std::string& text, const std::string& caption) {
  MessageBoxW(window_, wideOf(text).c_str(), wideOf(caption).c_str(), MB_OK | MB_ICONERROR);
}

void MainWindow::setSourceChecks(bool randomTicked) {
  randomTicked_ = randomTicked;
  CheckMenuItem(menu_, kRandomTextItem, randomTicked ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu_, kFileTextItem, randomTicked ? MF_UNCHECKED : MF_CHECKED);
}

void MainWindow::setGroupCountMax(int max) {
  SendMessageW(control(kGroupCountArrows), UDM_SETRANGE32, settingRow(Setting::Groups).low, max);
}

void MainWindow::setArrowsPosition(int id, int position) {
  SendMessageW(control(id), UDM_SETPOS32, 0, position);
}

void MainWindow::setGroupCount(int groups) { setArrowsPosition(kGroupCountArrows, groups); }

int MainWindow::groupCountLimit() const {
  int low = 0, high = 0;
  SendMessageW(control(kGroupCountArrows), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
               reinterpret_cast<LPARAM>(&high));
  return high;
}

// --- MainView ---

void MainWindow::setUpSetting(Setting setting, int low, int high, int position) {
  for (const SliderRange& s : kSliders) {
    if (s.setting != setting) continue;
    HWND slider = control(s.id);
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, low);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, high);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    if (s.lowLabel) SetWindowTextW(control(s.lowLabel), std::to_wstring(low).c_str());
    if (s.highLabel) SetWindowTextW(control(s.highLabel), std::to_wstring(high).c_str());
  }
  for (const ArrowField& f : kArrowFields) {
    if (f.setting != setting) continue;
    SendMessageW(control(f.arrows), UDM_SETRANGE32, low, high);
    setArrowsPosition(f.arrows, position);
  }
}

void MainWindow::showSettingValue(SoundSetting slider, int value) {
  for (const SliderRange& s : kSliders) {
    if (s.sound == slider) {
      SetWindowTextW(control(s.valueLabel), std::to_wstring(value).c_str());
    }
  }
}

void MainWindow::chooseTextKind(int kind) {
  const int items[] = {kDigitsButton, kLettersButton, kMixedButton};
  if (kind < 0 || kind > 2 || textKind() == kind) return;
  for (int k = 0; k < 3; ++k) {
    SendMessageW(control(items[k]), BM_SETCHECK, k == kind ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  presenter_->textKindChanged();
}

void MainWindow::chooseSpeed(int speed) { setSliderValue(kSpeedSlider, speed); }

void MainWindow::showSettings(const KeptSettings& s) {
  chooseTextKind(s.textKind);
  setSliderValue(kSpeedSlider, s.speed);
  setSliderValue(kToneSlider, s.frequency);
  setSliderValue(kSignalSlider, s.signalPosition);
  setSliderValue(kNoiseSlider, s.noisePosition);
  setArrowsPosition(kGroupCountArrows, s.groups);
  setArrowsPosition(kCharPauseArrows, s.charPause);
  setArrowsPosition(kGroupPauseArrows, s.groupPause);
  SendMessageW(control(kLongZeroBox), BM_SETCHECK, s.longZero ? BST_CHECKED : BST_UNCHECKED, 0);
  const bool signsBefore = specialSigns();
  SendMessageW(control(kSpecialSignsBox), BM_SETCHECK,
               s.specialSigns ? BST_CHECKED : BST_UNCHECKED, 0);
  if (signsBefore != s.specialSigns) presenter_->textKindChanged();
}

std::optional<std::string> MainWindow::chooseTextFile() {
  std::wstring path(kPathRoom, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = L"Все файлы\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = L"Открыть файл с тестом";
  // A name can be typed, also of a file that does not exist.
  dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_LONGNAMES;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return utf8OfWide(path);
}

std::optional<std::string> MainWindow::chooseSoundFile(const std::string& suggestedName) {
  std::wstring path = wideOf(suggestedName) + L".wav";
  path.resize(kPathRoom, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  // The Windows program writes WAV alone.
  dialog.lpstrFilter = L"WAV (*.wav)\0*.wav\0";
  dialog.lpstrDefExt = L"wav";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = L"Сохранить в звуковой файл";
  dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT |
                 OFN_PATHMUSTEXIST | OFN_LONGNAMES;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return utf8OfWide(path);
}

namespace {

struct StreamSource {
  const std::string* bytes;
  std::size_t offset = 0;
};

DWORD CALLBACK streamIn(DWORD_PTR cookie, LPBYTE buffer, LONG room, LONG* given) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  const std::size_t n =
      std::min(static_cast<std::size_t>(room), source->bytes->size() - source->offset);
  std::copy_n(source->bytes->data() + source->offset, n, buffer);
  source->offset += n;
  *given = static_cast<LONG>(n);
  return 0;
}

// The export's progress window: its cancel button, and closing it, cancel the export.
LRESULT CALLBACK progressProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_COMMAND || message == WM_CLOSE) {
    if (auto* worker = reinterpret_cast<ExportWorker*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
      worker->cancel();
    }
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK helpProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      // The viewer grows with the window.
      if (HWND view = GetDlgItem(window, 1)) {
        MoveWindow(view, 8, 8, LOWORD(l) - 16, HIWORD(l) - 16, TRUE);
      }
      return 0;
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);  // hidden, not destroyed: the place and the scroll stay
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

}  // namespace

ExportRun MainWindow::runExport(const std::string& fileName, const ExportWork& work) {
  constexpr DWORD kProgressDelayMs = 500;  // a short export finishes before any window shows
  constexpr UINT kFinished = WM_APP + 2;
  const DWORD thread = GetCurrentThreadId();
  ExportWorker worker(work, [thread] { PostThreadMessageW(thread, kFinished, 0, 0); });

  // The progress: a small window owned by the main window, with a bar and a cancel button; the
  // main window is disabled meanwhile, the transmission goes on.
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW progressClass{};
  progressClass.lpfnWndProc = progressProcedure;
  progressClass.hInstance = instance;
  progressClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  progressClass.lpszClassName = kProgressClass;
  RegisterClassW(&progressClass);
  HWND box = nullptr, bar = nullptr, cancelButton = nullptr;
  const DWORD started = GetTickCount();
  bool finished = false, quit = false;
  while (!finished) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == kFinished && !message.hwnd) {
        finished = true;
        continue;
      }
      if (message.message == WM_QUIT) {
        // The program is ending: a file not finished by then is not wanted.
        worker.cancel();
        PostQuitMessage(static_cast<int>(message.wParam));
        continue;
      }
      if ((message.message == WM_SYSKEYDOWN || message.message == WM_KEYDOWN) &&
          message.wParam == VK_F10) {
        quit = true;
        worker.cancel();
        continue;
      }
      if (box && IsDialogMessageW(box, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!box && !finished && GetTickCount() - started >= kProgressDelayMs) {
      const std::wstring text = L"Сохранение в звуковой файл " + wideOf(fileName) + L"...";
      box = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kProgressClass,
                            L"Сохранить в звуковой файл", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                            kPlace.x + 120, kPlace.y + 100, 380, 130, window_, nullptr, instance,
                            nullptr);
      SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&worker));
      HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), kLabel, 12, 10, 350, 16, box,
                                   nullptr, instance, nullptr);
      bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", kChild | PBS_SMOOTH, 12, 32, 350, 16, box,
                            nullptr, instance, nullptr);
      cancelButton = CreateWindowExW(0, WC_BUTTONW, L"Отмена", kChild | WS_TABSTOP | BS_PUSHBUTTON,
                                     287, 58, 75, 25, box, nullptr, instance, nullptr);
      for (HWND c : {label, cancelButton}) {
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      }
      SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
      EnableWindow(window_, FALSE);
    }
    if (bar) SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(worker.progress(1000)), 0);
  }
  ExportRun run = worker.join();
  run.quit = quit;
  if (box) {
    EnableWindow(window_, TRUE);
    DestroyWindow(box);
    SetForegroundWindow(window_);
  }
  return run;
}

void MainWindow::showAbout() {
  MessageBoxW(window_, L"Kelvak\n\nСинтезатор сигналов азбуки Морзе\n\nVersion 1.10", L"About",
              MB_OK | MB_ICONINFORMATION);
}


void MainWindow::showHelp() {
  if (!help_) {
    LoadLibraryW(L"Msftedit.dll");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW helpClass{};
    helpClass.lpfnWndProc = helpProcedure;
    helpClass.hInstance = instance;
    helpClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    helpClass.lpszClassName = kHelpClass;
    RegisterClassW(&helpClass);
    // Read first: a document that cannot be read leaves no empty window for the next F1.
    const std::string bytes = readHelpDocument(programFolder_);
    help_ = CreateWindowExW(0, kHelpClass, L"Справка", WS_OVERLAPPEDWINDOW, 201, 171, 620, 480,
                            window_, nullptr, instance, nullptr);
    HWND view = CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                                kChild | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_READONLY,
                                8, 8, 580, 420, help_, reinterpret_cast<HMENU>(1), instance,
                                nullptr);
    StreamSource source{&bytes};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, streamIn};
    const bool rich = bytes.rfind("{\\rtf", 0) == 0;
    SendMessageW(view, EM_STREAMIN, rich ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&stream));
  }
  ShowWindow(help_, SW_SHOWNORMAL);
  SetForegroundWindow(help_);
}

void MainWindow::quit() { PostQuitMessage(0); }

void MainWindow::followSoundIn(int ms) {
  if (ms >= 0) {
    SetTimer(window_, kFollowTimer, static_cast<UINT>(std::max(ms, 1)), nullptr);
  } else {
    KillTimer(window_, kFollowTimer);
  }
}

}  // namespace kelvak::win32

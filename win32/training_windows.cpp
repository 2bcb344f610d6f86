// The check, course and drill windows' controls on the Windows API, bound to their presenters.
#include "win32/training_windows.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "text/win32_strings.h"

namespace kelvak::win32 {

namespace {

constexpr DWORD kTextStyle = SS_LEFT | SS_NOPREFIX;
// A label whose access key (&) moves the focus to the control after it.
constexpr DWORD kAccessLabel = SS_LEFT;
constexpr DWORD kWrappedStyle = SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
constexpr wchar_t kResultClass[] = L"KelvakCheckResult";
constexpr int kResultMargin = 6;  // [px] around the result's rows

enum CheckId : int {
  kAgainstBox = 10, kOpenKeyButton, kCopyEdit, kResultView, kSummaryLabel, kNotesLabel,
  kHistoryLabel,
};
enum CourseId : int {
  kOnBox = 10, kSetBox, kLessonEdit, kLessonArrows, kLessonCount, kCharsLabel, kPassedBar,
  kPassedText, kStepsLabel, kRuleLabel, kCloseButton,
};
enum DrillId : int {
  kDrillSent = 10, kDrillTyped, kDrillReaction, kDrillSpeed, kDrillTally, kDrillLatin, kDrillRecord,
  kDrillStart, kDrillStop,
};

std::wstring wide(char32_t c) {
  if (c < 0x10000) return std::wstring(1, static_cast<wchar_t>(c));
  c -= 0x10000;
  return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
}

}  // namespace

// --- the check window ---

CheckWindow::CheckWindow(HWND owner, const History& history, std::function<CheckSource()> source,
                         CheckPresenter::Dispatch dispatch)
    : frame_(owner, L"Проверка приёма", 620, 440,
             [this](Frame& f) {
               f.add(L"STATIC", L"&Сверять с:", kAccessLabel, 10, 14, 80, 16);
               f.add(WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 92, 10, 384,
                     200, kAgainstBox);
               SendMessageW(f.control(kAgainstBox), CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(L"последней передачей"));
               SendMessageW(f.control(kAgainstBox), CB_SETCURSEL, 0, 0);
               f.add(WC_BUTTONW, L"Открыть &ключ...", WS_TABSTOP | BS_PUSHBUTTON, 484, 9, 126, 25,
                     kOpenKeyButton);
               f.add(L"STATIC", L"&Принятый текст (пробелы и регистр не важны):", kAccessLabel, 10, 44,
                     600, 16);
               f.add(WC_EDITW, L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 10, 62, 496, 23,
                     kCopyEdit);
               SendMessageW(f.control(kCopyEdit), EM_SETLIMITTEXT, 20000, 0);
               // Enter in the text field presses the default button: the check runs once.
               f.add(WC_BUTTONW, L"Про&верить", WS_TABSTOP | BS_DEFPUSHBUTTON, 514, 61, 96, 25,
                     IDOK);
               WNDCLASSW resultClass{};
               resultClass.lpfnWndProc = CheckWindow::resultProcedure;
               resultClass.hInstance = GetModuleHandleW(nullptr);
               resultClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
               resultClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
               resultClass.lpszClassName = kResultClass;
               RegisterClassW(&resultClass);
               result_ = CreateWindowExW(WS_EX_CLIENTEDGE, kResultClass, L"Результат проверки",
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP, 10, 94,
                                         600, 190, f.handle(),
                                         reinterpret_cast<HMENU>(INT_PTR{kResultView}),
                                         GetModuleHandleW(nullptr), nullptr);
               SetWindowLongPtrW(result_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
               f.add(L"STATIC",
                     L"Ошибка выделена и подчёркнута, под ней — что записано («–» — ничего); "
                     L"«+» — лишний знак, под ним — он сам.",
                     kWrappedStyle, 10, 290, 600, 30);
               f.add(L"STATIC", L"", kWrappedStyle, 10, 322, 600, 34, kSummaryLabel);
               f.add(L"STATIC", L"", kWrappedStyle, 10, 358, 600, 34, kNotesLabel);
               f.add(L"STATIC", L"", kWrappedStyle, 10, 394, 600, 42, kHistoryLabel);
             }),
      presenter_(*this, history, std::move(source), std::move(dispatch)) {
  mono_ = CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      FIXED_PITCH | FF_MODERN, L"Courier New");
  monoError_ = CreateFontW(-15, 0, 0, 0, FW_BOLD, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           FIXED_PITCH | FF_MODERN, L"Courier New");
  frame_.onMessage = [this](UINT message, WPARAM w, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(w), code = HIWORD(w);
    if (id == IDOK) {
      presenter_.checkClicked();
    } else if (id == kOpenKeyButton) {
      presenter_.openKeyClicked();
    } else if (id == kAgainstBox && code == CBN_SELCHANGE) {
      presenter_.againstChanged(
          static_cast<int>(SendMessageW(frame_.control(kAgainstBox), CB_GETCURSEL, 0, 0)));
    } else {
      return false;
    }
    result = 0;
    return true;
  };
}

CheckWindow::~CheckWindow() {
  SetWindowLongPtrW(result_, GWLP_USERDATA, 0);
  for (HFONT f : {mono_, monoError_}) DeleteObject(f);
}

LRESULT CALLBACK CheckWindow::resultProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT area;
      GetClientRect(window, &area);
      self->paintResult(dc, area);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_VSCROLL: {
      SCROLLINFO bar{};
      bar.cbSize = sizeof bar;
      bar.fMask = SIF_ALL;
      GetScrollInfo(window, SB_VERT, &bar);
      int to = bar.nPos;
      switch (LOWORD(w)) {
        case SB_LINEUP: to -= 20; break;
        case SB_LINEDOWN: to += 20; break;
        case SB_PAGEUP: to -= static_cast<int>(bar.nPage); break;
        case SB_PAGEDOWN: to += static_cast<int>(bar.nPage); break;
        case SB_THUMBTRACK: to = bar.nTrackPos; break;
        default: break;
      }
      self->scroll_ = std::clamp(to, 0, std::max(0, bar.nMax - static_cast<int>(bar.nPage) + 1));
      SetScrollPos(window, SB_VERT, self->scroll_, TRUE);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

void CheckWindow::showInFront() {
  frame_.showInFront();
  SetFocus(frame_.control(kCopyEdit));
}

void CheckWindow::addAgainstItem(const std::string& text, const std::string&) {
  SendMessageW(frame_.control(kAgainstBox), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(wideOf(text).c_str()));
}

void CheckWindow::selectAgainst(int index) {
  SendMessageW(frame_.control(kAgainstBox), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string CheckWindow::copyText() const { return frame_.text(kCopyEdit); }

void CheckWindow::showCheck(const CheckShown& shown) {
  layout_ = shown.result;
  frame_.setText(kSummaryLabel, shown.summary);
  frame_.setText(kNotesLabel, shown.notes);
  frame_.setText(kHistoryLabel, shown.historyNote);
  // Two lines a row; the bar spans all the rows.
  RECT area;
  GetClientRect(result_, &area);
  HDC dc = GetDC(result_);
  HGDIOBJ old = SelectObject(dc, mono_);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(result_, dc);
  const int rowHeight = metrics.tmHeight * 2 + 8;
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  bar.nMax = static_cast<int>(layout_.rows.size()) * rowHeight + 2 * kResultMargin;
  bar.nPage = static_cast<UINT>(area.bottom);
  scroll_ = bar.nPos = 0;
  SetScrollInfo(result_, SB_VERT, &bar, TRUE);
  InvalidateRect(result_, nullptr, TRUE);
}

void CheckWindow::paintResult(HDC dc, const RECT&) const {
  HGDIOBJ old = SelectObject(dc, mono_);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  const int line = metrics.tmHeight, cell = metrics.tmAveCharWidth;
  SetBkMode(dc, TRANSPARENT);
  int y = kResultMargin - scroll_;
  for (const auto& row : layout_.rows) {
    int x = kResultMargin;
    for (const ResultCell& c : row) {
      const bool error = c.mark != Mark::Correct;
      SelectObject(dc, error ? monoError_ : mono_);
      SetTextColor(dc, error ? RGB(176, 0, 0) : RGB(0, 0, 0));
      const std::wstring top = wide(c.top), bottom = wide(c.bottom);
      TextOutW(dc, x, y, top.c_str(), static_cast<int>(top.size()));
      SetTextColor(dc, error ? RGB(176, 0, 0) : RGB(96, 96, 96));
      TextOutW(dc, x, y + line, bottom.c_str(), static_cast<int>(bottom.size()));
      x += cell;
    }
    y += line * 2 + 8;
  }
  SelectObject(dc, old);
}

std::optional<std::string> CheckWindow::chooseKeyFile(const std::string& folder) {
  std::wstring path(32768, L'\0');
  const std::wstring start = wideOf(folder);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = frame_.handle();
  dialog.lpstrFilter = L"Ключи (*.key.txt)\0*.key.txt\0Все файлы\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : start.c_str();
  dialog.lpstrTitle = L"Открыть ключ";
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return utf8OfWide(path);
}

// --- the course dialog ---

CourseDialog::CourseDialog(HWND owner, CourseActions actions)
    : frame_(owner, L"Курс", 440, 330,
             [](Frame& f) {
               f.add(WC_BUTTONW, L"&Курс включён: Play передаёт урок",
                     WS_TABSTOP | BS_AUTOCHECKBOX, 10, 10, 420, 20, kOnBox);
               f.add(L"STATIC", L"&Набор:", kAccessLabel, 10, 42, 85, 16);
               f.add(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST, 100, 38, 150, 120, kSetBox);
               for (const wchar_t* set : {L"Цифры", L"Буквы", L"Смесь"}) {
                 SendMessageW(f.control(kSetBox), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(set));
               }
               f.add(L"STATIC", L"&Урок:", kAccessLabel, 10, 72, 85, 16);
               f.add(WC_EDITW, L"1", WS_TABSTOP | WS_BORDER | ES_NUMBER, 100, 68, 60, 23,
                     kLessonEdit);
               HWND arrows = f.add(UPDOWN_CLASSW, L"",
                                   UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 15, 23,
                                   kLessonArrows);
               SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(f.control(kLessonEdit)),
                            0);
               f.add(L"STATIC", L"", kTextStyle, 168, 72, 262, 16, kLessonCount);
               f.add(L"STATIC", L"Знаки:", kTextStyle, 10, 102, 85, 16);
               f.add(L"STATIC", L"", kWrappedStyle, 100, 102, 330, 32, kCharsLabel);
               f.add(L"STATIC", L"Пройдено:", kTextStyle, 10, 140, 85, 16);
               f.add(PROGRESS_CLASSW, L"", PBS_SMOOTH, 100, 140, 200, 16, kPassedBar);
               f.add(L"STATIC", L"", kTextStyle, 308, 140, 122, 16, kPassedText);
               f.add(L"STATIC", L"Шаги:", kTextStyle, 10, 166, 85, 16);
               f.add(L"STATIC", L"", kWrappedStyle, 100, 166, 330, 84, kStepsLabel);
               f.add(L"STATIC", L"", kWrappedStyle, 10, 254, 420, 34, kRuleLabel);
               f.add(WC_BUTTONW, L"Закрыть", WS_TABSTOP | BS_PUSHBUTTON, 345, 296, 85, 25,
                     kCloseButton);
             }),
      presenter_(*this, std::move(actions)) {
  frame_.onMessage = [this](UINT message, WPARAM w, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || filling_) return false;
    const int id = LOWORD(w), code = HIWORD(w);
    if (id == kOnBox && code == BN_CLICKED) {
      presenter_.onToggled(SendMessageW(frame_.control(kOnBox), BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (id == kSetBox && code == CBN_SELCHANGE) {
      presenter_.setChosen(
          static_cast<int>(SendMessageW(frame_.control(kSetBox), CB_GETCURSEL, 0, 0)));
    } else if (id == kLessonEdit && code == EN_CHANGE) {
      BOOL failed = FALSE;
      const auto lesson = static_cast<int>(
          SendMessageW(frame_.control(kLessonArrows), UDM_GETPOS32, 0,
                       reinterpret_cast<LPARAM>(&failed)));
      if (!failed) presenter_.lessonChosen(lesson);
    } else if (id == kCloseButton || id == IDCANCEL) {
      ShowWindow(frame_.handle(), SW_HIDE);
    } else {
      return false;
    }
    result = 0;
    return true;
  };
}

void CourseDialog::showCourse(const CourseShown& shown) {
  filling_ = true;
  SendMessageW(frame_.control(kOnBox), BM_SETCHECK, shown.on ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(frame_.control(kSetBox), CB_SETCURSEL, static_cast<WPARAM>(shown.set), 0);
  SendMessageW(frame_.control(kLessonArrows), UDM_SETRANGE32, 1, shown.lessonCount);
  SendMessageW(frame_.control(kLessonArrows), UDM_SETPOS32, 0, shown.lesson);
  frame_.setText(kLessonCount, shown.lessonCountText);
  frame_.setText(kCharsLabel, shown.characters);
  SendMessageW(frame_.control(kPassedBar), PBM_SETRANGE32, 0, std::max(shown.passedOf, 1));
  SendMessageW(frame_.control(kPassedBar), PBM_SETPOS, static_cast<WPARAM>(shown.passed), 0);
  frame_.setText(kPassedText, std::to_string(shown.passed) + " из " +
                                  std::to_string(shown.passedOf) + " знаков");
  frame_.setText(kStepsLabel, shown.steps);
  frame_.setText(kRuleLabel, shown.rule);
  filling_ = false;
}

// --- the drill window ---

DrillWindow::DrillWindow(HWND owner, DrillSound sound, const History& history,
                         std::function<DrillPresenter::Start()> start,
                         std::function<void(int)> setSpeed, DrillPresenter::Dispatch dispatch)
    : frame_(owner, L"Знак за знаком", 400, 330,
             [this](Frame& f) {
               f.add(L"STATIC",
                     L"Нажимайте клавишу знака, как только его услышите: следующий прозвучит "
                     L"сразу. Ошибочный знак прозвучит ещё раз.",
                     kWrappedStyle, 10, 10, 380, 32);
               f.add(L"STATIC", L"Передан", kTextStyle | SS_CENTER, 60, 48, 120, 16);
               f.add(L"STATIC", L"Принят", kTextStyle | SS_CENTER, 220, 48, 120, 16);
               big_ = programFont(-36, true);
               for (int id : {kDrillSent, kDrillTyped}) {
                 HWND big = f.add(L"STATIC", L"—", kTextStyle | SS_CENTER,
                                  id == kDrillSent ? 60 : 220, 66, 120, 46, id);
                 SendMessageW(big, WM_SETFONT, reinterpret_cast<WPARAM>(big_), FALSE);
               }
               int y = 120;
               for (int id : {kDrillReaction, kDrillSpeed, kDrillTally}) {
                 f.add(L"STATIC", L"", kTextStyle, 10, y, 380, 16, id);
                 y += 20;
               }
               f.add(L"STATIC", L"", kWrappedStyle, 10, y, 380, 32, kDrillLatin);
               f.add(L"STATIC", L"", kWrappedStyle, 10, y + 34, 380, 48, kDrillRecord);
               // Keys are answers here: the buttons never take the keyboard's focus.
               f.add(WC_BUTTONW, L"&Начать", BS_PUSHBUTTON, 210, 296, 85, 25, kDrillStart);
               f.add(WC_BUTTONW, L"&Закончить", BS_PUSHBUTTON | WS_DISABLED, 305, 296, 85, 25,
                     kDrillStop);
             }),
      presenter_(*this, std::move(sound), history, std::move(start), std::move(setSpeed),
                 std::move(dispatch)) {
  frame_.onMessage = [this](UINT message, WPARAM w, LPARAM l, LRESULT& result) {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(w) == kDrillStart) {
          presenter_.startClicked();
        } else if (LOWORD(w) == kDrillStop) {
          presenter_.stopClicked();
        } else {
          return false;
        }
        SetFocus(frame_.handle());
        result = 0;
        return true;
      case WM_CHAR:
        // A printable key is an answer while a session runs.
        if (presenter_.running() && w > L' ' && w != 0x7F) {
          presenter_.keyTyped(static_cast<char32_t>(w));
          result = 0;
          return true;
        }
        return false;
      case WM_TIMER: {
        const auto found = timers_.find(static_cast<UINT_PTR>(w));
        if (found == timers_.end()) return false;
        KillTimer(frame_.handle(), found->first);
        const std::function<void()> then = std::move(found->second);
        timers_.erase(found);
        then();
        result = 0;
        return true;
      }
      case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(l) == frame_.control(kDrillTyped) && !typedRight_) {
          SetTextColor(reinterpret_cast<HDC>(w), RGB(176, 0, 0));
          SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
          result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
          return true;
        }
        return false;
      default:
        return false;
    }
  };
  frame_.onClose = [this] { presenter_.closed(); };
  frame_.setDialogKeys(false);
}

DrillWindow::~DrillWindow() {
  for (const auto& t : timers_) KillTimer(frame_.handle(), t.first);
  DeleteObject(big_);
}

void DrillWindow::showDrill(const DrillShown& shown) {
  typedRight_ = shown.typedRight;
  frame_.setText(kDrillSent, shown.sent);
  frame_.setText(kDrillTyped, shown.typed);
  frame_.setText(kDrillReaction, shown.reaction);
  frame_.setText(kDrillSpeed, shown.speed);
  frame_.setText(kDrillTally, shown.tally);
  frame_.setText(kDrillLatin, shown.latin);
  frame_.setText(kDrillRecord, shown.recordNote);
  EnableWindow(frame_.control(kDrillStart), !shown.running);
  EnableWindow(frame_.control(kDrillStop), shown.running);
  // A session that starts takes the keys as answers.
  if (shown.running) SetFocus(frame_.handle());
}

void DrillWindow::after(int ms, std::function<void()> then) {
  const UINT_PTR id = ++nextTimer_;
  timers_[id] = std::move(then);
  SetTimer(frame_.handle(), id, static_cast<UINT>(std::max(ms, 1)), nullptr);
}

}  // namespace kelvak::win32

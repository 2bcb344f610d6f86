// The statistics window's controls and charts on the Windows API.
#include "win32/statistics_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "text/win32_strings.h"

namespace kelvak::win32 {

namespace {

constexpr wchar_t kChartClass[] = L"KelvakChart";
constexpr DWORD kPlain = SS_LEFT | SS_NOPREFIX;
constexpr COLORREF kAccuracyColour = RGB(32, 96, 192);
constexpr COLORREF kSpeedColour = RGB(220, 120, 0);
constexpr COLORREF kGridColour = RGB(220, 220, 220);

enum StatisticsId : int {
  kSourceFilter = 10, kPeriodFilter, kNoteText, kSections, kAccuracyView, kCharsView,
  kConfusionTitle, kConfusionList, kDaysList, kRemoveLastButton, kRemovedText, kSummaryText,
};

// Where a chart's plot lies in its window, and how values map onto it.
struct Plot {
  RECT area;
  double x0, x1, y0, y1;
  int x(double v) const {
    return area.left + static_cast<int>(std::lround((v - x0) / std::max(x1 - x0, 1e-9) *
                                                    (area.right - area.left)));
  }
  int y(double v) const {
    return area.bottom - static_cast<int>(std::lround((v - y0) / std::max(y1 - y0, 1e-9) *
                                                      (area.bottom - area.top)));
  }
};

std::wstring number(double v) { return std::to_wstring(std::llround(v)); }

void text(HDC dc, int x, int y, const std::wstring& s, UINT align) {
  SetTextAlign(dc, align);
  TextOutW(dc, x, y, s.c_str(), static_cast<int>(s.size()));
}

// The ticks of an axis, from its anchor every step, within its range.
std::vector<double> ticks(const WholeAxis& axis) {
  std::vector<double> out;
  if (axis.step <= 0) return out;
  double v = axis.anchor + std::ceil((axis.from - axis.anchor) / axis.step) * axis.step;
  for (; v <= axis.to + 1e-9 && out.size() < 200; v += axis.step) out.push_back(v);
  return out;
}

void line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// The title at the top, and the frame and horizontal grid of a plot with its left scale.
void drawFrame(HDC dc, const Plot& plot, const std::string& title, const WholeAxis& left) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  text(dc, (plot.area.left + plot.area.right) / 2, 4, wideOf(title), TA_CENTER | TA_TOP);
  HPEN grid = CreatePen(PS_SOLID, 1, kGridColour);
  HGDIOBJ old = SelectObject(dc, grid);
  for (double v : ticks(left)) {
    line(dc, plot.area.left, plot.y(v), plot.area.right, plot.y(v));
    text(dc, plot.area.left - 4, plot.y(v) - 7, number(v), TA_RIGHT | TA_TOP);
  }
  SelectObject(dc, GetStockObject(BLACK_PEN));
  DeleteObject(grid);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, plot.area.left, plot.area.top, plot.area.right + 1, plot.area.bottom + 1);
  SelectObject(dc, old);
}

void drawSeries(HDC dc, const Plot& plot, const std::vector<ChartPoint>& points, COLORREF colour,
                bool markers) {
  HPEN pen = CreatePen(PS_SOLID, 2, colour);
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const int x = plot.x(points[i].x), y = plot.y(points[i].y);
    if (!markers && i > 0) line(dc, plot.x(points[i - 1].x), plot.y(points[i - 1].y), x, y);
    if (markers) Ellipse(dc, x - 3, y - 3, x + 4, y + 4);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);
}

}  // namespace

StatisticsWindow::StatisticsWindow(HWND owner, HistoryKeeper& history)
    : frame_(owner, L"Статистика", 860, 600,
             [this](Frame& f) {
               f.add(L"STATIC", L"&Текст:", SS_LEFT, 10, 14, 50, 16);
               f.add(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST, 62, 10, 120, 150,
                     kSourceFilter);
               for (const char* item : kSourceFilterItems) {
                 SendMessageW(f.control(kSourceFilter), CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(wideOf(item).c_str()));
               }
               f.add(L"STATIC", L"&Период:", SS_LEFT, 200, 14, 60, 16);
               f.add(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST, 262, 10, 160, 150,
                     kPeriodFilter);
               for (const char* item : kPeriodFilterItems) {
                 SendMessageW(f.control(kPeriodFilter), CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(wideOf(item).c_str()));
               }
               for (int id : {kSourceFilter, kPeriodFilter}) {
                 SendMessageW(f.control(id), CB_SETCURSEL, 0, 0);
               }
               f.add(L"STATIC", L"", kPlain | SS_EDITCONTROL, 10, 40, 840, 32, kNoteText);
               HWND tabs = f.add(WC_TABCONTROLW, L"", WS_TABSTOP, 10, 76, 840, 360, kSections);
               const wchar_t* pages[] = {L"Точность", L"Знаки", L"По дням"};
               for (int i = 0; i < 3; ++i) {
                 TCITEMW item{};
                 item.mask = TCIF_TEXT;
                 item.pszText = const_cast<wchar_t*>(pages[i]);
                 SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                              reinterpret_cast<LPARAM>(&item));
               }
               WNDCLASSW chartClass{};
               chartClass.lpfnWndProc = StatisticsWindow::chartProcedure;
               chartClass.hInstance = GetModuleHandleW(nullptr);
               chartClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
               chartClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
               chartClass.lpszClassName = kChartClass;
               RegisterClassW(&chartClass);
               accuracyView_ = f.add(kChartClass, L"График точности по проверкам", 0, 16, 104,
                                     828, 326, kAccuracyView);
               charsView_ = f.add(kChartClass, L"Доля верно принятых знаков", 0, 16, 104, 560,
                                  326, kCharsView);
               for (HWND chart : {accuracyView_, charsView_}) {
                 SetWindowLongPtrW(chart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
               }
               f.add(L"STATIC", L"&Частые путаницы:", SS_LEFT, 586, 104, 258, 16,
                     kConfusionTitle);
               f.add(WC_LISTBOXW, L"", WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOSEL, 586, 122,
                     258, 308, kConfusionList);
               HWND days = f.add(WC_LISTVIEWW, L"", WS_TABSTOP | WS_BORDER | LVS_REPORT |
                                                        LVS_NOSORTHEADER | LVS_SINGLESEL,
                                 16, 104, 828, 326, kDaysList);
               const wchar_t* columns[] = {L"День", L"Проверок", L"Знаков", L"Время передач"};
               for (int i = 0; i < 4; ++i) {
                 LVCOLUMNW column{};
                 column.mask = LVCF_TEXT | LVCF_WIDTH;
                 column.cx = i == 0 ? 160 : 150;
                 column.pszText = const_cast<wchar_t*>(columns[i]);
                 SendMessageW(days, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                              reinterpret_cast<LPARAM>(&column));
               }
               f.add(WC_BUTTONW, L"&Удалить последнюю проверку...", WS_TABSTOP | BS_PUSHBUTTON,
                     10, 444, 240, 25, kRemoveLastButton);
               f.add(L"STATIC", L"", kPlain | SS_EDITCONTROL, 260, 448, 590, 32, kRemovedText);
               f.add(L"STATIC", L"", kPlain | SS_EDITCONTROL, 10, 486, 840, 108, kSummaryText);
             }),
      presenter_(*this, history) {
  showPage(0);
  frame_.onMessage = [this](UINT message, WPARAM w, LPARAM l, LRESULT& result) {
    if (message == WM_NOTIFY) {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->idFrom == kSections && header->code == TCN_SELCHANGE) {
        showPage(static_cast<int>(SendMessageW(frame_.control(kSections), TCM_GETCURSEL, 0, 0)));
        result = 0;
        return true;
      }
      return false;
    }
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(w), code = HIWORD(w);
    const auto chosen = [this](int id) {
      return static_cast<int>(SendMessageW(frame_.control(id), CB_GETCURSEL, 0, 0));
    };
    if (id == kSourceFilter && code == CBN_SELCHANGE) {
      presenter_.sourceChosen(chosen(kSourceFilter));
    } else if (id == kPeriodFilter && code == CBN_SELCHANGE) {
      presenter_.periodChosen(chosen(kPeriodFilter));
    } else if (id == kRemoveLastButton) {
      presenter_.removeLastClicked();
    } else {
      return false;
    }
    result = 0;
    return true;
  };
}

StatisticsWindow::~StatisticsWindow() {
  for (HWND chart : {accuracyView_, charsView_}) SetWindowLongPtrW(chart, GWLP_USERDATA, 0);
}

void StatisticsWindow::showInFront() {
  presenter_.reload();
  frame_.showInFront();
}

void StatisticsWindow::showPage(int page) {
  ShowWindow(accuracyView_, page == 0 ? SW_SHOW : SW_HIDE);
  for (int id : {kCharsView, kConfusionTitle, kConfusionList}) {
    ShowWindow(frame_.control(id), page == 1 ? SW_SHOW : SW_HIDE);
  }
  ShowWindow(frame_.control(kDaysList), page == 2 ? SW_SHOW : SW_HIDE);
}

void StatisticsWindow::showSummary(const std::string& summary) {
  frame_.setText(kSummaryText, summary);
}

void StatisticsWindow::showNote(const std::string& note) { frame_.setText(kNoteText, note); }

void StatisticsWindow::showAccuracy(const AccuracyChart& chart) {
  accuracy_ = chart;
  InvalidateRect(accuracyView_, nullptr, TRUE);
}

void StatisticsWindow::showChars(const CharsChart& chart) {
  chars_ = chart;
  InvalidateRect(charsView_, nullptr, TRUE);
}

void StatisticsWindow::showConfusions(const std::vector<std::string>& lines) {
  HWND list = frame_.control(kConfusionList);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& l : lines) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideOf(l).c_str()));
  }
}

void StatisticsWindow::showDays(const std::vector<DayRow>& rows) {
  HWND list = frame_.control(kDaysList);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string* cells[] = {&rows[r].day, &rows[r].checks, &rows[r].chars,
                                  &rows[r].sendingTime};
    for (int c = 0; c < 4; ++c) {
      std::wstring cell = wideOf(*cells[c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = c;
      item.pszText = cell.data();
      SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMW, 0,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
}

void StatisticsWindow::enableRemoveLast(bool enabled) {
  EnableWindow(frame_.control(kRemoveLastButton), enabled);
}

bool StatisticsWindow::confirm(const std::string& question) {
  return MessageBoxW(frame_.handle(), wideOf(question).c_str(), L"Статистика",
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void StatisticsWindow::showRemoved(const std::string& removed) {
  frame_.setText(kRemovedText, removed);
}

LRESULT CALLBACK StatisticsWindow::chartProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<StatisticsWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || message != WM_PAINT) return DefWindowProcW(window, message, w, l);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT area;
  GetClientRect(window, &area);
  HGDIOBJ font = SelectObject(dc, self->frame_.font());
  if (window == self->accuracyView_) {
    self->paintAccuracy(dc, area);
  } else {
    self->paintChars(dc, area);
  }
  SelectObject(dc, font);
  EndPaint(window, &ps);
  return 0;
}

void StatisticsWindow::paintAccuracy(HDC dc, const RECT& area) const {
  const AccuracyChart& c = accuracy_;
  const Plot plot{{area.left + 48, area.top + 24, area.right - 48, area.bottom - 56},
                  c.checks.from, c.checks.to, c.percent.from, c.percent.to};
  drawFrame(dc, plot, c.title, c.percent);
  for (double v : ticks(c.checks)) {
    line(dc, plot.x(v), plot.area.bottom, plot.x(v), plot.area.bottom + 4);
    text(dc, plot.x(v), plot.area.bottom + 6, number(v), TA_CENTER | TA_TOP);
  }
  text(dc, (plot.area.left + plot.area.right) / 2, plot.area.bottom + 22, L"Проверка №",
       TA_CENTER | TA_TOP);
  text(dc, plot.area.left - 30, plot.area.top - 18, L"%", TA_LEFT | TA_TOP);
  // The speed on its own scale, at the right.
  const Plot speed{plot.area, c.checks.from, c.checks.to, c.speedScale.from, c.speedScale.to};
  SetTextColor(dc, kSpeedColour);
  for (double v : ticks(c.speedScale)) {
    text(dc, plot.area.right + 4, speed.y(v) - 7, number(v), TA_LEFT | TA_TOP);
  }
  drawSeries(dc, speed, c.speed, kSpeedColour, c.markers);
  drawSeries(dc, plot, c.accuracy, kAccuracyColour, c.markers);
  // The legend below.
  const int y = area.bottom - 16;
  const struct {
    const wchar_t* name;
    COLORREF colour;
  } legend[] = {{L"Точность, %", kAccuracyColour}, {L"Скорость, групп в минуту", kSpeedColour}};
  int x = plot.area.left;
  for (const auto& entry : legend) {
    HBRUSH swatch = CreateSolidBrush(entry.colour);
    const RECT box{x, y + 3, x + 12, y + 13};
    FillRect(dc, &box, swatch);
    DeleteObject(swatch);
    SetTextColor(dc, RGB(0, 0, 0));
    text(dc, x + 16, y, entry.name, TA_LEFT | TA_TOP);
    x += 220;
  }
}

void StatisticsWindow::paintChars(HDC dc, const RECT& area) const {
  const CharsChart& c = chars_;
  const double n = static_cast<double>(std::max<std::size_t>(c.shares.size(), 1));
  const Plot plot{{area.left + 48, area.top + 24, area.right - 16, area.bottom - 44}, 0, n,
                  c.percent.from, c.percent.to};
  drawFrame(dc, plot, c.title, c.percent);
  HBRUSH bar = CreateSolidBrush(kAccuracyColour);
  for (std::size_t i = 0; i < c.shares.size(); ++i) {
    const int left = plot.x(static_cast<double>(i) + 0.15);
    const int right = plot.x(static_cast<double>(i) + 0.85);
    const RECT box{left, plot.y(c.shares[i]), right, plot.area.bottom};
    FillRect(dc, &box, bar);
    // The character above how often it was sent.
    const std::string& label = i < c.labels.size() ? c.labels[i] : std::string();
    const std::size_t cut = label.find('\n');
    text(dc, (left + right) / 2, plot.area.bottom + 4, wideOf(label.substr(0, cut)),
         TA_CENTER | TA_TOP);
    if (cut != std::string::npos) {
      text(dc, (left + right) / 2, plot.area.bottom + 20, wideOf(label.substr(cut + 1)),
           TA_CENTER | TA_TOP);
    }
  }
  DeleteObject(bar);
}

}  // namespace kelvak::win32

// The program's secondary windows on the Windows API.
#include "win32/frame.h"

#include "text/win32_strings.h"

namespace kelvak::win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"KelvakFrame";
constexpr wchar_t kDialogKeys[] = L"KelvakDialogKeys";

}  // namespace

HFONT programFont(int pixels, bool bold) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW face = metrics.lfMessageFont;
  face.lfHeight = pixels;
  if (bold) face.lfWeight = FW_BOLD;
  return CreateFontIndirectW(&face);
}

Frame::Frame(HWND owner, const wchar_t* title, int width, int height,
             const std::function<void(Frame&)>& build) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW frameClass{};
  frameClass.cbSize = sizeof frameClass;
  frameClass.lpfnWndProc = procedure;
  frameClass.hInstance = instance;
  frameClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frameClass.lpszClassName = kFrameClass;
  RegisterClassExW(&frameClass);  // once; later calls fail harmlessly

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  font_ = programFont(-11);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, title, style, CW_USEDEFAULT,
                            CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                            owner, nullptr, instance, this);
  setDialogKeys(true);
  build(*this);
}

Frame::~Frame() {
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    RemovePropW(window_, kDialogKeys);
    DestroyWindow(window_);
  }
  if (font_) DeleteObject(font_);
}

HWND Frame::add(const wchar_t* windowClass, const std::wstring& text, DWORD style, int x, int y,
                int width, int height, int id) {
  HWND c = CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                           height, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return c;
}

void Frame::setText(int id, const std::string& utf8) const {
  SetWindowTextW(control(id), wideOf(utf8).c_str());
}

std::string Frame::text(int id) const {
  HWND c = control(id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(c, text.data(), static_cast<int>(text.size()))));
  return utf8OfWide(text);
}

void Frame::setDialogKeys(bool on) const {
  if (on) {
    SetPropW(window_, kDialogKeys, reinterpret_cast<HANDLE>(1));
  } else {
    RemovePropW(window_, kDialogKeys);
  }
}

bool takenAsDialogKey(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  return root && GetPropW(root, kDialogKeys) && IsDialogMessageW(root, &message);
}

void Frame::showInFront() const {
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

LRESULT CALLBACK Frame::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Frame*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) {
    LRESULT result = 0;
    if (self->onMessage && self->onMessage(message, w, l, result)) return result;
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(w) == IDCANCEL)) {
      // Hidden, not destroyed: what it shows stays for the next showing.
      ShowWindow(window, SW_HIDE);
      if (self->onClose) self->onClose();
      return 0;
    }
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace kelvak::win32

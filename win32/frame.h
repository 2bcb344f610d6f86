// A window of the program beside the main window (check, course, drill, statistics): made hidden,
// owned by the main window so it stays in front of it, hidden rather than destroyed when closed.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kelvak::win32 {

class Frame {
 public:
  // A window of `width` x `height` client pixels, whose controls `build` makes.
  Frame(HWND owner, const wchar_t* title, int width, int height,
        const std::function<void(Frame&)>& build);
  ~Frame();
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  HWND handle() const { return window_; }
  // A control with the program's font; `id` is what its notifications name.
  HWND add(const wchar_t* windowClass, const std::wstring& text, DWORD style, int x, int y,
           int width, int height, int id = 0);
  HWND control(int id) const { return GetDlgItem(window_, id); }
  void setText(int id, const std::string& utf8) const;
  std::string text(int id) const;

  // Shows the window without blocking, or brings it to the front when it is open already.
  void showInFront() const;
  bool visible() const { return IsWindowVisible(window_) != 0; }

  // Every message the window receives; true when it was handled, with `result`.
  std::function<bool(UINT message, WPARAM w, LPARAM l, LRESULT& result)> onMessage;
  // The window was closed by the user (it is hidden already).
  std::function<void()> onClose;

  HFONT font() const { return font_; }
  // Whether Tab, Enter, Esc and the access keys work as in a dialog (the default), or every key
  // reaches the window (a window that takes keys as answers).
  void setDialogKeys(bool on) const;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

  HWND window_ = nullptr;
  HFONT font_ = nullptr;
};

// The window a message is for takes Tab, Enter, Esc and the access keys as a dialog does: true
// when it took this one.
bool takenAsDialogKey(MSG& message);

// The program's own font for a window's text, `pixels` high (negative: the character height).
HFONT programFont(int pixels, bool bold = false);

}  // namespace kelvak::win32

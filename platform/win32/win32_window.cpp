// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/win32_window.h"

#include <algorithm>
#include <limits>

#include "platform/win32/wide_text.h"

namespace orvane {
namespace {

constexpr wchar_t kClassName[] = L"OrvanePanel";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr int kPointsPerInch = 72;

int lengthOf(std::string_view text) {
  return text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(text.size());
}

bool registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kClassName;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The system's words for an error code, for the one message the operator may have to read.
std::string errorText(DWORD error) {
  const std::string code = "error " + std::to_string(error);
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return code;
  std::string words(text, length);
  ::LocalFree(text);
  while (!words.empty() && (words.back() == '\r' || words.back() == '\n' || words.back() == '.'))
    words.pop_back();
  return words + ", " + code;
}

}  // namespace

Win32Window::~Win32Window() {
  close();
}

bool Win32Window::open(const WindowSpec& spec, WindowEventHandler handler) {
  if (state_ != State::NeverOpened) return false;
  instance_ = ::GetModuleHandleW(nullptr);
  if (!registerWindowClass(instance_, &Win32Window::windowProcedure)) {
    whyNotOpen_ = "the window class could not be registered (" + errorText(::GetLastError()) + ")";
    return false;
  }
  handler_ = std::move(handler);
  window_ = ::CreateWindowExW(0, kClassName, widen(spec.title).c_str(), kStyle, spec.x, spec.y,
                              spec.width, spec.height, nullptr, nullptr, instance_, this);
  if (window_ == nullptr) {
    whyNotOpen_ = "the window could not be opened (" + errorText(::GetLastError()) + ")";
    return false;
  }
  if (!makeBacking()) {
    whyNotOpen_ = "no drawing surface for the window (" + errorText(::GetLastError()) + ")";
    ::DestroyWindow(window_);
    window_ = nullptr;
    releaseGdiObjects();
    return false;
  }
  state_ = State::Open;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::SetForegroundWindow(window_);
  ::UpdateWindow(window_);
  return true;
}

// A white bitmap as large as the screen (or the window, whichever is larger): everything printed
// stays in it, and the window is painted from it whenever Windows asks.
bool Win32Window::makeBacking() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return false;
  RECT outer{};
  ::GetWindowRect(window_, &outer);
  const int width =
      std::max(::GetSystemMetrics(SM_CXSCREEN), static_cast<int>(outer.right - outer.left));
  const int height =
      std::max(::GetSystemMetrics(SM_CYSCREEN), static_cast<int>(outer.bottom - outer.top));
  backingDc_ = ::CreateCompatibleDC(screen);
  backing_ = ::CreateCompatibleBitmap(screen, width, height);
  ::ReleaseDC(nullptr, screen);
  if (backingDc_ == nullptr || backing_ == nullptr) return false;
  backingOld_ = ::SelectObject(backingDc_, backing_);
  ::PatBlt(backingDc_, 0, 0, width, height, WHITENESS);
  ::SetBkMode(backingDc_, OPAQUE);
  ::SetBkColor(backingDc_, kPaper);
  ::SetTextColor(backingDc_, kInk);
  return true;
}

void Win32Window::releaseGdiObjects() {
  if (backingDc_ != nullptr) {
    if (backingOld_ != nullptr) ::SelectObject(backingDc_, backingOld_);
    ::DeleteDC(backingDc_);
  }
  if (backing_ != nullptr) ::DeleteObject(backing_);
  if (font_ != nullptr) ::DeleteObject(font_);
  backingDc_ = nullptr;
  backing_ = nullptr;
  backingOld_ = nullptr;
  font_ = nullptr;
}

void Win32Window::close() {
  if (state_ != State::Open) return;
  for (UINT_PTR id : timers_) ::KillTimer(window_, id);
  timers_.clear();
  // Messages still queued for the window are dropped with it; handler_ is kept, since close() is
  // usually called from inside it.
  state_ = State::Closed;
  ::DestroyWindow(window_);
  window_ = nullptr;
  releaseGdiObjects();
}

void Win32Window::setPrintPosition(int x, int y) {
  if (state_ != State::Open) return;
  printX_ = x;
  printY_ = y;
}

void Win32Window::print(std::string_view text) {
  if (state_ != State::Open || text.empty()) return;
  HGDIOBJ font = font_ != nullptr ? font_ : ::GetStockObject(DEFAULT_GUI_FONT);
  HGDIOBJ before = ::SelectObject(backingDc_, font);
  SIZE size{};
  const int length = lengthOf(text);
  ::GetTextExtentPoint32A(backingDc_, text.data(), length, &size);
  // With the opaque background mode TextOut paints every cell of the text, blanks included: a
  // shorter text printed over a longer one covers it cell for cell.
  ::TextOutA(backingDc_, printX_, printY_, text.data(), length);
  ::SelectObject(backingDc_, before);
  if (HDC shown = ::GetDC(window_)) {
    ::BitBlt(shown, printX_, printY_, size.cx, size.cy, backingDc_, printX_, printY_, SRCCOPY);
    ::ReleaseDC(window_, shown);
  }
  printX_ += size.cx;
}

void Win32Window::setFont(std::string_view face, int points, int weight) {
  if (state_ != State::Open) return;
  int dpi = 96;
  if (HDC screen = ::GetDC(nullptr)) {
    dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  // A negative height asks for the character height without the internal leading: points as
  // every word processor means them. FF_SWISS steers the mapping of a face Windows does not have
  // to a sans-serif one.
  HFONT font = ::CreateFontW(-::MulDiv(points, dpi, kPointsPerInch), 0, 0, 0, weight, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, widen(face).c_str());
  if (font == nullptr) return;
  if (font_ != nullptr) ::DeleteObject(font_);
  font_ = font;
}

void Win32Window::startTimer(int id, int periodMs) {
  if (state_ != State::Open || id <= 0) return;
  const auto timer = static_cast<UINT_PTR>(id);
  if (::SetTimer(window_, timer, static_cast<UINT>(std::max(1, periodMs)), nullptr) != 0)
    timers_.insert(timer);
}

void Win32Window::stopTimer(int id) {
  if (state_ != State::Open || id <= 0) return;
  const auto timer = static_cast<UINT_PTR>(id);
  // KillTimer also removes a WM_TIMER of this timer that is already waiting.
  ::KillTimer(window_, timer);
  timers_.erase(timer);
}

void Win32Window::watch(HANDLE handle, std::function<void()> ready) {
  watched_ = handle;
  ready_ = std::move(ready);
}

void Win32Window::waitAndDispatch() {
  if (state_ != State::Open) return;
  MSG message{};
  if (waitForMessageOrHandle(message)) {
    // WM_QUIT (got 0) comes only from outside, e.g. a tool that ends programs politely.
    if (message.message == WM_QUIT) {
      deliver(WindowEventKind::CloseRequest);
      return;
    }
    dispatch(message);
  }
  // The handler may close the window; whatever is still queued is then dropped.
  while (state_ == State::Open && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      deliver(WindowEventKind::CloseRequest);
      return;
    }
    dispatch(message);
  }
}

// Waits for the next message, or for the watched handle. True with a message taken from the
// queue (WM_QUIT too; a broken queue counts as one); false when the handle was served instead, or
// the wait ended for a message that Windows delivered by itself.
bool Win32Window::waitForMessageOrHandle(MSG& message) {
  if (watched_ != nullptr && ready_) {
    // MWMO_INPUTAVAILABLE: messages already waiting end the wait as well, not only new ones.
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(1, &watched_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) {
      ready_();
      return false;
    }
    if (woke != WAIT_FAILED) return false;
    // A handle that cannot be waited for would end every wait at once: the messages alone, then.
    watched_ = nullptr;
  }
  const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
  if (got == -1) message.message = WM_QUIT;
  return true;
}

void Win32Window::dispatch(const MSG& message) {
  // Turns Alt+Space into the system menu; the characters it makes for other keys are not used.
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

LRESULT CALLBACK Win32Window::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // The first message: from here on the window procedure finds this object through the window.
    auto* self =
        static_cast<Win32Window*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // The close button and Alt+F4 only ask; the panel closes the window itself once it has
      // shut down.
      deliver(WindowEventKind::CloseRequest);
      return 0;
    case WM_QUERYENDSESSION:
      // Windows is logging off or shutting down: the panel ends the orderly way, memory saved.
      deliver(WindowEventKind::CloseRequest);
      return TRUE;
    case WM_KEYDOWN:
    case WM_KEYUP:
      // Alt combinations and F10 come as WM_SYSKEYDOWN and WM_SYSKEYUP and are left to Windows.
      if (wParam > 0 && wParam < 256) {
        deliver(message == WM_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp,
                static_cast<int>(wParam));
      }
      return 0;
    case WM_TIMER:
      // A tick already queued when its timer was stopped is dropped.
      if (timers_.count(wParam) != 0) deliver(WindowEventKind::TimerTick);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the backing bitmap covers the whole client area
    case WM_PAINT:
      paint();
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32Window::paint() {
  PAINTSTRUCT ps{};
  HDC shown = ::BeginPaint(window_, &ps);
  if (shown != nullptr && backingDc_ != nullptr) {
    const RECT& r = ps.rcPaint;
    ::BitBlt(shown, r.left, r.top, r.right - r.left, r.bottom - r.top, backingDc_, r.left, r.top,
             SRCCOPY);
  }
  ::EndPaint(window_, &ps);
}

void Win32Window::deliver(WindowEventKind kind, int key) {
  if (handler_) handler_(WindowEvent{kind, key});
}

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on plain Win32: a window class of its own, GDI text drawn into a memory bitmap as
// large as the screen, WM_KEYDOWN and WM_KEYUP as the panel's keys, and SetTimer's window timers.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_headers.h"

namespace orvane {

class Win32Window final : public Window {
 public:
  Win32Window() = default;
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // A title bar with the system menu and a minimise button, no sizing border and no maximise
  // button; spec gives the outer rectangle, as CreateWindow takes it. A window is opened at most
  // once; after close() open() returns false.
  bool open(const WindowSpec& spec, WindowEventHandler handler) override;
  // Why the last open() failed, in words for the operator; empty when it did not fail.
  const std::string& whyNotOpen() const { return whyNotOpen_; }
  void close() override;
  void setPrintPosition(int x, int y) override;
  // TextOut with an opaque white background, then the same rectangle copied to the screen at
  // once: a print made just before a long clip is seen while the clip plays.
  void print(std::string_view text) override;
  // CreateFont with the face as it is named: Windows maps a face it does not have (the panel's
  // "Ariel") to its nearest one of the same family. points are taken at the screen's DPI.
  void setFont(std::string_view face, int points, int weight) override;
  // SetTimer: Windows makes a WM_TIMER only when the queue is otherwise empty and never holds
  // more than one, so ticks coalesce by themselves.
  void startTimer(int id, int periodMs) override;
  void stopTimer(int id) override;
  // GetMessage, then PeekMessage until the queue is empty. With a handle watched, the wait is
  // MsgWaitForMultipleObjectsEx on it and the message queue; ready() is called when the handle is
  // signalled, and the messages are taken as before.
  void waitAndDispatch() override;

  // Makes the wait also end when handle is signalled (the network's event); ready() is then called
  // from waitAndDispatch on the program's thread, and must reset it. May be called before open().
  void watch(HANDLE handle, std::function<void()> ready);

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool makeBacking();
  void releaseGdiObjects();
  void paint();
  void deliver(WindowEventKind kind, int key = 0);
  void dispatch(const MSG& message);
  bool waitForMessageOrHandle(MSG& message);

  enum class State { NeverOpened, Open, Closed };
  State state_ = State::NeverOpened;
  std::string whyNotOpen_;
  WindowEventHandler handler_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HDC backingDc_ = nullptr;
  HBITMAP backing_ = nullptr;
  HGDIOBJ backingOld_ = nullptr;
  HFONT font_ = nullptr;  // nullptr: the default GUI font
  int printX_ = 0;
  int printY_ = 0;
  std::set<UINT_PTR> timers_;
  HANDLE watched_ = nullptr;
  std::function<void()> ready_;
};

}  // namespace orvane

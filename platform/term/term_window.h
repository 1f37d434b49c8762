// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's main window as a terminal: keys from the terminal the panel was started from, the
// screen as text on standard output, the timers on the program's own thread. For a station without
// a desktop (a small computer on its text console, a remote shell) and for an operator who reads a
// braille display or uses a console screen reader.
#pragma once

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/term/key_parser.h"
#include "platform/term/repeat_filter.h"
#include "platform/term/status_screen.h"
#include "platform/term/terminal_session.h"
#include "platform/tick_grid.h"

namespace orvane {

class TermWindow final : public Window {
 public:
  // layout: which print positions of the window are the fixed texts and which the fields of the
  // status line. Keys are read from inFd, the text written to outFd.
  explicit TermWindow(term::ScreenLayout layout, int inFd = STDIN_FILENO,
                      int outFd = STDOUT_FILENO);
  ~TermWindow() override;
  TermWindow(const TermWindow&) = delete;
  TermWindow& operator=(const TermWindow&) = delete;

  // Whether the panel can run in the terminal on fd now: fd is a terminal, and this program is in
  // its foreground (one in the background would be stopped the moment it set the terminal up).
  static bool terminalAvailable(int fd = STDIN_FILENO);

  // Takes over the terminal (see TerminalSession) and writes nothing yet. False when inFd is no
  // terminal or cannot be set up; whyNotOpen() then says why. The window's place and size mean
  // nothing here. Opened at most once.
  bool open(const WindowSpec& spec, WindowEventHandler handler) override;
  const std::string& whyNotOpen() const { return whyNotOpen_; }
  // Ends the status line and gives the terminal back as it was found.
  void close() override;

  void setPrintPosition(int x, int y) override;
  void print(std::string_view text) override;
  // A terminal has one size of letters.
  void setFont(std::string_view, int, int) override {}

  // Ticks fall due on a fixed grid, as in the desktop window: lateness does not add up, and ticks
  // that fall due while the program is busy are not made up.
  void startTimer(int id, int periodMs) override;
  void stopTimer(int id) override;

  // Waits, without spinning, for the next key, the next tick or a signal, and delivers what is
  // due: a close request (SIGTERM, SIGINT, SIGHUP, Ctrl-C, the terminal gone), the ticks, then the
  // keys in the order they were typed. Each key press is a key-down followed at once by its
  // key-up: the terminal tells of no key going up, and a held key's repeats are left out here.
  // Returns also once the watched descriptor's news has been served (see watch()).
  void waitAndDispatch() override;

  // Makes the wait also end when fd becomes readable (the network's epoll descriptor); ready() is
  // then called from waitAndDispatch on the program's thread, and must take away what made fd
  // readable. May be called before open().
  void watch(int fd, std::function<void()> ready);

 private:
  using Clock = term::KeyClock;

  bool deliverDueTicks();
  bool deliverTypedKeys();
  void decideKeys();
  std::optional<Clock::time_point> nextDeadline() const;
  void deliver(WindowEventKind kind, int key = 0);
  void write(std::string_view text);

  enum class State { NeverOpened, Open, Closed };
  State state_ = State::NeverOpened;
  term::ScreenLayout layout_;
  int inFd_;
  int outFd_;
  std::string whyNotOpen_;
  WindowEventHandler handler_;
  std::unique_ptr<term::TerminalSession> session_;
  std::unique_ptr<term::StatusScreen> screen_;
  term::KeyParser parser_;
  term::RepeatFilter repeats_;
  std::vector<int> presses_;  // decided, not yet delivered
  TickGrid timers_;
  int watchedFd_ = -1;
  std::function<void()> ready_;
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/term_window.h"

#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace orvane {
namespace {

// A terminal that cannot erase to the end of a line gets a line for every change.
bool canRewriteInPlace(int fd) {
  const char* term = std::getenv("TERM");
  return ::isatty(fd) && term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

}  // namespace

TermWindow::TermWindow(term::ScreenLayout layout, int inFd, int outFd)
    : layout_(std::move(layout)), inFd_(inFd), outFd_(outFd) {}

TermWindow::~TermWindow() {
  close();
}

bool TermWindow::terminalAvailable(int fd) {
  return ::isatty(fd) && ::tcgetpgrp(fd) == ::getpgrp();
}

bool TermWindow::open(const WindowSpec& /*spec*/, WindowEventHandler handler) {
  if (state_ != State::NeverOpened) return false;
  session_ = term::TerminalSession::start(inFd_, whyNotOpen_);
  if (!session_) return false;
  // The Linux console was told not to repeat keys: every key that comes was pressed.
  if (session_->repeatsOff()) repeats_ = term::RepeatFilter(std::chrono::milliseconds(0));
  const auto mode = canRewriteInPlace(outFd_) ? term::StatusScreen::Mode::InPlace
                                              : term::StatusScreen::Mode::Lines;
  screen_ = std::make_unique<term::StatusScreen>(layout_, mode,
                                                 [this](std::string_view text) { write(text); });
  handler_ = std::move(handler);
  state_ = State::Open;
  return true;
}

void TermWindow::close() {
  if (state_ != State::Open) return;
  timers_.clear();
  presses_.clear();
  screen_->finish();
  session_.reset();
  // handler_ is kept: close() may be called from inside it.
  state_ = State::Closed;
}

void TermWindow::setPrintPosition(int x, int y) {
  if (state_ == State::Open) screen_->setPrintPosition(x, y);
}

void TermWindow::print(std::string_view text) {
  if (state_ == State::Open) screen_->print(text);
}

void TermWindow::startTimer(int id, int periodMs) {
  if (state_ == State::Open) timers_.start(id, periodMs);
}

void TermWindow::stopTimer(int id) {
  if (state_ == State::Open) timers_.stop(id);
}

void TermWindow::waitAndDispatch() {
  while (state_ == State::Open) {
    if (session_->takeCloseSignal()) {
      deliver(WindowEventKind::CloseRequest);
      return;
    }
    // A tick that fell due while the program was busy comes before the keys typed meanwhile, as
    // it does in the desktop window.
    const bool ticked = deliverDueTicks();
    const bool typed = state_ == State::Open && deliverTypedKeys();
    if (state_ == State::Open && session_->takeHangUp()) {
      // No key can come any more, and nobody is left to press Q.
      deliver(WindowEventKind::CloseRequest);
      return;
    }
    if (ticked || typed) return;
    const std::optional<Clock::time_point> deadline = nextDeadline();
    int timeoutMs = -1;
    if (deadline) {
      // Rounded up, so the wait never ends before what it waits for is due.
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      timeoutMs = static_cast<int>(std::clamp<long long>(wait.count(), 0, INT_MAX));
    }
    if (session_->wait(timeoutMs, ready_ ? watchedFd_ : -1)) {
      ready_();
      return;
    }
  }
}

void TermWindow::watch(int fd, std::function<void()> ready) {
  watchedFd_ = fd;
  ready_ = std::move(ready);
}

// Delivers one tick for every timer that is due. Returns whether any was.
bool TermWindow::deliverDueTicks() {
  return timers_.deliverDue([this] {
    deliver(WindowEventKind::TimerTick);
    return state_ == State::Open;
  });
}

void TermWindow::decideKeys() {
  std::vector<term::TypedKey> typed;
  for (const term::TerminalSession::Chunk& chunk : session_->takeInput()) {
    parser_.feed(chunk.bytes, chunk.at, typed);
  }
  const Clock::time_point now = Clock::now();
  parser_.expire(now, typed);
  for (const term::TypedKey& key : typed) repeats_.push(key, presses_);
  repeats_.expire(now, presses_);
}

// Delivers the key presses decided by now. Returns whether there were any.
bool TermWindow::deliverTypedKeys() {
  decideKeys();
  if (presses_.empty()) return false;
  const std::vector<int> presses = std::exchange(presses_, {});
  for (std::size_t i = 0; i < presses.size() && state_ == State::Open; ++i) {
    // Keys typed ahead while a clip spoke each wait for the one before them; the radio is
    // polled meanwhile as the grid says.
    if (i > 0) deliverDueTicks();
    if (state_ != State::Open) break;
    if (presses[i] == term::kInterruptKey) {
      deliver(WindowEventKind::CloseRequest);
      continue;
    }
    deliver(WindowEventKind::KeyDown, presses[i]);
    deliver(WindowEventKind::KeyUp, presses[i]);
  }
  return true;
}

std::optional<TermWindow::Clock::time_point> TermWindow::nextDeadline() const {
  std::optional<Clock::time_point> next = parser_.deadline();
  const auto earliest = [&next](Clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  if (const auto held = repeats_.deadline()) earliest(*held);
  if (const auto tick = timers_.nextDue()) earliest(*tick);
  return next;
}

void TermWindow::deliver(WindowEventKind kind, int key) {
  if (handler_) handler_(WindowEvent{kind, key});
}

void TermWindow::write(std::string_view text) {
  // A terminal that went away, or a pipe nobody reads any more: the text is dropped and the
  // panel goes on.
  while (!text.empty()) {
    const ssize_t n = ::write(outFd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace orvane

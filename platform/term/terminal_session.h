// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal the panel runs in, taken over for the length of a run: raw mode (every key as it
// is typed, no echo, Ctrl-C and Ctrl-Z as keys), the signals that end a run the orderly way, and a
// reader that notes when each key arrived. Everything is given back as it was found on every way
// out: the end of the run, SIGTERM, SIGINT, SIGHUP, and a crash.
#pragma once

#include <termios.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/term/key_parser.h"

namespace orvane::term {

class TerminalSession {
 public:
  struct Chunk {
    std::string bytes;
    KeyClock::time_point at;  // when the read that brought them returned
  };

  // Takes over the terminal on inFd. nullptr, with the reason in whyNot, when inFd is no
  // terminal, its settings cannot be changed, or another session holds it.
  static std::unique_ptr<TerminalSession> start(int inFd, std::string& whyNot);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Waits until input has arrived, a close signal has come or the terminal has gone, until
  // watchedFd is readable (when it is not -1), or until timeoutMs has passed (-1: no limit).
  // Returns whether watchedFd is readable.
  bool wait(int timeoutMs, int watchedFd = -1);
  // What has been read since the last call, in order.
  std::vector<Chunk> takeInput();
  // The terminal has gone away (hung up): no key will come any more. Once only.
  bool takeHangUp();
  // SIGTERM, SIGINT or SIGHUP came since the last call.
  bool takeCloseSignal();
  // The terminal was told not to repeat held keys and does as told (the Linux console), so every
  // key that arrives was pressed.
  bool repeatsOff() const { return repeatsOff_; }

 private:
  TerminalSession(int inFd, const termios& saved);
  bool takeOver(std::string& whyNot);
  void turnRepeatsOff();
  void readKeys();
  void wake();

  int inFd_;
  termios saved_;
  bool taken_ = false;
  UniqueFd control_;  // the terminal opened for writing, for its repeat mode
  bool repeatsOff_ = false;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  UniqueFd stopRead_;
  UniqueFd stopWrite_;
  std::mutex inputMutex_;
  std::vector<Chunk> input_;
  std::atomic<bool> hungUp_{false};
  bool hangUpTaken_ = false;
  std::thread reader_;
};

}  // namespace orvane::term

// SPDX-License-Identifier: GPL-3.0-or-later
// For the real-part tests of an event wait that nothing but the thing under test should end: does
// something that ends the wait anyway (a quit event, Ctrl-C typed into the terminal) after a
// while, unless the test is done by then. A wait that never wakes then fails its test instead of
// hanging it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvane::testing {

class SafetyNet {
 public:
  SafetyNet(std::chrono::milliseconds after, std::function<void()> endTheWait)
      : thread_([this, after, endTheWait = std::move(endTheWait)] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, after, [this] { return cancelled_; })) endTheWait();
        }) {}
  ~SafetyNet() {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  SafetyNet(const SafetyNet&) = delete;
  SafetyNet& operator=(const SafetyNet&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool cancelled_ = false;
  std::thread thread_;
};

}  // namespace orvane::testing

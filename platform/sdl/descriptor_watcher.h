// SPDX-License-Identifier: GPL-3.0-or-later
// Wakes SDL's event wait when a descriptor becomes readable. SDL cannot wait on a descriptor of
// its own, but an event pushed from another thread ends its wait at once; so a thread of its own
// polls the descriptor and pushes one event when it is readable, then waits until the program's
// thread has handled that event (rearm()) before it looks again. The queue never holds more than
// one such event, however long the program's thread is busy, and the thread itself never touches
// anything of the program's but SDL's event queue.
#pragma once

#include <SDL.h>

#include <thread>

#include "platform/posix/unique_fd.h"

namespace orvane::sdl {

class DescriptorWatcher {
 public:
  // Starts watching fd; its readiness comes as an SDL event of eventType.
  DescriptorWatcher(int fd, Uint32 eventType);
  // Stops the thread and waits for it; an event already pushed stays in the queue.
  ~DescriptorWatcher();
  DescriptorWatcher(const DescriptorWatcher&) = delete;
  DescriptorWatcher& operator=(const DescriptorWatcher&) = delete;

  // Whether the thread runs (it could be started).
  bool running() const { return thread_.joinable(); }
  // The event has been handled: the descriptor is looked at again.
  void rearm();

 private:
  enum class Command { None, Rearm, Quit };
  void watch();
  bool push();
  // The next command from the program's thread, or None after timeoutMs (-1: no limit).
  Command nextCommand(int timeoutMs);

  int fd_;
  Uint32 eventType_;
  UniqueFd controlRead_;
  UniqueFd controlWrite_;
  std::thread thread_;
};

}  // namespace orvane::sdl

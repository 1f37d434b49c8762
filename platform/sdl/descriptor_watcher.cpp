// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/descriptor_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace orvane::sdl {
namespace {

constexpr char kRearm = 'r';
constexpr char kQuit = 'q';
// A queue that refused the event (full, or SDL's events shut down) is tried again after this
// long, rather than at once and again and again.
constexpr int kRetryMs = 50;

// The signals that end the panel, or tell it about its terminal, are the program's thread's: its
// wait is the one they must interrupt.
void leaveSignalsToTheProgram() {
  sigset_t signals;
  sigfillset(&signals);
  for (int synchronous : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT})
    sigdelset(&signals, synchronous);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

}  // namespace

DescriptorWatcher::DescriptorWatcher(int fd, Uint32 eventType) : fd_(fd), eventType_(eventType) {
  int fds[2] = {-1, -1};
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  controlRead_.reset(fds[0]);
  controlWrite_.reset(fds[1]);
  thread_ = std::thread([this] { watch(); });
}

DescriptorWatcher::~DescriptorWatcher() {
  if (!thread_.joinable()) return;
  // The pipe holds far more than the few bytes that can be in it: the write does not fail.
  wakeByte(controlWrite_.get(), kQuit);
  thread_.join();
}

void DescriptorWatcher::rearm() {
  if (thread_.joinable()) wakeByte(controlWrite_.get(), kRearm);
}

bool DescriptorWatcher::push() {
  SDL_Event event{};
  event.type = eventType_;
  return SDL_PushEvent(&event) == 1;
}

DescriptorWatcher::Command DescriptorWatcher::nextCommand(int timeoutMs) {
  for (;;) {
    pollfd control{controlRead_.get(), POLLIN, 0};
    const int ready = ::poll(&control, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Command::Quit;
    if (ready == 0) return Command::None;
    char command = 0;
    if (::read(controlRead_.get(), &command, 1) != 1) continue;
    return command == kQuit ? Command::Quit : Command::Rearm;
  }
}

void DescriptorWatcher::watch() {
  leaveSignalsToTheProgram();
  for (;;) {
    std::array<pollfd, 2> fds{{{controlRead_.get(), POLLIN, 0}, {fd_, POLLIN, 0}}};
    const int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return;
    if (fds[0].revents != 0) {
      if (nextCommand(0) == Command::Quit) return;
      continue;
    }
    // A descriptor closed under the watcher tells nothing any more.
    if ((fds[1].revents & POLLNVAL) != 0) return;
    while (!push()) {
      if (nextCommand(kRetryMs) == Command::Quit) return;
    }
    // The descriptor stays readable until the program's thread has handled the event: it is
    // left alone until then.
    for (Command command = Command::None; command != Command::Rearm;) {
      command = nextCommand(-1);
      if (command == Command::Quit) return;
    }
  }
}

}  // namespace orvane::sdl

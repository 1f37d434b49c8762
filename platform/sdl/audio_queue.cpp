// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/audio_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace orvane::sdl {

// A waiter looks at the device at least this often, so a device that stopped taking samples is
// noticed.
constexpr std::chrono::milliseconds kLookAgain{50};

AudioQueue::AudioQueue() : reached_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

AudioQueue::Appended AudioQueue::append(Samples samples, bool noWait) {
  std::lock_guard lock(mutex_);
  cutNoWaitLocked();
  Appended result;
  if (samples && !samples->empty()) {
    queuedEnd_ += samples->size();
    segments_.push_back(Segment{std::move(samples), 0, noWait});
  }
  result.end = queuedEnd_;
  result.wasAsleep = asleep_ && !segments_.empty();
  if (result.wasAsleep) asleep_ = false;
  lastSound_ = std::chrono::steady_clock::now();
  return result;
}

void AudioQueue::cutNoWait() {
  std::lock_guard lock(mutex_);
  cutNoWaitLocked();
}

void AudioQueue::cutNoWaitLocked() {
  if (std::erase_if(segments_, [](const Segment& s) { return s.noWait; }) > 0) {
    lastSound_ = std::chrono::steady_clock::now();
    changed_.notify_all();
  }
  queuedEnd_ = taken_;
  for (const Segment& s : segments_) queuedEnd_ += s.samples->size() - s.next;
}

void AudioQueue::clear() {
  std::lock_guard lock(mutex_);
  segments_.clear();
  queuedEnd_ = taken_;
  lastSound_ = std::chrono::steady_clock::now();
  changed_.notify_all();
}

void AudioQueue::fill(std::int16_t* out, std::size_t frames) {
  std::lock_guard lock(mutex_);
  const bool hadSound = !segments_.empty();
  while (frames > 0 && !segments_.empty()) {
    Segment& front = segments_.front();
    if (front.next == 0 && clipStarted_) clipStarted_();
    const std::size_t count = std::min(frames, front.samples->size() - front.next);
    std::copy_n(front.samples->data() + front.next, count, out);
    front.next += count;
    out += count;
    frames -= count;
    taken_ += count;
    if (front.next == front.samples->size()) segments_.pop_front();
  }
  std::fill_n(out, frames, std::int16_t{0});
  if (!hadSound) return;
  if (segments_.empty()) lastSound_ = std::chrono::steady_clock::now();
  changed_.notify_all();
  wakeWaiterIfDue();
}

// Called with the queue locked.
void AudioQueue::wakeWaiterIfDue() {
  if (!wakeAt_ || (taken_ < *wakeAt_ && taken_ < queuedEnd_)) return;
  wakeAt_.reset();
  const std::uint64_t one = 1;
  // Only fails when the counter is already set: the waiter is woken either way.
  [[maybe_unused]] const auto written = ::write(reached_.get(), &one, sizeof one);
}

void AudioQueue::setClipStartObserver(std::function<void()> observer) {
  std::lock_guard lock(mutex_);
  clipStarted_ = std::move(observer);
}

bool AudioQueue::waitUntil(Position end, Position lead, std::chrono::milliseconds stall,
                           const Errand* errand) {
  if (errand != nullptr && (errand->fd < 0 || !errand->serve || !reached_)) errand = nullptr;
  std::unique_lock lock(mutex_);
  Position lastTaken = taken_;
  auto lastProgress = std::chrono::steady_clock::now();
  while (taken_ + lead < end && taken_ < queuedEnd_) {
    if (errand != nullptr) {
      wakeAt_ = end - lead;
      // Close to the position the errand waits: a busy machine may take the thread away for a
      // while after it, and the next clip must be queued in time. The errand is run in the next
      // clip's wait instead, or by the program's event wait.
      const bool errandToo = end - lead - taken_ > lead;
      lock.unlock();
      const bool usable = waitOrRunErrand(*errand, errandToo, kLookAgain);
      lock.lock();
      wakeAt_.reset();
      if (!usable) errand = nullptr;
    } else {
      changed_.wait_for(lock, kLookAgain);
    }
    const auto now = std::chrono::steady_clock::now();
    if (taken_ != lastTaken) {
      lastTaken = taken_;
      lastProgress = now;
    } else if (now - lastProgress >= stall) {
      segments_.clear();
      queuedEnd_ = taken_;
      return false;
    }
  }
  return taken_ + lead >= end;
}

bool AudioQueue::waitOrRunErrand(const Errand& errand, bool errandToo,
                                 std::chrono::milliseconds limit) {
  std::array<pollfd, 2> fds{{{reached_.get(), POLLIN, 0}, {errand.fd, POLLIN, 0}}};
  const int ready = ::poll(fds.data(), errandToo ? 2 : 1, static_cast<int>(limit.count()));
  std::uint64_t count = 0;
  const bool reached = ::read(reached_.get(), &count, sizeof count) > 0;
  if (!errandToo) return true;
  // A descriptor that is not open would make every poll return at once.
  if ((fds[1].revents & POLLNVAL) != 0) return false;
  if (ready > 0 && !reached && (fds[1].revents & POLLIN) != 0) errand.serve();
  return true;
}

AudioQueue::Position AudioQueue::queuedEnd() const {
  std::lock_guard lock(mutex_);
  return queuedEnd_;
}

AudioQueue::Position AudioQueue::taken() const {
  std::lock_guard lock(mutex_);
  return taken_;
}

bool AudioQueue::quietFor(std::chrono::milliseconds quiet) const {
  return segments_.empty() && std::chrono::steady_clock::now() - lastSound_ >= quiet;
}

bool AudioQueue::waitUntilQuiet(std::chrono::milliseconds quiet) {
  std::unique_lock lock(mutex_);
  while (!shuttingDown_) {
    if (asleep_ || !segments_.empty()) {
      changed_.wait(lock);
    } else if (quietFor(quiet)) {
      return true;
    } else {
      changed_.wait_until(lock, lastSound_ + quiet);
    }
  }
  return false;
}

bool AudioQueue::markAsleepIfQuiet(std::chrono::milliseconds quiet) {
  std::lock_guard lock(mutex_);
  if (asleep_ || !quietFor(quiet)) return false;
  asleep_ = true;
  return true;
}

void AudioQueue::markAwake() {
  std::lock_guard lock(mutex_);
  asleep_ = false;
  lastSound_ = std::chrono::steady_clock::now();
  changed_.notify_all();
}

void AudioQueue::markAsleep() {
  std::lock_guard lock(mutex_);
  asleep_ = true;
}

void AudioQueue::shutDown() {
  std::lock_guard lock(mutex_);
  shuttingDown_ = true;
  changed_.notify_all();
}

}  // namespace orvane::sdl

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/audio_queue.h"

#include <algorithm>
#include <utility>

namespace orvane::sdl {

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
}

void AudioQueue::setClipStartObserver(std::function<void()> observer) {
  std::lock_guard lock(mutex_);
  clipStarted_ = std::move(observer);
}

bool AudioQueue::waitUntil(Position end, Position lead, std::chrono::milliseconds stall) {
  std::unique_lock lock(mutex_);
  Position lastTaken = taken_;
  auto lastProgress = std::chrono::steady_clock::now();
  while (taken_ + lead < end && taken_ < queuedEnd_) {
    changed_.wait_for(lock, std::chrono::milliseconds(50));
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

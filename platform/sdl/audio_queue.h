// SPDX-License-Identifier: GPL-3.0-or-later
// The clips waiting for the sound device, shared between the program's thread and the audio
// thread. Clips are appended whole; the audio thread takes samples from the front. Because the
// next clip of a readout is appended while the previous one is still playing, the clips follow one
// another without a gap.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace orvane::sdl {

using Samples = std::shared_ptr<const std::vector<std::int16_t>>;

class AudioQueue {
 public:
  // Something the program's thread serves while it waits for the device: when fd is readable,
  // serve() is called on the waiting thread, and the wait goes on.
  struct Errand {
    int fd = -1;
    std::function<void()> serve;
  };

  AudioQueue();

  // Where a clip ends, counted in frames taken by the device since the queue was made.
  using Position = std::uint64_t;

  struct Appended {
    Position end = 0;        // the frame count at which the clip has been handed to the device
    bool wasAsleep = false;  // the device was let go as idle and must be opened again
  };

  // Appends a clip behind whatever blocking clip is still playing; a queued no-wait clip is cut
  // off first.
  Appended append(Samples samples, bool noWait);
  // Cuts off every no-wait clip. The tail of a blocking clip, whose play has already returned, is
  // left to finish: cutting it would clip the end of every word of a readout.
  void cutNoWait();
  // Cuts off everything.
  void clear();

  // Audio thread: fills out with the next frames, silence when nothing is queued.
  void fill(std::int16_t* out, std::size_t frames);
  // Called by fill() on the audio thread, with the queue locked, whenever the first frame of a
  // clip is handed out: it must be quick and must not touch the queue. For measurements.
  void setClipStartObserver(std::function<void()> observer);

  // Waits until the device has taken all but `lead` frames before `end`. Gives up, clearing the
  // queue, when the device takes nothing for `stall` (a device that died). Returns whether the
  // position was reached. With an errand, its descriptor is watched meanwhile and the errand is
  // run whenever it is readable, except in the last `lead` frames before the wait's end; the audio
  // thread ends the wait the moment the position is reached, so the wait ends as precisely as
  // without one, and the position goes first when both are ready at once.
  bool waitUntil(Position end, Position lead, std::chrono::milliseconds stall,
                 const Errand* errand = nullptr);
  // The position at which everything queued has been taken.
  Position queuedEnd() const;

  // For the thread that lets an idle device go: waits until nothing has been queued for `quiet`
  // while the device is awake, or until shutDown(). Returns false on shut-down.
  bool waitUntilQuiet(std::chrono::milliseconds quiet);
  // True when nothing has been queued for `quiet` and the device is awake; the device is then
  // recorded as asleep, so the next append asks for it to be opened.
  bool markAsleepIfQuiet(std::chrono::milliseconds quiet);
  // The device has been opened: it is awake with nothing queued, and asleep again after a quiet
  // spell.
  void markAwake();
  // The device is not there (could not be opened, or has been closed).
  void markAsleep();
  void shutDown();

  Position taken() const;

 private:
  struct Segment {
    Samples samples;
    std::size_t next = 0;
    bool noWait = false;
  };
  void cutNoWaitLocked();
  void wakeWaiterIfDue();
  // Waits, unlocked, for the position, and (errandToo) for the errand's descriptor; runs the
  // errand when only that is ready. False when the descriptor cannot be watched.
  bool waitOrRunErrand(const Errand& errand, bool errandToo, std::chrono::milliseconds limit);

  bool quietFor(std::chrono::milliseconds quiet) const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Segment> segments_;
  Position taken_ = 0;
  Position queuedEnd_ = 0;
  bool asleep_ = true;  // no device yet
  // When the queue last held anything: when a clip was appended or the last frame taken.
  std::chrono::steady_clock::time_point lastSound_ = std::chrono::steady_clock::now();
  bool shuttingDown_ = false;
  std::function<void()> clipStarted_;
  // Written by the audio thread when a waiter with an errand is to wake: the position it waits for
  // has been reached, or nothing is left to play.
  UniqueFd reached_;
  std::optional<Position> wakeAt_;
};

}  // namespace orvane::sdl

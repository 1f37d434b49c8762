// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/audio_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace orvane::sdl {
namespace {

Samples clip(std::int16_t first, std::size_t frames) {
  auto s = std::make_shared<std::vector<std::int16_t>>(frames);
  for (std::size_t i = 0; i < frames; ++i)
    (*s)[i] = static_cast<std::int16_t>(first + static_cast<int>(i));
  return s;
}

std::vector<std::int16_t> take(AudioQueue& q, std::size_t frames) {
  std::vector<std::int16_t> out(frames, -1);
  q.fill(out.data(), frames);
  return out;
}

std::vector<std::int16_t> concat(std::initializer_list<std::vector<std::int16_t>> parts) {
  std::vector<std::int16_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(AudioQueue, ClipsFollowEachOtherWithoutGapThenSilence) {
  AudioQueue q;
  EXPECT_EQ(q.append(clip(100, 3), false).end, 3u);
  EXPECT_EQ(q.append(clip(200, 4), false).end, 7u);
  const auto out = concat({take(q, 2), take(q, 2), take(q, 5)});
  const std::vector<std::int16_t> expected{100, 101, 102, 200, 201, 202, 203, 0, 0};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(q.taken(), 7u);
}

TEST(AudioQueue, CuttingRemovesOnlyNoWaitClips) {
  AudioQueue q;
  q.append(clip(100, 3), false);  // the tail of a blocking clip
  q.append(clip(500, 10), true);  // the help clip
  take(q, 4);                     // the help clip has begun
  q.cutNoWait();
  EXPECT_EQ(q.queuedEnd(), 4u);
  EXPECT_EQ(take(q, 2), (std::vector<std::int16_t>{0, 0}));

  q.append(clip(100, 3), false);
  q.append(clip(500, 10), true);
  take(q, 1);
  // A new clip of either kind cuts the sounding no-wait clip but not the blocking tail.
  const auto appended = q.append(clip(700, 2), false);
  EXPECT_EQ(appended.end, 4u + 3u + 2u);
  EXPECT_EQ(take(q, 6), (std::vector<std::int16_t>{101, 102, 700, 701, 0, 0}));
}

TEST(AudioQueue, EachClipStartIsSeenWhenItsFirstFrameIsTaken) {
  AudioQueue q;
  int starts = 0;
  q.setClipStartObserver([&] { ++starts; });
  q.append(clip(100, 3), false);
  q.append(clip(200, 4), false);
  EXPECT_EQ(starts, 0) << "queued is not yet heard";
  take(q, 2);
  EXPECT_EQ(starts, 1);
  take(q, 2);  // the second clip begins inside this buffer
  EXPECT_EQ(starts, 2);
  take(q, 5);
  EXPECT_EQ(starts, 2);
}

TEST(AudioQueue, ClearCutsEverything) {
  AudioQueue q;
  q.append(clip(100, 3), false);
  q.clear();
  EXPECT_EQ(take(q, 2), (std::vector<std::int16_t>{0, 0}));
}

TEST(AudioQueue, StartsAsleepAndFallsAsleepOnlyAfterAQuietSpell) {
  using namespace std::chrono_literals;
  AudioQueue q;
  EXPECT_FALSE(q.append(nullptr, false).wasAsleep) << "nothing to play: no device needed";
  EXPECT_TRUE(q.append(clip(1, 2), false).wasAsleep);
  EXPECT_FALSE(q.append(clip(1, 2), false).wasAsleep);
  EXPECT_FALSE(q.markAsleepIfQuiet(0ms)) << "still sounding";
  take(q, 4);
  EXPECT_FALSE(q.markAsleepIfQuiet(1h)) << "not quiet for long enough";
  EXPECT_TRUE(q.markAsleepIfQuiet(0ms));
  EXPECT_FALSE(q.markAsleepIfQuiet(0ms)) << "already asleep";
  EXPECT_TRUE(q.append(clip(1, 2), true).wasAsleep);
}

// The closing thread lets the device go once per quiet spell (a device opened with nothing to say
// too) and waits for the next clip in between, until shut-down.
TEST(AudioQueue, QuietWaiterWakesOncePerQuietSpellOrOnShutDown) {
  using namespace std::chrono_literals;
  AudioQueue q;
  q.markAwake();
  std::atomic<int> closings{0};
  std::thread closer([&] {
    while (q.waitUntilQuiet(20ms)) {
      if (q.markAsleepIfQuiet(20ms)) ++closings;
    }
  });
  while (closings.load() == 0) std::this_thread::yield();
  EXPECT_TRUE(q.append(clip(1, 4), false).wasAsleep);
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(closings.load(), 1) << "not while a clip waits for the device";
  take(q, 4);
  while (closings.load() == 1) std::this_thread::yield();
  std::this_thread::sleep_for(60ms);
  q.shutDown();
  closer.join();
  EXPECT_EQ(closings.load(), 2);
}

TEST(AudioQueue, WaitReturnsWhenOnlyTheLeadIsLeft) {
  AudioQueue q;
  const auto end = q.append(clip(1, 1000), false).end;
  std::atomic<bool> done{false};
  std::thread device([&] {
    while (!done) {
      take(q, 100);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_TRUE(q.waitUntil(end, 300, std::chrono::milliseconds(5000)));
  const auto taken = q.taken();
  done = true;
  device.join();
  EXPECT_GE(taken + 300, end);
}

TEST(AudioQueue, WaitGivesUpOnADeviceThatTakesNothing) {
  AudioQueue q;
  const auto end = q.append(clip(1, 1000), false).end;
  EXPECT_FALSE(q.waitUntil(end, 0, std::chrono::milliseconds(150)));
  EXPECT_EQ(q.queuedEnd(), q.taken()) << "the dead clip is dropped";
}

}  // namespace
}  // namespace orvane::sdl

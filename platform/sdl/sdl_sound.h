// SPDX-License-Identifier: GPL-3.0-or-later
// Clip playback on SDL2 audio. The device is opened at the clips' own format (16-bit mono
// 22050 Hz); clips in another format are converted when they are loaded. A blocking play returns
// when about one device buffer of its clip is left, so the next clip of a readout is queued before
// the previous one has run out and the readout sounds as one phrase.
//
// The device is open only while there is something to say. An open SDL device keeps its thread
// (and a sound server) busy with silence many times a second even when paused, so a panel left
// waiting all day would never be idle; once nothing has been queued for a moment the device is
// closed, and the next clip opens it again. A freshly opened device also sounds sooner than a
// running one: the clip is its very first buffer, instead of waiting behind buffers of silence.
#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/sdl/audio_queue.h"

namespace orvane {

class SdlSound final : public SoundPlayer {
 public:
  static constexpr int kRate = 22050;
  static constexpr SDL_AudioFormat kFormat = AUDIO_S16SYS;
  static constexpr Uint8 kChannels = 1;

  // How long the device stays open after the last sample has been handed to it: long enough for
  // every buffer on its way to the loudspeaker to be heard (closing drops what a sound server
  // still holds; by then 150 ms of silence have followed it), and short, because the operator's
  // next key rarely comes sooner and a device opened for it sounds sooner than a running one.
  static constexpr std::chrono::milliseconds kQuietBeforeClosing{150};

  // Starts SDL's audio service on its own and opens the default device, to know whether there is
  // one (it stays open for the first clips). Without a usable device a play returns false at once;
  // the program runs silently. A device that cannot be opened is tried again at the next play.
  // clipRatePercent (100 to 300) is the pace the clips are played at, each stretched once when it
  // is loaded; a pause the radio needs keeps its recorded length.
  explicit SdlSound(int clipRatePercent = 100);
  ~SdlSound() override;  // lets a blocking clip's last samples play, then closes the device
  SdlSound(const SdlSound&) = delete;
  SdlSound& operator=(const SdlSound&) = delete;

  bool playBlocking(const std::string& path) override;
  bool playNoWait(const std::string& path) override;
  void stop() override;
  bool playPause(const std::string& path, bool audible) override;

  // Makes every blocking play serve something else while it waits for its clip: whenever fd is
  // readable, dispatch() is called on the program's thread, and the wait goes on to the clip's end
  // as precisely as without it. Not in the last device buffer or so before the play returns: a
  // busy machine may take the thread away for a while after a dispatch, and the next clip of a
  // readout must still be queued in time (what comes then is served in the next clip's wait). For
  // the network: a client is answered while the panel speaks. dispatch() runs inside a clip's play,
  // so a clip it asks for plays nothing (the play returns false). fd -1 stops it.
  void serveWhileWaiting(int fd, std::function<void()> dispatch);

  // Whether the sound device could be opened the last time it was needed.
  bool hasDevice() const { return deviceUsable_; }
  // Frames per device buffer, 0 while no device has ever been opened.
  int deviceBufferFrames() const { return bufferFrames_; }
  // Calls observer on the audio thread at the moment the first sample of each clip is handed to
  // the device; it must be quick. For measurements of how soon the operator hears an answer.
  void setClipStartObserver(std::function<void()> observer) {
    queue_.setClipStartObserver(std::move(observer));
  }

 private:
  struct CachedClip {
    sdl::Samples samples;
    std::filesystem::file_time_type modified;
    std::uintmax_t size = 0;
  };

  // How a clip is wanted: at the clip rate, at its recorded pace, or as silence of that length.
  enum class Pace { ClipRate, AsRecorded, Silent };

  static void onAudio(void* self, Uint8* stream, int length);
  sdl::Samples load(const std::string& path, Pace pace);
  void remember(const std::string& key, const CachedClip& clip);
  bool start(const std::string& path, bool noWait, sdl::AudioQueue::Position* end,
             Pace pace = Pace::ClipRate);
  bool waitUntilNearlyPlayed(sdl::AudioQueue::Position end);
  bool openDevice();
  void closeDevice();
  void closeWhenQuiet();

  int clipRate_;
  sdl::AudioQueue queue_;
  bool audioStarted_ = false;
  std::optional<sdl::AudioQueue::Errand> errand_;
  bool runningErrand_ = false;
  // Held while the device is opened or closed: the program's thread opens it, the closing
  // thread closes it.
  std::mutex deviceMutex_;
  SDL_AudioDeviceID device_ = 0;
  std::atomic<bool> deviceUsable_{false};
  std::atomic<int> bufferFrames_{0};
  std::thread closer_;
  std::map<std::string, CachedClip> cache_;
  std::size_t cachedFrames_ = 0;
};

}  // namespace orvane

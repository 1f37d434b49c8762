// Clip playback on SDL2 audio. The device is opened once, at the clips' own format (16-bit mono
// 22050 Hz); clips in another format are converted when they are loaded. A blocking play returns
// when about one device buffer of its clip is left, so the next clip of a readout is queued before
// the previous one has run out and the readout sounds as one phrase.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
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

  // Starts SDL's audio service on its own and opens the default device. Without a usable device
  // every play returns false at once; the program runs silently.
  SdlSound();
  ~SdlSound() override;  // lets a blocking clip's last samples play, then closes the device
  SdlSound(const SdlSound&) = delete;
  SdlSound& operator=(const SdlSound&) = delete;

  bool playBlocking(const std::string& path) override;
  bool playNoWait(const std::string& path) override;
  void stop() override;

  bool hasDevice() const { return device_ != 0; }
  // Frames per device buffer, 0 without a device.
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

  static void onAudio(void* self, Uint8* stream, int length);
  sdl::Samples load(const std::string& path);
  void remember(const std::string& path, const CachedClip& clip);
  bool start(const std::string& path, bool noWait, sdl::AudioQueue::Position* end);
  void pauseWhenIdle();

  sdl::AudioQueue queue_;
  SDL_AudioDeviceID device_ = 0;
  bool audioStarted_ = false;
  int bufferFrames_ = 0;
  std::thread idlePauser_;
  std::map<std::string, CachedClip> cache_;
  std::size_t cachedFrames_ = 0;
};

}  // namespace orvane

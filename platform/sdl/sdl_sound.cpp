// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_sound.h"

#include "platform/sdl/clip_tempo.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

namespace orvane {
namespace {

// 11.6 ms: the first sample of an answer is heard after at most one buffer, and a cut-off at
// once. Smaller buffers underrun on a busy machine and with sound servers.
constexpr Uint16 kDeviceBufferFrames = 256;
// Decoded clips kept: the whole vocabulary and a long help clip fit easily.
constexpr std::size_t kCacheFrames = 8u * 1024u * 1024u;
// A device that takes no samples for this long has died; a blocking play then gives up.
constexpr std::chrono::milliseconds kStallLimit{2000};
// Most a clip may take in memory while it is converted: minutes of CD-quality stereo, far beyond
// any clip of the set. A damaged header can claim a sample rate of 1 Hz, and converting its
// samples to 22050 Hz would then ask for gigabytes.
constexpr std::uint64_t kMaxConversionBytes = 128u * 1024u * 1024u;

struct WavDeleter {
  void operator()(Uint8* buffer) const { SDL_FreeWAV(buffer); }
};

sdl::Samples toSamples(const Uint8* bytes, std::size_t length) {
  auto samples = std::make_shared<std::vector<std::int16_t>>(length / sizeof(std::int16_t));
  std::memcpy(samples->data(), bytes, samples->size() * sizeof(std::int16_t));
  return samples;
}

// Converts with SDL_AudioCVT rather than SDL_AudioStream: in SDL 2.26 the stream keeps back the
// last ~23 ms of a clip when it is flushed, which would clip the end of every word.
sdl::Samples convert(const SDL_AudioSpec& spec, const Uint8* bytes, Uint32 length) {
  if (spec.format == SdlSound::kFormat && spec.channels == SdlSound::kChannels &&
      spec.freq == SdlSound::kRate) {
    return toSamples(bytes, length);
  }
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, SdlSound::kFormat,
                        SdlSound::kChannels, SdlSound::kRate) < 0) {
    return nullptr;
  }
  const std::size_t frameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8u * spec.channels;
  const Uint32 whole = static_cast<Uint32>(length - length % frameBytes);
  if (std::uint64_t{whole} * static_cast<std::uint64_t>(cvt.len_mult) > kMaxConversionBytes) {
    return nullptr;
  }
  std::vector<Uint8> work(static_cast<std::size_t>(whole) * static_cast<std::size_t>(cvt.len_mult));
  if (work.empty()) return std::make_shared<std::vector<std::int16_t>>();
  std::memcpy(work.data(), bytes, whole);
  cvt.buf = work.data();
  cvt.len = static_cast<int>(whole);
  if (SDL_ConvertAudio(&cvt) != 0) return nullptr;
  return toSamples(work.data(), static_cast<std::size_t>(cvt.len_cvt));
}

sdl::Samples silenceAsLong(const sdl::Samples& samples) {
  return std::make_shared<std::vector<std::int16_t>>(samples->size(), std::int16_t{0});
}

}  // namespace

SdlSound::SdlSound(int clipRatePercent) : clipRate_(std::clamp(clipRatePercent, 100, 300)) {
  audioStarted_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!audioStarted_) return;
  {
    std::lock_guard lock(deviceMutex_);
    if (openDevice()) queue_.markAwake();
  }
  closer_ = std::thread([this] { closeWhenQuiet(); });
}

SdlSound::~SdlSound() {
  if (audioStarted_) {
    queue_.cutNoWait();
    // A blocking clip's play has returned with its last buffer still to come: let it be heard.
    queue_.waitUntil(queue_.queuedEnd(), 0, kStallLimit);
    {
      std::lock_guard lock(deviceMutex_);
      if (device_ != 0) SDL_Delay(static_cast<Uint32>(bufferFrames_ * 1000 / kRate));
    }
    queue_.shutDown();
    closer_.join();
    {
      std::lock_guard lock(deviceMutex_);
      closeDevice();
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
  }
}

// Called with deviceMutex_ held. Whatever is queued sounds from the device's first buffer on: it
// starts unpaused.
bool SdlSound::openDevice() {
  SDL_AudioSpec wanted{};
  wanted.freq = kRate;
  wanted.format = kFormat;
  wanted.channels = kChannels;
  wanted.samples = kDeviceBufferFrames;
  wanted.callback = &SdlSound::onAudio;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts for the hardware, and the callback always sees the clips'
  // own format.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  deviceUsable_ = device_ != 0;
  if (device_ == 0) return false;
  bufferFrames_ = obtained.samples;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

// Called with deviceMutex_ held.
void SdlSound::closeDevice() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
}

void SdlSound::onAudio(void* self, Uint8* stream, int length) {
  auto* sound = static_cast<SdlSound*>(self);
  sound->queue_.fill(reinterpret_cast<std::int16_t*>(stream),
                     static_cast<std::size_t>(length) / sizeof(std::int16_t));
}

void SdlSound::closeWhenQuiet() {
  while (queue_.waitUntilQuiet(kQuietBeforeClosing)) {
    std::lock_guard lock(deviceMutex_);
    // A clip may have come in while the lock was being waited for.
    if (queue_.markAsleepIfQuiet(kQuietBeforeClosing)) closeDevice();
  }
}

void SdlSound::serveWhileWaiting(int fd, std::function<void()> dispatch) {
  if (fd < 0 || !dispatch) {
    errand_.reset();
    return;
  }
  errand_ = sdl::AudioQueue::Errand{fd, [this, dispatch = std::move(dispatch)] {
                                      runningErrand_ = true;
                                      dispatch();
                                      runningErrand_ = false;
                                    }};
}

bool SdlSound::playBlocking(const std::string& path) {
  sdl::AudioQueue::Position end = 0;
  if (!start(path, false, &end)) return false;
  return waitUntilNearlyPlayed(end);
}

bool SdlSound::playPause(const std::string& path, bool audible) {
  sdl::AudioQueue::Position end = 0;
  if (!start(path, false, &end, audible ? Pace::AsRecorded : Pace::Silent)) return false;
  return waitUntilNearlyPlayed(end);
}

bool SdlSound::waitUntilNearlyPlayed(sdl::AudioQueue::Position end) {
  // Return while about one device buffer is left: the next clip is appended in time to follow
  // without a gap, and the program never runs more than that ahead of what is heard.
  return queue_.waitUntil(end, static_cast<sdl::AudioQueue::Position>(bufferFrames_), kStallLimit,
                          errand_ ? &*errand_ : nullptr);
}

bool SdlSound::playNoWait(const std::string& path) {
  return start(path, true, nullptr);
}

void SdlSound::stop() {
  queue_.cutNoWait();
}

bool SdlSound::start(const std::string& path, bool noWait, sdl::AudioQueue::Position* end,
                     Pace pace) {
  // Asked for by the errand run inside a blocking play's wait: that play's clip is sounding.
  if (!audioStarted_ || runningErrand_) return false;
  // A clip still sounding from a no-wait play ends when the next clip starts, even when that
  // clip turns out to be missing.
  queue_.cutNoWait();
  sdl::Samples samples = load(path, pace);
  if (!samples) return false;
  // Waits while the closing thread lets the device go, so the clip never meets a device that is
  // on its way out.
  std::lock_guard lock(deviceMutex_);
  const sdl::AudioQueue::Appended appended = queue_.append(std::move(samples), noWait);
  if (appended.wasAsleep && !openDevice()) {
    queue_.clear();
    queue_.markAsleep();
    return false;
  }
  if (end != nullptr) *end = appended.end;
  return true;
}

sdl::Samples SdlSound::load(const std::string& path, Pace pace) {
  std::error_code error;
  const auto modified = std::filesystem::last_write_time(path, error);
  if (error) return nullptr;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return nullptr;
  const bool stretched = pace == Pace::ClipRate && clipRate_ != 100;
  // A stretched clip and the same clip at its recorded pace are kept apart.
  const std::string key = stretched ? path + "\n" + std::to_string(clipRate_) : path;
  if (auto it = cache_.find(key);
      it != cache_.end() && it->second.modified == modified && it->second.size == size) {
    return pace == Pace::Silent ? silenceAsLong(it->second.samples) : it->second.samples;
  }

  SDL_AudioSpec spec{};
  Uint8* raw = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &spec, &raw, &length) == nullptr) return nullptr;
  std::unique_ptr<Uint8, WavDeleter> bytes(raw);
  sdl::Samples samples = convert(spec, bytes.get(), length);
  if (!samples) return nullptr;
  // Stretched once here, not at every play.
  if (stretched) {
    samples =
        std::make_shared<std::vector<std::int16_t>>(sdl::changeTempo(*samples, kRate, clipRate_));
  }
  remember(key, CachedClip{samples, modified, size});
  return pace == Pace::Silent ? silenceAsLong(samples) : samples;
}

void SdlSound::remember(const std::string& key, const CachedClip& clip) {
  if (clip.samples->size() > kCacheFrames) return;
  if (auto it = cache_.find(key); it != cache_.end()) {
    cachedFrames_ -= it->second.samples->size();
    cache_.erase(it);
  }
  if (cachedFrames_ + clip.samples->size() > kCacheFrames) {
    cache_.clear();
    cachedFrames_ = 0;
  }
  cache_.emplace(key, clip);
  cachedFrames_ += clip.samples->size();
}

}  // namespace orvane

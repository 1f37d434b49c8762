// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/win32_sound.h"

#include <algorithm>
#include <cstdint>

#include "platform/win32/disk_file.h"

namespace orvane {
namespace {

// How much of a blocking clip is still queued when its play returns: enough to read and queue the
// next clip of a readout before the device runs dry, even when the system wakes the program a
// timer tick (about 16 ms) late.
constexpr int kLeadMs = 40;
// A device that finishes nothing for this long beyond what it was given has died; the play then
// gives up instead of stopping the panel.
constexpr DWORD kStallMs = 2000;
// How often the play position is looked at while a play waits for it.
constexpr DWORD kPollMs = 5;
// Most a clip file may hold: about 12 minutes of the clip set's format, far beyond any help text.
// A file that claims more is not a clip, and reading it would only take the memory.
constexpr std::size_t kMaxClipBytes = 32u * 1024u * 1024u;

bool isDone(const WAVEHDR& header) {
  // The device sets the flag from its own thread.
  return (static_cast<const volatile DWORD&>(header.dwFlags) & WHDR_DONE) != 0;
}

DWORD durationMs(std::size_t bytes, const PcmFormat& format) {
  const std::size_t bytesPerSecond =
      static_cast<std::size_t>(format.sampleRate) * static_cast<std::size_t>(format.blockAlign);
  if (bytesPerSecond == 0) return 0;
  const std::size_t ms = bytes * 1000u / bytesPerSecond + 1;
  return ms > MAXDWORD / 2 ? MAXDWORD / 2 : static_cast<DWORD>(ms);
}

WAVEFORMATEX waveFormat(const PcmFormat& format) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(format.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
  wave.nBlockAlign = static_cast<WORD>(format.blockAlign);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  wave.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
  return wave;
}

}  // namespace

Win32Sound::Win32Sound() : bufferDone_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

Win32Sound::~Win32Sound() {
  // Whatever it served may be gone by now.
  serveWhileWaiting(nullptr, nullptr);
  cutNoWait();
  waitForEverything();
  closeDevice();
}

bool Win32Sound::playBlocking(const std::string& path) {
  return playToEnd(path, false);
}

bool Win32Sound::playPause(const std::string& path, bool audible) {
  return playToEnd(path, !audible);
}

bool Win32Sound::playToEnd(const std::string& path, bool silent) {
  if (!start(path, false, silent)) return false;
  Buffer* body = std::exchange(waitedFor_, nullptr);
  // The device marks a buffer done once it has taken it into its own buffers, which can be well
  // before it is heard; the play position tells when it has been played.
  const std::size_t lead = std::min(leadFrames(), framesQueued_);
  if ((body != nullptr && !waitUntilDone(*body)) || !waitUntilPlayed(framesQueued_ - lead)) {
    // The device has stopped taking samples: nothing more will be heard from it.
    closeDevice();
    return false;
  }
  return true;
}

bool Win32Sound::playNoWait(const std::string& path) {
  return start(path, true);
}

void Win32Sound::stop() {
  // From inside a wait, whose buffer must stay where it is; nothing cuttable sounds then anyway.
  if (!runningErrand_) cutNoWait();
}

void Win32Sound::serveWhileWaiting(HANDLE handle, std::function<void()> dispatch) {
  errandHandle_ = dispatch ? handle : nullptr;
  errand_ = std::move(dispatch);
}

void Win32Sound::runErrand() {
  runningErrand_ = true;
  errand_();
  runningErrand_ = false;
}

void Win32Sound::cutNoWait() {
  releaseFinished();
  const bool noWaitSounding =
      std::any_of(buffers_.begin(), buffers_.end(), [](const auto& b) { return b->noWait; });
  if (!noWaitSounding) return;
  // waveOutReset ends every buffer at once; the no-wait clip is the only one queued by now, since
  // it was started only once the blocking clips before it had played out.
  reset();
}

void Win32Sound::reset() {
  ::waveOutReset(device_);
  releaseFinished();
  framesQueued_ = 0;  // the play position starts again from 0 too
}

std::size_t Win32Sound::leadFrames() const {
  return static_cast<std::size_t>(deviceFormat_.sampleRate) * static_cast<std::size_t>(kLeadMs) /
         1000u;
}

// The frames played since the device was opened or reset, modulo 2^32; nothing when the device
// cannot tell.
std::optional<std::uint32_t> Win32Sound::framesPlayed() {
  MMTIME position{};
  position.wType = TIME_SAMPLES;
  if (::waveOutGetPosition(device_, &position, sizeof position) != MMSYSERR_NOERROR)
    return std::nullopt;
  if (position.wType == TIME_SAMPLES) return position.u.sample;
  if (position.wType == TIME_BYTES && deviceFormat_.blockAlign > 0)
    return position.u.cb / static_cast<DWORD>(deviceFormat_.blockAlign);
  return std::nullopt;
}

// Waits until the device has played up to frame `until` (counted like framesQueued_). Gives up,
// false, when the position stands still for kStallMs; a device that tells no position is taken at
// its word that its buffers are done.
bool Win32Sound::waitUntilPlayed(std::size_t until) {
  std::optional<std::uint32_t> last;
  ULONGLONG lastMoved = ::GetTickCount64();
  for (;;) {
    const std::optional<std::uint32_t> played = framesPlayed();
    if (!played) return true;
    // Both sides modulo 2^32: their difference is right as long as it is below 2^31 frames.
    const auto left = static_cast<std::int32_t>(static_cast<std::uint32_t>(until) - *played);
    if (left <= 0) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (played != last) {
      last = played;
      lastMoved = now;
    } else if (now - lastMoved > kStallMs) {
      return false;
    }
    // Close to the end the errand waits: a busy machine may take the thread away for a while
    // after it, and the next clip must be queued in time. It is run in the next clip's wait
    // instead, or by the window's wait.
    const bool errandToo =
        errandHandle_ != nullptr && static_cast<std::size_t>(left) > leadFrames();
    if (!errandToo) {
      ::Sleep(kPollMs);
    } else if (::WaitForSingleObject(errandHandle_, kPollMs) == WAIT_OBJECT_0) {
      runErrand();
    }
  }
}

// Queues the clip; a blocking clip in two parts, whose first one waitedFor_ then names.
bool Win32Sound::start(const std::string& path, bool noWait, bool silent) {
  // Asked for by the errand run inside a wait: the clip waited for is sounding.
  if (runningErrand_) return false;
  // A clip still sounding from a no-wait play ends when the next clip starts, even when that clip
  // turns out to be missing.
  cutNoWait();
  const std::optional<std::string> bytes = readDiskFile(path, kMaxClipBytes);
  if (!bytes) return false;
  std::optional<PcmClip> clip = parseWav(*bytes);
  // A pause as long as the clip: 8-bit samples are silent at their middle value.
  std::string silence;
  if (clip && silent) {
    silence.assign(clip->samples.size(), clip->format.bitsPerSample == 8 ? '\x80' : '\0');
    clip->samples = silence;
  }
  if (!clip || clip->samples.empty() || !openDevice(clip->format)) return false;

  if (noWait) {
    // The tail of the last blocking clip plays out first: cutting the no-wait clip off cuts
    // everything queued.
    waitForEverything();
    if (device_ == nullptr) return false;
    return queue(clip->samples, true) != nullptr || giveUpDevice();
  }
  const auto frameBytes = static_cast<std::size_t>(clip->format.blockAlign);
  const std::size_t bodyBytes =
      clip->samples.size() - std::min(clip->frames(), leadFrames()) * frameBytes;
  Buffer* body = nullptr;
  if (bodyBytes > 0) {
    body = queue(clip->samples.substr(0, bodyBytes), false);
    if (body == nullptr) return giveUpDevice();
  }
  if (queue(clip->samples.substr(bodyBytes), false) == nullptr) return giveUpDevice();
  waitedFor_ = body;
  return true;
}

// A device that refuses a buffer has usually gone (a USB headset pulled out); the next clip opens
// whatever device is then the default.
bool Win32Sound::giveUpDevice() {
  closeDevice();
  return false;
}

bool Win32Sound::openDevice(const PcmFormat& format) {
  if (device_ != nullptr && deviceFormat_ == format) return true;
  if (!bufferDone_) return false;
  // Another format needs the device opened anew; the clip before it plays to its end first.
  waitForEverything();
  closeDevice();
  const WAVEFORMATEX wave = waveFormat(format);
  HWAVEOUT device = nullptr;
  if (::waveOutOpen(&device, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(bufferDone_.get()), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    return false;
  }
  device_ = device;
  deviceFormat_ = format;
  return true;
}

void Win32Sound::closeDevice() {
  if (device_ == nullptr) return;
  reset();
  ::waveOutClose(device_);
  device_ = nullptr;
  buffers_.clear();  // none should be left; a device that kept one is gone with it
}

Win32Sound::Buffer* Win32Sound::queue(std::string_view samples, bool noWait) {
  auto buffer = std::make_unique<Buffer>();
  buffer->samples.assign(samples.begin(), samples.end());
  buffer->noWait = noWait;
  buffer->header.lpData = buffer->samples.data();
  buffer->header.dwBufferLength = static_cast<DWORD>(buffer->samples.size());
  constexpr UINT kHeaderSize = sizeof(WAVEHDR);
  if (::waveOutPrepareHeader(device_, &buffer->header, kHeaderSize) != MMSYSERR_NOERROR)
    return nullptr;
  if (::waveOutWrite(device_, &buffer->header, kHeaderSize) != MMSYSERR_NOERROR) {
    ::waveOutUnprepareHeader(device_, &buffer->header, kHeaderSize);
    return nullptr;
  }
  framesQueued_ += buffer->samples.size() / static_cast<std::size_t>(deviceFormat_.blockAlign);
  buffers_.push_back(std::move(buffer));
  return buffers_.back().get();
}

// Waits for the device to finish the buffer, allowing the time all buffers queued up to it take
// and then kStallMs.
bool Win32Sound::waitUntilDone(const Buffer& buffer) {
  std::size_t bytesAhead = 0;
  for (const auto& b : buffers_) {
    bytesAhead += b->samples.size();
    if (b.get() == &buffer) break;
  }
  const DWORD limit = durationMs(bytesAhead, deviceFormat_) + kStallMs;
  const ULONGLONG started = ::GetTickCount64();
  while (!isDone(buffer.header)) {
    const ULONGLONG waited = ::GetTickCount64() - started;
    if (waited >= limit) return false;
    // The event is set whenever the device finishes a buffer; the flag says whether it was this
    // one. A buffer finished between the test and the wait has set the event already.
    const HANDLE handles[] = {bufferDone_.get(), errandHandle_};
    const DWORD count = errandHandle_ != nullptr ? 2 : 1;
    if (::WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(limit - waited)) ==
        WAIT_OBJECT_0 + 1) {
      runErrand();
    }
  }
  return true;
}

void Win32Sound::waitForEverything() {
  releaseFinished();
  if (device_ == nullptr) return;
  if ((!buffers_.empty() && !waitUntilDone(*buffers_.back())) || !waitUntilPlayed(framesQueued_))
    closeDevice();
}

void Win32Sound::releaseFinished() {
  for (auto it = buffers_.begin(); it != buffers_.end();) {
    Buffer& buffer = **it;
    if (!isDone(buffer.header)) {
      ++it;
      continue;
    }
    ::waveOutUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
    it = buffers_.erase(it);
  }
}

}  // namespace orvane

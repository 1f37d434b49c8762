#include "platform/win32/win32_sound.h"

#include <algorithm>

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
  cutNoWait();
  waitForEverything();
  closeDevice();
}

bool Win32Sound::playBlocking(const std::string& path) {
  if (!start(path, false)) return false;
  Buffer* body = std::exchange(waitedFor_, nullptr);
  if (body != nullptr && !waitUntilDone(*body)) {
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
  cutNoWait();
}

void Win32Sound::cutNoWait() {
  releaseFinished();
  const bool noWaitSounding =
      std::any_of(buffers_.begin(), buffers_.end(), [](const auto& b) { return b->noWait; });
  if (!noWaitSounding) return;
  // waveOutReset ends every buffer at once; what it also takes of a blocking clip is no more than
  // that clip's last few milliseconds, which are over by the time anything could follow them.
  ::waveOutReset(device_);
  releaseFinished();
}

// Queues the clip; a blocking clip in two parts, whose first one waitedFor_ then names.
bool Win32Sound::start(const std::string& path, bool noWait) {
  // A clip still sounding from a no-wait play ends when the next clip starts, even when that clip
  // turns out to be missing.
  cutNoWait();
  const std::optional<std::string> bytes = readDiskFile(path, kMaxClipBytes);
  if (!bytes) return false;
  const std::optional<PcmClip> clip = parseWav(*bytes);
  if (!clip || clip->samples.empty() || !openDevice(clip->format)) return false;

  if (noWait) return queue(clip->samples, true) != nullptr;
  const auto frameBytes = static_cast<std::size_t>(clip->format.blockAlign);
  const std::size_t leadFrames =
      static_cast<std::size_t>(clip->format.sampleRate) * static_cast<std::size_t>(kLeadMs) / 1000u;
  const std::size_t bodyBytes =
      clip->samples.size() - std::min(clip->frames(), leadFrames) * frameBytes;
  Buffer* body = nullptr;
  if (bodyBytes > 0) {
    body = queue(clip->samples.substr(0, bodyBytes), false);
    if (body == nullptr) return false;
  }
  if (queue(clip->samples.substr(bodyBytes), false) == nullptr) return false;
  waitedFor_ = body;
  return true;
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
  ::waveOutReset(device_);
  releaseFinished();
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
    ::WaitForSingleObject(bufferDone_.get(), static_cast<DWORD>(limit - waited));
  }
  return true;
}

void Win32Sound::waitForEverything() {
  releaseFinished();
  if (!buffers_.empty() && !waitUntilDone(*buffers_.back())) closeDevice();
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

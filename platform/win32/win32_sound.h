// SPDX-License-Identifier: GPL-3.0-or-later
// Clip playback through the Windows waveOut interface, at each clip's own PCM format. The device
// is opened at the first clip and kept open while the clips keep its format, so the next clip of a
// readout is queued behind the end of the previous one and the readout sounds as one phrase.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wav_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_headers.h"

// After windows.h, which it builds on.
#include <mmsystem.h>

namespace orvane {

class Win32Sound final : public SoundPlayer {
 public:
  Win32Sound();
  ~Win32Sound() override;  // lets the last clip play out, then closes the device
  Win32Sound(const Win32Sound&) = delete;
  Win32Sound& operator=(const Win32Sound&) = delete;

  // Returns while the clip's last few tens of milliseconds are still queued in the device: the
  // next clip then follows without a gap, and the program is never further ahead of what is
  // heard than that. False when the clip cannot be read or no device takes it.
  bool playBlocking(const std::string& path) override;
  bool playNoWait(const std::string& path) override;
  // Cuts off a clip started with playNoWait. The tail of a blocking clip, whose play has already
  // returned, is left to finish: cutting it would clip the end of every word of a readout.
  void stop() override;
  // No clip rate on Windows: an audible pause is the clip played to its end.
  bool playPause(const std::string& path, bool audible) override;

  // Makes every wait for the device serve something else meanwhile: whenever handle is signalled,
  // dispatch() is called on the program's thread (and must reset it), and the wait goes on; not in
  // the last few tens of milliseconds before a blocking play returns, so that the next clip of a
  // readout is still queued in time on a busy machine. For
  // the network: a client is answered while the panel speaks. dispatch() runs inside a play, so a
  // clip it asks for plays nothing (the play returns false), and a stop() it asks for does
  // nothing. nullptr stops it.
  void serveWhileWaiting(HANDLE handle, std::function<void()> dispatch);

 private:
  // One buffer handed to the device; it must stay in place until the device is done with it.
  struct Buffer {
    WAVEHDR header{};
    std::vector<char> samples;
    bool noWait = false;
  };

  bool openDevice(const PcmFormat& format);
  void closeDevice();
  bool giveUpDevice();
  bool playToEnd(const std::string& path, bool silent);
  bool start(const std::string& path, bool noWait, bool silent = false);
  Buffer* queue(std::string_view samples, bool noWait);
  bool waitUntilDone(const Buffer& buffer);
  void waitForEverything();
  void releaseFinished();
  void cutNoWait();
  void reset();
  std::size_t leadFrames() const;
  std::optional<std::uint32_t> framesPlayed();
  bool waitUntilPlayed(std::size_t until);
  void runErrand();

  HWAVEOUT device_ = nullptr;
  PcmFormat deviceFormat_;
  UniqueHandle bufferDone_;  // signalled by the device whenever it has finished a buffer
  std::list<std::unique_ptr<Buffer>> buffers_;
  // The first part of the last blocking clip, which its play waits for.
  Buffer* waitedFor_ = nullptr;
  // Frames handed to the device since it was opened or last reset: where the play position will
  // stand once everything queued has been played.
  std::size_t framesQueued_ = 0;
  HANDLE errandHandle_ = nullptr;
  std::function<void()> errand_;
  bool runningErrand_ = false;
};

}  // namespace orvane

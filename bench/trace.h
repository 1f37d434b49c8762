// SPDX-License-Identifier: GPL-3.0-or-later
// Timestamps from inside the running panel, for the benchmarks: decorators of the platform's
// window, serial ports and sound player that note, on the monotonic clock, when a key reaches the
// window's event handler, when a command's last byte has been written to the port, when a clip is
// asked for and when its first sample goes to the sound device. The panel's logic and the real
// platform stay as they are; only the benchmark's own executable (orvane_traced) puts these
// around them.
//
// Trace file: one line per event, "<CLOCK_MONOTONIC seconds, 6 decimals> <event> [<detail>]":
//   window-open                   the window is made, mapped and painted
//   key-down VK, key-up VK        a key event entering the panel's event handler
//   write N TEXT                  a write to the port returned having written N bytes of TEXT
//   play PATH, play-nowait PATH   a clip asked for
//   clip-start                    the first sample of a clip handed to the sound device
//   sound-buffer FRAMES RATE      the sound device's buffer, once at start (0 0: no device)
#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/unique_fd.h"

namespace orvane::bench {

// Notes are kept in memory and written out at flush(), which the decorators call only after the
// measured work is done (a key's handling, a clip's play), so the file writes never sit between
// the two timestamps of a measurement. note() may be called from any thread.
class TraceLog {
 public:
  explicit TraceLog(const std::string& path);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  bool isOpen() const { return fd_.valid(); }
  void note(std::string_view event, std::string_view detail = {});
  void flush();

 private:
  struct Note {
    timespec at;
    std::string text;
  };
  UniqueFd fd_;
  std::mutex mutex_;
  std::vector<Note> pending_;
};

class TracingWindow final : public Window {
 public:
  TracingWindow(Window& inner, TraceLog& trace) : inner_(inner), trace_(trace) {}
  bool open(const WindowSpec& spec, WindowEventHandler handler) override;
  void close() override { inner_.close(); }
  void setPrintPosition(int x, int y) override { inner_.setPrintPosition(x, y); }
  void print(std::string_view text) override { inner_.print(text); }
  void setFont(std::string_view face, int points, int weight) override {
    inner_.setFont(face, points, weight);
  }
  void startTimer(int id, int periodMs) override { inner_.startTimer(id, periodMs); }
  void stopTimer(int id) override { inner_.stopTimer(id); }
  void waitAndDispatch() override { inner_.waitAndDispatch(); }

 private:
  Window& inner_;
  TraceLog& trace_;
};

class TracingSerialPorts final : public SerialPorts {
 public:
  TracingSerialPorts(SerialPorts& inner, TraceLog& trace) : inner_(inner), trace_(trace) {}
  std::unique_ptr<SerialDevice> open(int portNumber) override;

 private:
  SerialPorts& inner_;
  TraceLog& trace_;
};

class TracingSound final : public SoundPlayer {
 public:
  TracingSound(SoundPlayer& inner, TraceLog& trace) : inner_(inner), trace_(trace) {}
  bool playBlocking(const std::string& path) override;
  bool playNoWait(const std::string& path) override;
  void stop() override { inner_.stop(); }
  bool playPause(const std::string& path, bool audible) override {
    return inner_.playPause(path, audible);
  }

 private:
  SoundPlayer& inner_;
  TraceLog& trace_;
};

// "say" when the panel hands a phrase to the speech service, "said RESULT" when the call returns.
class TracingSpeech final : public SpeechService {
 public:
  TracingSpeech(SpeechService& inner, TraceLog& trace) : inner_(inner), trace_(trace) {}
  void start(const SpeechOptions& options) override { inner_.start(options); }
  SpeechResult say(std::string_view text, SpeechPriority priority) override;
  std::string whyNot() const override { return inner_.whyNot(); }

 private:
  SpeechService& inner_;
  TraceLog& trace_;
};

}  // namespace orvane::bench

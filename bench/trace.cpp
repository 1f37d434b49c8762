// SPDX-License-Identifier: GPL-3.0-or-later
#include "trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace orvane::bench {

TraceLog::TraceLog(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644)) {}

TraceLog::~TraceLog() {
  flush();
}

void TraceLog::note(std::string_view event, std::string_view detail) {
  timespec at{};
  ::clock_gettime(CLOCK_MONOTONIC, &at);
  std::string text(event);
  if (!detail.empty()) text += " " + std::string(detail);
  std::lock_guard lock(mutex_);
  pending_.push_back(Note{at, std::move(text)});
}

void TraceLog::flush() {
  std::vector<Note> notes;
  {
    std::lock_guard lock(mutex_);
    notes.swap(pending_);
  }
  if (notes.empty() || !fd_) return;
  std::string lines;
  for (const Note& n : notes) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%lld.%06ld ", static_cast<long long>(n.at.tv_sec),
                  n.at.tv_nsec / 1000);
    lines += stamp + n.text + "\n";
  }
  [[maybe_unused]] const ssize_t ignored = ::write(fd_.get(), lines.data(), lines.size());
}

bool TracingWindow::open(const WindowSpec& spec, WindowEventHandler handler) {
  auto traced = [this, handler = std::move(handler)](const WindowEvent& event) {
    if (event.kind == WindowEventKind::KeyDown) trace_.note("key-down", std::to_string(event.key));
    if (event.kind == WindowEventKind::KeyUp) trace_.note("key-up", std::to_string(event.key));
    handler(event);
    trace_.flush();
  };
  const bool opened = inner_.open(spec, std::move(traced));
  if (opened) trace_.note("window-open");
  trace_.flush();
  return opened;
}

namespace {

class TracingSerialDevice final : public SerialDevice {
 public:
  TracingSerialDevice(std::unique_ptr<SerialDevice> inner, TraceLog& trace)
      : inner_(std::move(inner)), trace_(trace) {}
  bool readLineFormat(SerialLineFormat& format) override { return inner_->readLineFormat(format); }
  bool writeLineFormat(const SerialLineFormat& format) override {
    return inner_->writeLineFormat(format);
  }
  void setReadTimeouts(const SerialReadTimeouts& timeouts) override {
    inner_->setReadTimeouts(timeouts);
  }
  std::size_t write(std::string_view bytes) override {
    const std::size_t written = inner_->write(bytes);
    trace_.note("write", std::to_string(written) + " " + std::string(bytes));
    return written;
  }
  std::string read(std::size_t maxCount) override { return inner_->read(maxCount); }
  std::size_t bytesWaiting() override { return inner_->bytesWaiting(); }
  bool hungUp() override { return inner_->hungUp(); }

 private:
  std::unique_ptr<SerialDevice> inner_;
  TraceLog& trace_;
};

}  // namespace

std::unique_ptr<SerialDevice> TracingSerialPorts::open(int portNumber) {
  std::unique_ptr<SerialDevice> device = inner_.open(portNumber);
  if (!device) return nullptr;
  return std::make_unique<TracingSerialDevice>(std::move(device), trace_);
}

bool TracingSound::playBlocking(const std::string& path) {
  trace_.note("play", path);
  const bool played = inner_.playBlocking(path);
  trace_.flush();
  return played;
}

bool TracingSound::playNoWait(const std::string& path) {
  trace_.note("play-nowait", path);
  const bool played = inner_.playNoWait(path);
  trace_.flush();
  return played;
}

SpeechResult TracingSpeech::say(std::string_view text, SpeechPriority priority) {
  trace_.note("say");
  const SpeechResult result = inner_.say(text, priority);
  trace_.note("said", result == SpeechResult::Taken      ? "taken"
                      : result == SpeechResult::NotReady ? "not-ready"
                                                         : "gone");
  trace_.flush();
  return result;
}

}  // namespace orvane::bench

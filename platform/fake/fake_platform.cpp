// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cctype>

namespace orvane::fake {

std::vector<std::string> Transcript::linesWithPrefix(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const auto& line : lines_) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
  }
  return out;
}

// ----- window

bool FakeWindow::open(const WindowSpec& spec, WindowEventHandler handler) {
  if (refuseOpen) {
    t_.add("window.open refused");
    return false;
  }
  open_ = true;
  spec_ = spec;
  handler_ = std::move(handler);
  t_.add("window.open " + spec.title + " " + std::to_string(spec.x) + "," + std::to_string(spec.y) +
         " " + std::to_string(spec.width) + "x" + std::to_string(spec.height));
  return true;
}

void FakeWindow::close() {
  if (!open_) return;
  open_ = false;
  timers_.clear();
  queue_.clear();
  t_.add("window.close");
}

void FakeWindow::setPrintPosition(int x, int y) {
  x_ = x;
  y_ = y;
}

void FakeWindow::print(std::string_view text) {
  if (!open_) return;
  t_.add("print " + std::to_string(x_) + "," + std::to_string(y_) + " " + font_ + " \"" +
         std::string(text) + "\"");
  // A fixed cell width stands in for the real font's metrics: the position moves on, as it must.
  x_ += static_cast<int>(text.size()) * 10;
}

void FakeWindow::setFont(std::string_view face, int points, int weight) {
  font_ = std::string(face) + "/" + std::to_string(points) + "/" + std::to_string(weight);
  t_.add("font " + font_);
}

void FakeWindow::startTimer(int id, int periodMs) {
  if (!open_) return;
  timers_.insert(id);
  t_.add("timer.start " + std::to_string(id) + " " + std::to_string(periodMs));
}

void FakeWindow::stopTimer(int id) {
  if (timers_.erase(id) != 0) t_.add("timer.stop " + std::to_string(id));
}

void FakeWindow::queueKey(int vk) {
  queueKeyDown(vk);
  queueKeyUp(vk);
}

void FakeWindow::queueTicks(int n) {
  for (int i = 0; i < n; ++i) queueTick();
}

void FakeWindow::deliver(const WindowEvent& e) {
  if (beforeEachEvent) beforeEachEvent(e);
  if (handler_) handler_(e);
}

void FakeWindow::waitAndDispatch() {
  if (!open_) return;
  ++passes_;
  if (queue_.empty()) queue_.push_back({WindowEventKind::CloseRequest, 0});
  // Events queued while this pass runs (by a handler or a clip) wait for the next pass, as they
  // would in a real window's queue.
  std::deque<WindowEvent> pass;
  pass.swap(queue_);
  while (!pass.empty() && open_) {
    const WindowEvent e = pass.front();
    pass.pop_front();
    deliver(e);
  }
  if (!pass.empty()) queue_.insert(queue_.begin(), pass.begin(), pass.end());
}

// ----- sound

bool FakeSound::playBlocking(const std::string& path) {
  if (!files_.exists(path)) return false;
  noWaitSounding_ = false;
  t_.add("clip " + path);
  if (whilePlaying) whilePlaying(path);
  return true;
}

bool FakeSound::playNoWait(const std::string& path) {
  if (!files_.exists(path)) return false;
  t_.add("clip.nowait " + path);
  noWaitSounding_ = true;
  return true;
}

void FakeSound::stop() {
  // Only a clip started without waiting can still be sounding when the panel asks for a stop.
  if (noWaitSounding_) t_.add("clip.stop");
  noWaitSounding_ = false;
}

bool FakeSound::playPause(const std::string& path, bool audible) {
  if (!audible) {
    if (!files_.exists(path)) return false;
    noWaitSounding_ = false;
    t_.add("pause " + path);
    return true;
  }
  return playBlocking(path);
}

// ----- speech service

void FakeSpeech::start(const SpeechOptions& options) {
  t_.add(options.rate ? "speech.start rate " + std::to_string(*options.rate) : "speech.start");
}

SpeechResult FakeSpeech::say(std::string_view text, SpeechPriority priority) {
  if (!whyNot_.empty() || !failing_.empty()) {
    if (whyNot_.empty()) whyNot_ = failing_;
    t_.add("speech.say failed");
    return SpeechResult::Gone;
  }
  if (notReadyFor > 0) {
    --notReadyFor;
    t_.add("speech.say not ready");
    return SpeechResult::NotReady;
  }
  const char* kind = priority == SpeechPriority::Notice ? "notice" : "message";
  t_.add(std::string("speech.say ") + kind + " \"" + std::string(text) + "\"");
  return SpeechResult::Taken;
}

// ----- files

class FakeOutputFile : public OutputFile {
 public:
  FakeOutputFile(FakeFileSystem& fs, std::string name) : fs_(fs), name_(std::move(name)) {}
  ~FakeOutputFile() override { fs_.t_.add("file.close " + name_); }
  bool write(std::string_view text) override {
    if (fs_.failingNames.count(name_) != 0) return false;
    fs_.files_[name_] += text;
    fs_.t_.add("file.write " + name_ + " \"" + std::string(text) + "\"");
    return true;
  }

 private:
  FakeFileSystem& fs_;
  std::string name_;
};

std::optional<std::string> FakeFileSystem::readFile(const std::string& name) {
  const auto it = files_.find(name);
  if (it == files_.end() || unreadableNames.count(name) != 0) return std::nullopt;
  return it->second;
}

std::unique_ptr<OutputFile> FakeFileSystem::createFile(const std::string& name) {
  if (failingNames.count(name) != 0) return nullptr;
  files_[name].clear();
  t_.add("file.create " + name);
  return std::make_unique<FakeOutputFile>(*this, name);
}

bool FakeFileSystem::replaceFile(const std::string& name, std::string_view contents) {
  if (failingNames.count(name) != 0) return false;
  files_[name] = std::string(contents);
  t_.add("file.replace " + name);
  return true;
}

std::optional<std::string> FakeFileSystem::findFile(const std::string& path) {
  if (exists(path)) return path;
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  };
  const std::string wanted = lower(path);
  for (const auto& [name, contents] : files_) {
    if (name.size() == path.size() && name.compare(0, dir.size(), dir) == 0 &&
        name.find('/', dir.size()) == std::string::npos && lower(name) == wanted) {
      return name;
    }
  }
  return std::nullopt;
}

// ----- serial

class FakeSerialDevice : public SerialDevice {
 public:
  FakeSerialDevice(FakeSerialPorts& ports, int n)
      : ports_(ports), n_(n), generation_(ports.lines_[n].generation) {}
  ~FakeSerialDevice() override {
    if (!stale()) line().open = false;
    ports_.t_.add("serial.close " + std::to_string(n_));
  }
  bool readLineFormat(SerialLineFormat& format) override {
    format = line().format;
    return true;
  }
  bool writeLineFormat(const SerialLineFormat& format) override {
    if (line().refuseFormat) return false;
    line().format = format;
    return true;
  }
  void setReadTimeouts(const SerialReadTimeouts& timeouts) override { line().timeouts = timeouts; }
  std::size_t write(std::string_view bytes) override {
    if (hungUp()) return 0;
    line().written += bytes;
    ports_.t_.add("serial.write " + std::to_string(n_) + " \"" + std::string(bytes) + "\"");
    if (line().onWrite) line().onWrite(bytes);
    return bytes.size();
  }
  std::string read(std::size_t maxCount) override {
    if (hungUp()) return {};
    std::string& in = line().input;
    const std::size_t count = std::min(maxCount, in.size());
    std::string out = in.substr(0, count);
    in.erase(0, count);
    return out;
  }
  std::size_t bytesWaiting() override { return hungUp() ? 0 : line().input.size(); }
  bool hungUp() override { return stale() || line().unplugged; }

 private:
  FakeSerialPorts::Line& line() { return ports_.lines_[n_]; }
  bool stale() { return line().generation != generation_; }
  FakeSerialPorts& ports_;
  int n_;
  int generation_;
};

void FakeSerialPorts::unplug(int n) {
  Line& line = lines_[n];
  line.unplugged = true;
  line.open = false;
  line.input.clear();
  t_.add("serial.unplug " + std::to_string(n));
}

void FakeSerialPorts::plug(int n) {
  Line& line = lines_[n];
  line.unplugged = false;
  ++line.generation;
  // A re-enumerated adapter starts out with its driver's settings, not the ones it had.
  line.format = SerialLineFormat{};
  line.timeouts = SerialReadTimeouts{};
  t_.add("serial.plug " + std::to_string(n));
}

std::unique_ptr<SerialDevice> FakeSerialPorts::open(int portNumber) {
  const auto it = lines_.find(portNumber);
  if (it == lines_.end() || it->second.open || it->second.unplugged) {
    t_.add("serial.open " + std::to_string(portNumber) + " failed");
    return nullptr;
  }
  it->second.open = true;
  t_.add("serial.open " + std::to_string(portNumber));
  return std::make_unique<FakeSerialDevice>(*this, portNumber);
}

std::string FakeSerialPorts::written(int n) const {
  const auto it = lines_.find(n);
  return it == lines_.end() ? std::string() : it->second.written;
}

bool FakeSerialPorts::isOpen(int n) const {
  const auto it = lines_.find(n);
  return it != lines_.end() && it->second.open;
}

SerialLineFormat FakeSerialPorts::lineFormat(int n) const {
  const auto it = lines_.find(n);
  return it == lines_.end() ? SerialLineFormat{} : it->second.format;
}

SerialReadTimeouts FakeSerialPorts::readTimeouts(int n) const {
  const auto it = lines_.find(n);
  return it == lines_.end() ? SerialReadTimeouts{} : it->second.timeouts;
}

// ----- network

class FakeConnection : public Connection {
 public:
  FakeConnection(Transcript& t, std::shared_ptr<FakePeer> peer) : t_(t), peer_(std::move(peer)) {}
  ~FakeConnection() override {
    peer_->programClosed = true;
    t_.add("net.close " + peer_->name);
  }
  Status status() override {
    if (peer_->refused) return Status::Closed;
    if (!peer_->established) return Status::Connecting;
    return peer_->closedByPeer && peer_->toProgram.empty() ? Status::Closed : Status::Open;
  }
  std::string receive(std::size_t maxCount) override {
    if (!peer_->established || peer_->refused) return {};
    const std::size_t count = std::min(maxCount, peer_->toProgram.size());
    std::string out = peer_->toProgram.substr(0, count);
    peer_->toProgram.erase(0, count);
    return out;
  }
  bool send(std::string_view bytes) override {
    if (status() != Status::Open || peer_->closedByPeer) return false;
    if (!peer_->reading) {
      if (peer_->unread.size() + bytes.size() > kMaxQueued) return false;
      peer_->unread += bytes;
      return true;
    }
    peer_->fromProgram += std::exchange(peer_->unread, {});
    peer_->fromProgram += bytes;
    return true;
  }
  std::size_t queued() const override { return peer_->unread.size(); }
  std::string peerName() const override { return peer_->name; }

 private:
  Transcript& t_;
  std::shared_ptr<FakePeer> peer_;
};

class FakeListener : public Listener {
 public:
  FakeListener(FakeNetwork& net, std::string address, int port)
      : net_(net), address_(std::move(address)), port_(port) {}
  ~FakeListener() override { net_.listeners_.erase(port_); }
  std::unique_ptr<Connection> accept() override {
    auto& waiting = net_.listeners_[port_];
    if (waiting.empty()) return nullptr;
    std::shared_ptr<FakePeer> peer = waiting.front();
    waiting.pop_front();
    net_.t_.add("net.accept " + peer->name);
    return std::make_unique<FakeConnection>(net_.t_, peer);
  }
  std::string localName() const override { return address_ + ":" + std::to_string(port_); }

 private:
  FakeNetwork& net_;
  std::string address_;
  int port_;
};

std::unique_ptr<Listener> FakeNetwork::listen(const std::string& address, int port,
                                              std::string& whyNot) {
  const std::string where = address + ":" + std::to_string(port);
  if (refused.count(where) != 0 || listeners_.count(port) != 0) {
    whyNot = "Address already in use";
    t_.add("net.listen " + where + " refused");
    return nullptr;
  }
  listeners_[port];
  t_.add("net.listen " + where);
  return std::make_unique<FakeListener>(*this, address, port);
}

std::unique_ptr<Connection> FakeNetwork::connect(const std::string& host, int port,
                                                 std::string& whyNot) {
  const std::string where = host + ":" + std::to_string(port);
  t_.add("net.connect " + where);
  auto it = servers_.find(where);
  std::shared_ptr<FakePeer> peer;
  if (it == servers_.end()) {
    // Nothing listens there: the connection starts and then fails, as a refused one does.
    peer = std::make_shared<FakePeer>();
    peer->refused = true;
  } else {
    peer = it->second;
    servers_.erase(it);
  }
  peer->name = where;
  whyNot.clear();
  return std::make_unique<FakeConnection>(t_, peer);
}

std::shared_ptr<FakePeer> FakeNetwork::arrive(int port, std::string peerName) {
  const auto it = listeners_.find(port);
  if (it == listeners_.end()) return nullptr;
  auto peer = std::make_shared<FakePeer>();
  peer->name = std::move(peerName);
  it->second.push_back(peer);
  return peer;
}

std::shared_ptr<FakePeer> FakeNetwork::serve(const std::string& host, int port) {
  auto peer = std::make_shared<FakePeer>();
  servers_[host + ":" + std::to_string(port)] = peer;
  return peer;
}

}  // namespace orvane::fake

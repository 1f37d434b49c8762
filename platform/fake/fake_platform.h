// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory platform for tests. Every service appends what it is asked to do to one shared
// transcript, so a test can assert on the whole story in order: prints with their position and
// font, clips, bytes written to the radio, files created and written. Events, radio replies and
// the clock are scripted by the test.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace orvane::fake {

class Transcript {
 public:
  void add(std::string line) { lines_.push_back(std::move(line)); }
  const std::vector<std::string>& lines() const { return lines_; }
  // Only the lines that start with prefix, with the prefix removed.
  std::vector<std::string> linesWithPrefix(std::string_view prefix) const;
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

// Transcript lines: "window.open TITLE x,y WxH" (or "window.open refused"), "window.close",
// "font FACE/POINTS/WEIGHT", "print X,Y FONT \"TEXT\"" (FONT is "default" or
// "FACE/POINTS/WEIGHT"), "timer.start ID PERIOD", "timer.stop ID".
class FakeWindow : public Window {
 public:
  explicit FakeWindow(Transcript& t) : t_(t) {}

  bool open(const WindowSpec& spec, WindowEventHandler handler) override;
  void close() override;
  void setPrintPosition(int x, int y) override;
  void print(std::string_view text) override;
  void setFont(std::string_view face, int points, int weight) override;
  void startTimer(int id, int periodMs) override;
  void stopTimer(int id) override;
  // Delivers every queued event. With nothing queued it delivers a close request, so that a run
  // whose script is used up ends instead of hanging.
  void waitAndDispatch() override;

  // Script.
  void queueEvent(WindowEvent e) { queue_.push_back(e); }
  void queueKey(int vk);  // key-down then key-up
  void queueKeyDown(int vk) { queueEvent({WindowEventKind::KeyDown, vk}); }
  void queueKeyUp(int vk) { queueEvent({WindowEventKind::KeyUp, vk}); }
  void queueTick() { queueEvent({WindowEventKind::TimerTick, 0}); }
  void queueTicks(int n);
  void queueClose() { queueEvent({WindowEventKind::CloseRequest, 0}); }
  // Called before each delivery; lets a test act between events (feed a reply, advance the clock).
  std::function<void(const WindowEvent&)> beforeEachEvent;
  // No window can be made, as on a machine without a display.
  bool refuseOpen = false;

  // Inspection.
  bool isOpen() const { return open_; }
  const WindowSpec& spec() const { return spec_; }
  int printX() const { return x_; }
  int printY() const { return y_; }
  int dispatchPasses() const { return passes_; }
  bool timerRunning(int id) const { return timers_.count(id) != 0; }
  // Delivers one event directly, as if the window system had sent it now.
  void deliver(const WindowEvent& e);

 private:
  Transcript& t_;
  bool open_ = false;
  WindowSpec spec_;
  WindowEventHandler handler_;
  std::deque<WindowEvent> queue_;
  std::set<int> timers_;
  std::string font_ = "default";
  int x_ = 0;
  int y_ = 0;
  int passes_ = 0;
};

// Transcript lines: "clip PATH" for a clip played to its end, "clip.nowait PATH", "clip.stop".
// A clip plays when its file exists in the fake file system.
class FakeFileSystem;
class FakeSound : public SoundPlayer {
 public:
  FakeSound(Transcript& t, FakeFileSystem& files) : t_(t), files_(files) {}
  bool playBlocking(const std::string& path) override;
  bool playNoWait(const std::string& path) override;
  void stop() override;
  // An audible pause is a clip played to its end ("clip PATH"); a silent one is "pause PATH".
  bool playPause(const std::string& path, bool audible) override;
  // Runs when a blocking clip is played, as if the clip took that long (a test may queue keys).
  std::function<void(const std::string&)> whilePlaying;

 private:
  Transcript& t_;
  FakeFileSystem& files_;
  bool noWaitSounding_ = false;
};

// The system's speech service. Transcript lines: "speech.start" (with " rate N" when the panel sets
// a rate), "speech.say message \"TEXT\"" or "speech.say notice \"TEXT\"", "speech.say not ready"
// for a phrase while the service is being reached, "speech.say failed" once it has gone.
class FakeSpeech : public SpeechService {
 public:
  explicit FakeSpeech(Transcript& t) : t_(t) {}
  void start(const SpeechOptions& options) override;
  SpeechResult say(std::string_view text, SpeechPriority priority) override;
  std::string whyNot() const override { return whyNot_; }

  // The service fails from the next phrase on, for the reason given.
  void fail(std::string reason) { failing_ = std::move(reason); }
  // The service is still being reached for the next count phrases.
  int notReadyFor = 0;

 private:
  Transcript& t_;
  std::string failing_;
  std::string whyNot_;
};

// Transcript lines: "file.create NAME", "file.write NAME \"TEXT\"", "file.replace NAME",
// "file.close NAME".
class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(Transcript& t) : t_(t) {}
  std::optional<std::string> readFile(const std::string& name) override;
  std::unique_ptr<OutputFile> createFile(const std::string& name) override;
  bool replaceFile(const std::string& name, std::string_view contents) override;
  std::optional<std::string> findFile(const std::string& path) override;

  void put(const std::string& name, std::string contents) { files_[name] = std::move(contents); }
  void remove(const std::string& name) { files_.erase(name); }
  bool exists(const std::string& name) const override { return files_.count(name) != 0; }
  const std::string& contents(const std::string& name) const { return files_.at(name); }
  // Names that can't be created or replaced, as on a read-only or full disk.
  std::set<std::string> failingNames;
  // Files that are there but cannot be read (no permission, a directory, a disk error).
  std::set<std::string> unreadableNames;

 private:
  friend class FakeOutputFile;
  Transcript& t_;
  std::map<std::string, std::string> files_;
};

class FakeClock : public Clock {
 public:
  LocalDateTime localNow() override { return now; }
  LocalDateTime now{2026, 12, 7, 9, 5, 3};
};

// Fake serial ports. Each port keeps its line state across open and close, like a real device.
// Transcript lines: "serial.open PORT" or "serial.open PORT failed", "serial.close PORT",
// "serial.write PORT \"BYTES\"".
class FakeSerialPorts : public SerialPorts {
 public:
  explicit FakeSerialPorts(Transcript& t) : t_(t) {}
  std::unique_ptr<SerialDevice> open(int portNumber) override;

  // Makes port n exist. Ports that were never added fail to open.
  void addPort(int n) { lines_[n]; }
  // The adapter of port n is pulled out: a device open on it hangs up for good (reads and writes
  // nothing, hungUp() true), what the radio had sent is lost, and n cannot be opened until plug().
  void unplug(int n);
  // The adapter is plugged in again: n opens as a fresh device with the line settings a new
  // device has. A device from before stays dead.
  void plug(int n);
  // Bytes the radio sends on port n; they wait until the panel reads them.
  void feed(int n, std::string_view bytes) { lines_[n].input += bytes; }
  // Every byte the panel wrote to port n.
  std::string written(int n) const;
  void clearWritten(int n) { lines_[n].written.clear(); }
  // Called with every write to port n; a test answers through feed().
  void onWrite(int n, std::function<void(std::string_view)> f) { lines_[n].onWrite = std::move(f); }
  void refuseLineFormat(int n) { lines_[n].refuseFormat = true; }
  bool isOpen(int n) const;
  SerialLineFormat lineFormat(int n) const;
  SerialReadTimeouts readTimeouts(int n) const;

  struct Line {
    bool open = false;
    bool unplugged = false;
    int generation = 0;  // counts plug(): a device opened in an earlier one has hung up
    bool refuseFormat = false;
    SerialLineFormat format;
    SerialReadTimeouts timeouts;
    std::string input;                              // bytes the radio has sent, not yet read
    std::string written;                            // every byte written, in order
    std::function<void(std::string_view)> onWrite;  // a scripted radio
  };

 private:
  friend class FakeSerialDevice;
  Transcript& t_;
  std::map<int, Line> lines_;
};

// The far end of a fake TCP connection, held by the test: a client of the program's listener, or
// the server the program connected to. Bytes written here arrive at the program; what the program
// sent is taken from here.
class FakePeer {
 public:
  // Bytes the peer sends to the program; they wait until the program receives them.
  void write(std::string_view bytes) { toProgram += bytes; }
  // Everything the program has sent that the peer has read, and forgets it.
  std::string takeReceived() { return std::exchange(fromProgram, {}); }
  // The peer closes its end: the program's connection reports Closed once it has received what
  // was sent before.
  void close() { closedByPeer = true; }
  bool closedByProgram() const { return programClosed; }

  // A peer that stops reading: the program's bytes stay queued on its side.
  bool reading = true;
  // An outgoing connection of the program: false while the server has not yet answered.
  bool established = true;
  // An outgoing connection the server refused.
  bool refused = false;

  std::string toProgram;
  std::string fromProgram;
  std::string unread;  // sent by the program while the peer was not reading
  bool closedByPeer = false;
  bool programClosed = false;
  std::string name;
};

// Transcript lines: "net.listen ADDRESS:PORT" or "net.listen ADDRESS:PORT refused",
// "net.accept PEER", "net.connect HOST:PORT", "net.close PEER".
class FakeNetwork : public Network {
 public:
  explicit FakeNetwork(Transcript& t) : t_(t) {}
  std::unique_ptr<Listener> listen(const std::string& address, int port,
                                   std::string& whyNot) override;
  std::unique_ptr<Connection> connect(const std::string& host, int port,
                                      std::string& whyNot) override;
  void setActivityHandler(std::function<void()> handler) override {
    activity_ = std::move(handler);
  }

  // Script.
  // A client arrives at the listener on port (the address is not checked); the program sees it
  // at its next accept(). nullptr when nothing listens there.
  std::shared_ptr<FakePeer> arrive(int port, std::string peerName = "127.0.0.1:50000");
  // The server that the program's next connect to host:port reaches.
  std::shared_ptr<FakePeer> serve(const std::string& host, int port);
  // Calls the activity handler, as the platform does when a socket becomes ready.
  void activity() {
    if (activity_) activity_();
  }
  // "ADDRESS:PORT" texts that listen() refuses, as when the port is in use.
  std::set<std::string> refused;

  // Inspection.
  bool listening(int port) const { return listeners_.count(port) != 0; }

 private:
  friend class FakeListener;
  Transcript& t_;
  std::function<void()> activity_;
  std::map<int, std::deque<std::shared_ptr<FakePeer>>> listeners_;  // port -> waiting clients
  std::map<std::string, std::shared_ptr<FakePeer>> servers_;        // "host:port" -> server
};

// All fakes together, wired to one transcript.
struct FakePlatform {
  Transcript transcript;
  FakeWindow window{transcript};
  FakeFileSystem files{transcript};
  FakeSound sound{transcript, files};
  FakeClock clock;
  FakeSerialPorts serial{transcript};
  FakeNetwork network{transcript};
  FakeSpeech speech{transcript};

  Platform platform() { return Platform{window, sound, files, clock, serial, network, speech}; }
};

}  // namespace orvane::fake

// SPDX-License-Identifier: GPL-3.0-or-later
// The radio's line when it is a Hamlib rig server (rigctld, or another panel's rig server) rather
// than a serial port: a SerialDevice over a TCP connection, so that the port table, the poll, the
// watchdog and the reconnecting of the link work on it unchanged. The link writes its Kenwood
// commands and reads Kenwood answers as ever; below it, each command goes out as the server's
// requests (rigclient/translator.h) and each answer to a poll comes back in the Kenwood form.
//
// Nothing waits. Requests are sent as the link writes, pipelined: the server answers them in
// order, and its answers are taken when the network's activity handler runs (and at every read),
// in the same event wait as everything else. A server that is slow or gone is a radio that does
// not answer: the watchdog says "not connected", and the line is looked for again about once a
// second, as a serial port is.
//
// The line counts as there (open() gives a device) only once the server is connected and has
// told what the radio can do; until then the link's tries to open it start and follow the
// connection. A connection that stays silent that long is given up and started afresh.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rigclient/answers.h"
#include "rigclient/translator.h"

namespace orvane::rigclient {

using LogLine = std::function<void(std::string_view)>;

// One connection to a rig server and the exchange on it.
class Session {
 public:
  // Reads the link may have waiting for answers at once; a poll beyond them is not sent, and goes
  // unanswered as it would on a radio that has fallen behind.
  static constexpr std::size_t kMaxReadsInFlight = 3;
  // Polls written while the server owed answers and said nothing: about six seconds of the link's
  // polls to a silent radio. The server is then taken to have hung, and the connection is dropped.
  static constexpr int kSilentPolls = 60;
  // Kenwood answers kept for the link to read; more than a tick's worth means nobody reads.
  static constexpr std::size_t kMaxWaiting = 4096;

  Session(std::unique_ptr<Connection> connection, double maxWatts, LogLine log);

  // Takes whatever has arrived and acts on it; once connected, asks what the radio can do.
  void serve();
  // The capabilities are known: the line can be used.
  bool ready() const { return translator_.has_value(); }
  // The connection is gone, or the server said something no rig server says, or it hung.
  bool gone() const { return gone_; }

  // The link's side, as a serial device.
  std::size_t write(std::string_view bytes);
  std::string read(std::size_t maxCount);
  std::size_t waiting();
  bool canCarryOut(std::string_view command) const;

 private:
  void askCapabilities();
  void send(const Request& request);
  void take(const Answer& answer);
  void carryOut(std::string_view command);
  void lose(std::string_view why);

  std::unique_ptr<Connection> connection_;
  double maxWatts_;
  LogLine log_;
  AnswerReader reader_;
  std::optional<Translator> translator_;
  bool asked_ = false;
  bool gone_ = false;
  std::deque<Request> inFlight_;
  std::string fromLink_;  // a command not yet ended by ";"
  std::string toLink_;    // Kenwood answers not yet read
  int silentPolls_ = 0;
};

// The serial device the port table holds while the server's line is open.
class RigServerLine : public SerialDevice {
 public:
  explicit RigServerLine(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  // A TCP line has no speed or format: whatever the link sets is taken.
  bool readLineFormat(SerialLineFormat& format) override;
  bool writeLineFormat(const SerialLineFormat& format) override;
  void setReadTimeouts(const SerialReadTimeouts& /*timeouts*/) override {}
  std::size_t write(std::string_view bytes) override { return session_->write(bytes); }
  std::string read(std::size_t maxCount) override { return session_->read(maxCount); }
  std::size_t bytesWaiting() override { return session_->waiting(); }
  bool hungUp() override { return session_->gone(); }
  bool canCarryOut(std::string_view command) override { return session_->canCarryOut(command); }

 private:
  std::shared_ptr<Session> session_;
  SerialLineFormat format_;
};

// The port table's source of devices when the station names a rig server: every port number
// opens the same server's line.
class RigServerPorts : public SerialPorts {
 public:
  static constexpr int kDefaultPort = 4532;
  // Tries to open (about one a second) that a connection may take to be made and answer with the
  // radio's capabilities before it is given up and started afresh.
  static constexpr int kOpenTries = 5;

  // maxWatts: the radio's full power as the station set it, 0 to take it from the server.
  RigServerPorts(Network& network, std::string host, int port, double maxWatts);

  std::unique_ptr<SerialDevice> open(int portNumber) override;
  // The network's activity: answers on the open line, and the progress of one being opened.
  void activity();
  // Where the line's notes go (the debug log).
  void setLog(LogLine log) { log_ = std::move(log); }
  // Called once a connection is ready to be opened, so that the link need not wait for its next
  // try. It is called from the activity handler: it must not speak.
  void setReadyHandler(std::function<void()> handler) { ready_ = std::move(handler); }

  std::string where() const { return host_ + ":" + std::to_string(port_); }

 private:
  void startConnecting();
  void note(const std::string& text);

  Network& network_;
  std::string host_;
  int port_;
  double maxWatts_;
  LogLine log_;
  std::function<void()> ready_;
  std::shared_ptr<Session> pending_;
  bool pendingWasReady_ = false;
  int triesWhilePending_ = 0;
  std::weak_ptr<Session> live_;
  std::string lastNote_;
};

}  // namespace orvane::rigclient

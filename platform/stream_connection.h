// SPDX-License-Identifier: GPL-3.0-or-later
// The byte handling of a TCP connection, the same on every system: what has arrived waits in an
// input buffer until the program takes it, what the program sends waits in an output buffer until
// the peer takes it, and the status follows what the socket calls report. A system's network layer
// derives its connection from this one and supplies the three socket calls; its dispatch tells the
// connection when the socket has news.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace orvane {

// What one non-blocking socket call did.
struct SocketResult {
  enum class Kind {
    Moved,       // count bytes were received or sent (at least one)
    WouldBlock,  // nothing can move now; the system tells when that changes
    PeerClosed,  // a receive met the end of the peer's data
    Failed,      // the connection is broken (reset, gone, or never made)
  };
  Kind kind = Kind::Failed;
  std::size_t count = 0;
};

class StreamConnection : public Connection {
 public:
  ~StreamConnection() override = default;

  Status status() override { return status_; }
  // Takes from the input buffer, and first reads from the socket whatever the buffer can hold:
  // a program that receives until it gets nothing has taken everything the peer has sent, so the
  // next bytes to arrive are news again.
  std::string receive(std::size_t maxCount) override;
  // Refused, with nothing queued, when the bytes would take the output buffer beyond kMaxQueued,
  // even if the peer could take some of them at once: a send either queues all its bytes or none.
  // Bytes sent while an outgoing connection is still being made go once it is established. False
  // also when sending shows the peer gone: the connection is then Closed.
  bool send(std::string_view bytes) override;
  std::size_t queued() const override { return outbox_.size(); }
  std::string peerName() const override { return peerName_; }

 protected:
  StreamConnection(Status initial, std::string peerName)
      : status_(initial), peerName_(std::move(peerName)) {}

  // The system's socket calls; none may wait.
  virtual SocketResult receiveSome(char* into, std::size_t capacity) = 0;
  virtual SocketResult sendSome(const char* from, std::size_t count) = 0;
  // Bytes now wait for the peer to take them (true), or none do any more (false). The system's
  // layer then watches, or stops watching, for the socket to take more. Called on every change.
  virtual void outputWaiting(bool waiting) = 0;

  void setPeerName(std::string name) { peerName_ = std::move(name); }

  // For the system's dispatch. Reads what the socket holds into the input buffer (as far as it
  // has room), noting the end of the peer's data or a broken connection as Closed. Returns how
  // the last read ended.
  SocketResult::Kind readAvailable();
  // Sends queued bytes until the socket takes no more.
  void flushOutput();
  // An outgoing connection is established: Open, and the bytes queued meanwhile go out.
  void established();
  // The connection failed or broke: Closed; queued bytes are dropped, received ones stay.
  void broken();

 private:
  std::size_t waitingInput() const { return inbox_.size() - inboxTaken_; }

  Status status_;
  std::string peerName_;
  std::string inbox_;
  std::size_t inboxTaken_ = 0;  // the front of inbox_ that the program has already taken
  std::string outbox_;
  bool outputWaiting_ = false;
};

}  // namespace orvane

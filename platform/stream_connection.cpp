// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/stream_connection.h"

#include <algorithm>
#include <array>

namespace orvane {
namespace {

// The input buffer holds at most this much before the socket is left to hold the rest: a client
// that floods the panel is held back by TCP itself instead of by the panel's memory.
constexpr std::size_t kMaxBuffered = Connection::kMaxQueued;
constexpr std::size_t kReadChunk = 4096;

}  // namespace

std::string StreamConnection::receive(std::size_t maxCount) {
  if (status_ == Status::Open && waitingInput() < maxCount) readAvailable();
  const std::size_t count = std::min(maxCount, waitingInput());
  std::string taken = inbox_.substr(inboxTaken_, count);
  inboxTaken_ += count;
  if (inboxTaken_ == inbox_.size()) {
    inbox_.clear();
    inboxTaken_ = 0;
  }
  return taken;
}

SocketResult::Kind StreamConnection::readAvailable() {
  if (inboxTaken_ > 0) {
    inbox_.erase(0, inboxTaken_);
    inboxTaken_ = 0;
  }
  std::array<char, kReadChunk> chunk{};
  while (status_ == Status::Open && inbox_.size() < kMaxBuffered) {
    const std::size_t room = std::min(chunk.size(), kMaxBuffered - inbox_.size());
    const SocketResult got = receiveSome(chunk.data(), room);
    switch (got.kind) {
      case SocketResult::Kind::Moved:
        inbox_.append(chunk.data(), got.count);
        continue;
      case SocketResult::Kind::WouldBlock:
        return got.kind;
      case SocketResult::Kind::PeerClosed:
      case SocketResult::Kind::Failed:
        broken();
        return got.kind;
    }
  }
  return SocketResult::Kind::WouldBlock;
}

bool StreamConnection::send(std::string_view bytes) {
  if (status_ == Status::Closed) return false;
  if (bytes.size() > kMaxQueued - outbox_.size()) return false;
  outbox_.append(bytes);
  if (status_ == Status::Open) flushOutput();
  return status_ != Status::Closed;
}

void StreamConnection::flushOutput() {
  std::size_t sent = 0;
  while (status_ == Status::Open && sent < outbox_.size()) {
    const SocketResult put = sendSome(outbox_.data() + sent, outbox_.size() - sent);
    if (put.kind == SocketResult::Kind::Moved) {
      sent += put.count;
    } else if (put.kind == SocketResult::Kind::WouldBlock) {
      break;
    } else {
      broken();
      return;
    }
  }
  outbox_.erase(0, sent);
  const bool waiting = !outbox_.empty();
  if (waiting != outputWaiting_) {
    outputWaiting_ = waiting;
    outputWaiting(waiting);
  }
}

void StreamConnection::established() {
  if (status_ != Status::Connecting) return;
  status_ = Status::Open;
  flushOutput();
}

void StreamConnection::broken() {
  status_ = Status::Closed;
  outbox_.clear();
  if (outputWaiting_) {
    outputWaiting_ = false;
    outputWaiting(false);
  }
}

}  // namespace orvane

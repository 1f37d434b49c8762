// SPDX-License-Identifier: GPL-3.0-or-later
// TCP on the loopback interface: the panel's side through PosixNetwork, the peer either another
// PosixNetwork connection or a plain blocking socket that behaves as a client program may (never
// reads, closes right after sending). Every wait is for a state, with waitFd() as the program's
// event wait would use it.
#include "platform/posix/posix_network.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/network_test_data.h"
#include "platform/posix/loopback_client.h"

namespace orvane {
namespace {

using Status = Connection::Status;

// Generous: the machine may be busy. A test that passes never waits this long.
constexpr std::chrono::seconds kPatience{10};

// Serves the network as the program's event wait does until done() holds. False when it never does.
bool serveUntil(PosixNetwork& network, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd fd{network.waitFd(), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(left.count()));
    network.dispatch();
  }
  return true;
}

bool waitFdReadable(const PosixNetwork& network) {
  pollfd fd{network.waitFd(), POLLIN, 0};
  return ::poll(&fd, 1, 0) == 1;
}

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    network_.setActivityHandler([this] { ++activity_; });
    listener_ = network_.listen("127.0.0.1", 0, whyNot_);
    ASSERT_NE(listener_, nullptr) << whyNot_;
    port_ = testing::portOf(listener_->localName());
  }
  // The next client the listener takes.
  std::unique_ptr<Connection> acceptOne() {
    std::unique_ptr<Connection> accepted;
    serveUntil(network_, [&] { return (accepted = listener_->accept()) != nullptr; });
    return accepted;
  }
  // Everything the connection receives until it has `size` bytes or is closed and empty.
  std::string receiveAll(Connection& connection, std::size_t size) {
    std::string got;
    serveUntil(network_, [&] {
      for (std::string part; !(part = connection.receive(4096)).empty();) got += part;
      return got.size() >= size || connection.status() == Status::Closed;
    });
    return got;
  }

  PosixNetwork network_;
  int activity_ = 0;
  std::string whyNot_;
  std::unique_ptr<Listener> listener_;
  int port_ = 0;
};

TEST_F(LoopbackTest, AClientConnectsAndBytesGoBothWays) {
  EXPECT_NE(port_, 0);
  EXPECT_EQ(listener_->localName(), "127.0.0.1:" + std::to_string(port_));

  std::unique_ptr<Connection> client = network_.connect("localhost", port_, whyNot_);
  ASSERT_NE(client, nullptr) << whyNot_;
  EXPECT_EQ(client->status(), Status::Connecting) << "connect returns at once";
  EXPECT_EQ(client->peerName(), "127.0.0.1:" + std::to_string(port_));
  // Sent before the connection is made: goes as soon as it is.
  EXPECT_TRUE(client->send("FA;"));

  std::unique_ptr<Connection> server = acceptOne();
  ASSERT_NE(server, nullptr);
  ASSERT_TRUE(serveUntil(network_, [&] { return client->status() == Status::Open; }));
  EXPECT_GT(activity_, 0);
  EXPECT_EQ(server->status(), Status::Open);
  EXPECT_EQ(server->peerName().rfind("127.0.0.1:", 0), 0u) << server->peerName();

  EXPECT_EQ(receiveAll(*server, 3), "FA;");
  EXPECT_TRUE(server->send("FA00014200000;"));
  EXPECT_EQ(receiveAll(*client, 14), "FA00014200000;");
  EXPECT_EQ(server->queued(), 0u);

  // Both sides have taken everything: an idle connection tells nothing, so the event wait sleeps.
  network_.dispatch();
  EXPECT_FALSE(waitFdReadable(network_)) << "an idle connection keeps waking the event wait";
  // And the next bytes wake it again.
  EXPECT_TRUE(client->send("f\n"));
  EXPECT_EQ(receiveAll(*server, 2), "f\n");
}

TEST_F(LoopbackTest, WhatThePeerSentBeforeClosingIsStillReceived) {
  struct Case {
    const char* what;
    std::size_t size;
  };
  // Small, and more than the panel buffers by itself: the rest waits in the socket, and the
  // connection is Closed only once all of it has been taken.
  for (const Case c : {Case{"a few bytes", 5}, Case{"200 kB", 200 * 1024}}) {
    SCOPED_TRACE(c.what);
    const std::string sent = testing::countedBytes(c.size);
    // The peer sends and closes at once, while the panel is still to accept it.
    std::thread peer([&] {
      testing::LoopbackClient client(port_);
      EXPECT_TRUE(client.connected() && client.send(sent));
    });
    std::unique_ptr<Connection> server = acceptOne();
    ASSERT_NE(server, nullptr);
    const std::string got = receiveAll(*server, sent.size() + 1);
    peer.join();
    EXPECT_EQ(server->status(), Status::Closed);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "bytes lost or out of order";
    EXPECT_EQ(server->receive(10), "");
    EXPECT_FALSE(server->send("RPRT 0\n")) << "a closed connection takes nothing";
    EXPECT_EQ(server->queued(), 0u);
  }
}

TEST_F(LoopbackTest, APeerThatNeverReadsFillsTheQueueAndNothingWaits) {
  testing::LoopbackClient peer(port_, 4096);
  ASSERT_TRUE(peer.connected());
  std::unique_ptr<Connection> server = acceptOne();
  ASSERT_NE(server, nullptr);

  // The system's buffers fill first, then the connection's own queue; a send that would take the
  // queue beyond its limit is refused whole. Each send returns at once (the loop is bounded).
  constexpr std::size_t kChunk = 16 * 1024;
  std::size_t accepted = 0;
  bool refused = false;
  for (int i = 0; i < 1000 && !refused; ++i) {
    if (server->send(testing::countedBytes(kChunk, accepted))) {
      accepted += kChunk;
    } else {
      refused = true;
    }
    EXPECT_LE(server->queued(), Connection::kMaxQueued);
  }
  ASSERT_TRUE(refused) << "the queue never filled";
  EXPECT_GT(server->queued(), Connection::kMaxQueued - kChunk);
  EXPECT_EQ(server->status(), Status::Open) << "a slow reader is no broken connection";
  EXPECT_TRUE(server->send("")) << "nothing more is always room";

  // The peer starts reading: every byte that was taken arrives, in order, and the queue drains
  // as the socket takes it again.
  std::string got;
  std::thread reader([&] {
    std::vector<char> buffer(64 * 1024);
    while (got.size() < accepted) {
      const ssize_t n = ::recv(peer.fd(), buffer.data(), buffer.size(), 0);
      if (n <= 0) return;
      got.append(buffer.data(), static_cast<std::size_t>(n));
    }
  });
  EXPECT_TRUE(serveUntil(network_, [&] { return server->queued() == 0; }))
      << server->queued() << " bytes still queued";
  reader.join();
  EXPECT_EQ(got.size(), accepted);
  EXPECT_TRUE(got == testing::countedBytes(accepted)) << "bytes lost or out of order";
  network_.dispatch();
  EXPECT_FALSE(waitFdReadable(network_)) << "an empty queue still watches for room";
}

TEST_F(LoopbackTest, WhatCannotBeListenedOnIsRefusedWithTheReason) {
  struct Case {
    std::string address;
    int port;
    std::string reason;
  };
  const std::vector<Case> cases{
      {"127.0.0.1", port_, "in use"},
      {"radio.example.net", 4532, "not a numeric"},
      {"127.0.0.1", 70000, "not a TCP port"},
      // A documentation address: never one of this machine's.
      {"192.0.2.1", 0, "assign"},
  };
  for (const Case& c : cases) {
    std::string whyNot;
    EXPECT_EQ(network_.listen(c.address, c.port, whyNot), nullptr) << c.address;
    EXPECT_NE(whyNot.find(c.reason), std::string::npos) << c.address << ": " << whyNot;
  }
}

TEST_F(LoopbackTest, AConnectionToAClosedPortEndsClosed) {
  // A port that was free a moment ago: the listener's own, once it is gone.
  listener_.reset();
  std::unique_ptr<Connection> client = network_.connect("127.0.0.1", port_, whyNot_);
  ASSERT_NE(client, nullptr) << whyNot_;
  ASSERT_TRUE(serveUntil(network_, [&] { return client->status() == Status::Closed; }));
  EXPECT_GT(activity_, 0) << "the failure is news";
  EXPECT_FALSE(client->send("f\n"));
  EXPECT_EQ(client->receive(10), "");

  std::string whyNot;
  EXPECT_EQ(network_.connect("127.0.0.1", 0, whyNot), nullptr);
  EXPECT_FALSE(whyNot.empty());
}

TEST_F(LoopbackTest, TheHandlerMayDestroyAndCreateSocketsWhileNewsIsTold) {
  // Three clients with bytes on the way: all their news comes in one dispatch, and the handler
  // destroys every connection and the listener at its first call, then listens anew.
  std::vector<std::unique_ptr<testing::LoopbackClient>> peers;
  std::vector<std::unique_ptr<Connection>> accepted;
  for (int i = 0; i < 3; ++i) {
    peers.push_back(std::make_unique<testing::LoopbackClient>(port_));
    ASSERT_TRUE(peers.back()->connected());
    accepted.push_back(acceptOne());
    ASSERT_NE(accepted.back(), nullptr);
  }
  network_.dispatch();
  std::unique_ptr<Listener> second;
  int calls = 0;
  network_.setActivityHandler([&] {
    ++calls;
    accepted.clear();
    listener_.reset();
    if (!second) second = network_.listen("127.0.0.1", 0, whyNot_);
  });
  for (const auto& peer : peers) ASSERT_TRUE(peer->send("F\n"));
  ASSERT_TRUE(serveUntil(network_, [&] { return calls > 0; }));
  ASSERT_NE(second, nullptr) << whyNot_;
  network_.dispatch();

  // The new listener works, and the peers of the destroyed connections see them closed.
  testing::LoopbackClient late(testing::portOf(second->localName()));
  ASSERT_TRUE(late.connected());
  std::unique_ptr<Connection> taken;
  ASSERT_TRUE(serveUntil(network_, [&] { return (taken = second->accept()) != nullptr; }));
  for (const auto& peer : peers) EXPECT_TRUE(peer->seesTheEnd(kPatience));
}

TEST(Ipv6Loopback, AClientConnectsAndBytesGoBothWays) {
  PosixNetwork network;
  std::string whyNot;
  std::unique_ptr<Listener> listener = network.listen("::1", 0, whyNot);
  if (!listener) GTEST_SKIP() << "no IPv6 loopback on this machine: " << whyNot;
  const int port = testing::portOf(listener->localName());
  EXPECT_EQ(listener->localName(), "[::1]:" + std::to_string(port));

  std::unique_ptr<Connection> client = network.connect("[::1]", port, whyNot);
  ASSERT_NE(client, nullptr) << whyNot;
  std::unique_ptr<Connection> server;
  ASSERT_TRUE(serveUntil(network, [&] {
    if (!server) server = listener->accept();
    return server && client->status() == Status::Open;
  }));
  EXPECT_EQ(server->peerName().rfind("[::1]:", 0), 0u) << server->peerName();
  EXPECT_TRUE(client->send("t\n"));
  std::string got;
  ASSERT_TRUE(serveUntil(network, [&] { return (got += server->receive(10)) == "t\n"; }));
}

}  // namespace
}  // namespace orvane

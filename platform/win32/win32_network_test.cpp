// SPDX-License-Identifier: GPL-3.0-or-later
// Winsock on the loopback interface, both ends through Win32Network, served the way the panel's
// event wait serves it: wait for the network's event, then dispatch.
#include "platform/win32/win32_network.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/network_test_data.h"

namespace orvane {
namespace {

using Status = Connection::Status;
using Clock = std::chrono::steady_clock;

// Generous: Wine on a busy machine. A test that passes never waits this long.
constexpr std::chrono::seconds kPatience{10};

bool serveUntil(Win32Network& network, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + kPatience;
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    ::WaitForSingleObject(network.waitHandle(), static_cast<DWORD>(left.count()));
    network.dispatch();
  }
  return true;
}

class Win32Loopback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(network_.waitHandle(), nullptr) << "Winsock did not start";
    network_.setActivityHandler([this] { ++activity_; });
    listener_ = network_.listen("127.0.0.1", 0, whyNot_);
    ASSERT_NE(listener_, nullptr) << whyNot_;
    port_ = testing::portOf(listener_->localName());
    client_ = network_.connect("localhost", port_, whyNot_);
    ASSERT_NE(client_, nullptr) << whyNot_;
    ASSERT_TRUE(serveUntil(network_, [this] {
      if (!server_) server_ = listener_->accept();
      return server_ && client_->status() != Status::Connecting;
    }));
    ASSERT_EQ(client_->status(), Status::Open);
  }
  // What the connection receives until it has `size` bytes or is closed and empty.
  std::string receiveAll(Connection& connection, std::size_t size) {
    std::string got;
    serveUntil(network_, [&] {
      for (std::string part; !(part = connection.receive(4096)).empty();) got += part;
      return got.size() >= size || connection.status() == Status::Closed;
    });
    return got;
  }

  Win32Network network_;
  int activity_ = 0;
  std::string whyNot_;
  std::unique_ptr<Listener> listener_;
  int port_ = 0;
  std::unique_ptr<Connection> client_;
  std::unique_ptr<Connection> server_;
};

TEST_F(Win32Loopback, BytesGoBothWaysAndThePeerClosing) {
  EXPECT_NE(port_, 0);
  EXPECT_EQ(listener_->localName(), "127.0.0.1:" + std::to_string(port_));
  EXPECT_EQ(client_->peerName(), "127.0.0.1:" + std::to_string(port_));
  EXPECT_EQ(server_->peerName().rfind("127.0.0.1:", 0), 0u) << server_->peerName();
  EXPECT_GT(activity_, 0);

  EXPECT_TRUE(client_->send("FA;"));
  EXPECT_EQ(receiveAll(*server_, 3), "FA;");
  EXPECT_TRUE(server_->send("FA00014200000;"));
  EXPECT_EQ(receiveAll(*client_, 14), "FA00014200000;");

  // Everything taken: an idle connection leaves the event alone.
  network_.dispatch();
  EXPECT_EQ(::WaitForSingleObject(network_.waitHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "an idle connection keeps waking the event wait";

  // The client's last words, then it goes: they still arrive, and then the connection is Closed.
  EXPECT_TRUE(client_->send("bye\n"));
  EXPECT_EQ(client_->queued(), 0u);
  client_.reset();
  EXPECT_EQ(receiveAll(*server_, 5), "bye\n");
  EXPECT_EQ(server_->status(), Status::Closed);
  EXPECT_EQ(server_->receive(10), "");
  EXPECT_FALSE(server_->send("RPRT 0\n")) << "a closed connection takes nothing";
}

TEST_F(Win32Loopback, APeerThatDoesNotReadFillsTheQueueAndNothingWaits) {
  constexpr std::size_t kChunk = 16 * 1024;
  std::size_t accepted = 0;
  bool refused = false;
  for (int i = 0; i < 2000 && !refused; ++i) {
    if (server_->send(testing::countedBytes(kChunk, accepted))) {
      accepted += kChunk;
    } else {
      refused = true;
    }
    EXPECT_LE(server_->queued(), Connection::kMaxQueued);
  }
  ASSERT_TRUE(refused) << "the queue never filled";
  EXPECT_EQ(server_->status(), Status::Open);

  // The client reads at last: every byte that was taken arrives, in order.
  const std::string got = receiveAll(*client_, accepted);
  EXPECT_EQ(got.size(), accepted);
  EXPECT_TRUE(got == testing::countedBytes(accepted)) << "bytes lost or out of order";
  EXPECT_EQ(server_->queued(), 0u);
}

TEST_F(Win32Loopback, RefusalsCarryTheSystemsReason) {
  std::string whyNot;
  EXPECT_EQ(network_.listen("127.0.0.1", port_, whyNot), nullptr) << "a port in use";
  EXPECT_FALSE(whyNot.empty());
  whyNot.clear();
  EXPECT_EQ(network_.listen("radio.example.net", 4532, whyNot), nullptr);
  EXPECT_NE(whyNot.find("not a numeric"), std::string::npos) << whyNot;

  // A port that was free a moment ago: the listener's own, once it is gone.
  listener_.reset();
  std::unique_ptr<Connection> refusedClient = network_.connect("127.0.0.1", port_, whyNot);
  ASSERT_NE(refusedClient, nullptr) << whyNot;
  ASSERT_TRUE(serveUntil(network_, [&] { return refusedClient->status() == Status::Closed; }));
  EXPECT_FALSE(refusedClient->send("f\n"));
}

}  // namespace
}  // namespace orvane

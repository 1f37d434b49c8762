// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal front end's event wait through a real pseudo-terminal, woken by a real network
// client on the loopback interface.
#include "platform/term/term_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/loopback_client.h"
#include "platform/posix/posix_network.h"
#include "platform/posix/pty_pair.h"
#include "platform/posix/safety_net.h"
#include "platform/posix/unique_fd.h"

namespace orvane {
namespace {

constexpr std::chrono::seconds kPatience{10};

TEST(TermWindowNetwork, AClientEndsTheWaitWithNoTimerRunning) {
  testing::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  UniqueFd terminal(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  UniqueFd screen(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(terminal && screen);

  PosixNetwork network;
  std::string whyNot;
  std::unique_ptr<Listener> listener = network.listen("127.0.0.1", 0, whyNot);
  ASSERT_NE(listener, nullptr) << whyNot;
  std::vector<std::unique_ptr<Connection>> clients;
  std::string heard;
  network.setActivityHandler([&] {
    while (auto client = listener->accept()) clients.push_back(std::move(client));
    for (auto& client : clients) {
      for (std::string bytes; !(bytes = client->receive(64)).empty();) {
        heard += bytes;
        client->send("RPRT 0\n");
      }
    }
  });

  TermWindow window(term::ScreenLayout{}, terminal.get(), screen.get());
  std::vector<WindowEvent> events;
  // Watched before the terminal is taken over, as main does it.
  window.watch(network.waitFd(), [&] { network.dispatch(); });
  ASSERT_TRUE(window.open(WindowSpec{}, [&](const WindowEvent& e) { events.push_back(e); }))
      << window.whyNotOpen();

  const std::string name = listener->localName();
  testing::LoopbackClient client(std::stoi(name.substr(name.rfind(':') + 1)));
  ASSERT_TRUE(client.connected());
  // Ctrl-C ends the wait with a close request.
  testing::SafetyNet safetyNet(kPatience, [&pty] { wakeByte(pty.master(), '\x03'); });
  for (const std::string line : {"f\n", "F\n"}) {
    ASSERT_TRUE(client.send(line));
    const std::string before = heard;
    while (heard != before + line && events.empty()) window.waitAndDispatch();
    ASSERT_TRUE(events.empty()) << "only the safety net ended the wait";
    EXPECT_EQ(client.receive(64, kPatience), "RPRT 0\n");
  }
  EXPECT_EQ(heard, "f\nF\n");
  window.close();
}

}  // namespace
}  // namespace orvane

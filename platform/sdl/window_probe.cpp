// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the main window exactly as the panel does, carries out a script of prints and fonts given
// on the command line, and logs every event it receives, one line each on standard output, until
// it gets a close request. The real-window tests drive it with xdotool and look at the screen.
//
//   window_probe [--title TITLE] COMMAND...
//   commands:  "at X Y"  "print TEXT"  "font FACE POINTS WEIGHT"  "timer ID MS"  "stoptimer ID"
//              "width TEXT"  "rss"  "listen" (on 127.0.0.1, a free port; every line a client sends
//              is logged and answered "RPRT 0")
//   log:       "open ok|failed", "print X Y WIDTH", "width WIDTH", "rss KB", "listening PORT",
//              "ready", "keydown VK", "keyup VK", "tick", "net LINE", "close"
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_network.h"
#include "platform/sdl/sdl_window.h"

namespace {

void log(const std::string& line) {
  std::cout << line << std::endl;
}

// Clients on the loopback interface, served from the window's event wait.
class LineServer {
 public:
  explicit LineServer(orvane::SdlWindow& window) {
    std::string whyNot;
    listener_ = network_.listen("127.0.0.1", 0, whyNot);
    if (!listener_) {
      log("listen failed: " + whyNot);
      return;
    }
    const std::string name = listener_->localName();
    log("listening " + name.substr(name.rfind(':') + 1));
    network_.setActivityHandler([this] { serve(); });
    window.watch(network_.waitFd(), [this] { network_.dispatch(); });
  }

 private:
  void serve() {
    while (auto client = listener_->accept()) clients_.push_back(Client{std::move(client), {}});
    for (Client& client : clients_) {
      for (std::string bytes; !(bytes = client.connection->receive(256)).empty();) {
        client.line += bytes;
        for (auto end = client.line.find('\n'); end != std::string::npos;
             end = client.line.find('\n')) {
          log("net " + client.line.substr(0, end));
          client.line.erase(0, end + 1);
          client.connection->send("RPRT 0\n");
        }
      }
    }
  }

  struct Client {
    std::unique_ptr<orvane::Connection> connection;
    std::string line;
  };
  orvane::PosixNetwork network_;
  std::unique_ptr<orvane::Listener> listener_;
  std::vector<Client> clients_;
};

struct Probe {
  // Before the window, so that it goes after it: the window watches its descriptor.
  std::unique_ptr<LineServer> server;
  orvane::SdlWindow window;
  int x = 0;
  int y = 0;
  bool running = true;
};

std::string residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      std::string kb;
      fields >> kb;
      return kb;
    }
  }
  return "?";
}

bool runCommand(Probe& probe, const std::string& command) {
  const auto space = command.find(' ');
  const std::string verb = command.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : command.substr(space + 1);
  std::istringstream args(rest);
  if (verb == "at") {
    args >> probe.x >> probe.y;
    probe.window.setPrintPosition(probe.x, probe.y);
  } else if (verb == "print") {
    const int width = probe.window.textWidth(rest);
    log("print " + std::to_string(probe.x) + " " + std::to_string(probe.y) + " " +
        std::to_string(width));
    probe.window.print(rest);
    probe.x += width;
  } else if (verb == "width") {
    log("width " + std::to_string(probe.window.textWidth(rest)));
  } else if (verb == "font") {
    std::string face;
    int points = 0, weight = 0;
    args >> face >> points >> weight;
    probe.window.setFont(face, points, weight);
  } else if (verb == "timer") {
    int id = 0, period = 0;
    args >> id >> period;
    probe.window.startTimer(id, period);
  } else if (verb == "stoptimer") {
    int id = 0;
    args >> id;
    probe.window.stopTimer(id);
  } else if (verb == "rss") {
    log("rss " + residentKilobytes());
  } else if (verb == "listen") {
    probe.server = std::make_unique<LineServer>(probe.window);
  } else {
    std::cerr << "window_probe: unknown command: " << command << "\n";
    return false;
  }
  return true;
}

void onEvent(Probe& probe, const orvane::WindowEvent& event) {
  switch (event.kind) {
    case orvane::WindowEventKind::CloseRequest:
      log("close");
      probe.running = false;
      break;
    case orvane::WindowEventKind::KeyDown:
      log("keydown " + std::to_string(event.key));
      break;
    case orvane::WindowEventKind::KeyUp:
      log("keyup " + std::to_string(event.key));
      break;
    case orvane::WindowEventKind::TimerTick:
      log("tick");
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  orvane::WindowSpec spec{350, 100, 950, 500, "*** Velomar Deck v1.9***"};
  std::size_t first = 0;
  if (args.size() >= 2 && args[0] == "--title") {
    spec.title = args[1];
    first = 2;
  }
  Probe probe;
  if (!probe.window.open(spec, [&probe](const orvane::WindowEvent& e) { onEvent(probe, e); })) {
    log("open failed");
    return 1;
  }
  log("open ok");
  for (std::size_t i = first; i < args.size(); ++i) {
    if (!runCommand(probe, args[i])) return 2;
  }
  log("ready");
  while (probe.running) probe.window.waitAndDispatch();
  probe.window.close();
  return 0;
}

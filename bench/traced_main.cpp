// SPDX-License-Identifier: GPL-3.0-or-later
// orvane_traced: the panel exactly as build/orvane runs it (the same logic, the same SDL and POSIX
// platform), with the timing decorators of trace.h around the window, the serial ports and the
// sound player. The benchmarks start it in place of orvane to read timestamps from inside.
//
//   ORVANE_TRACE=FILE [ORVANE_TRACE_LISTEN=PORT] orvane_traced [--speech system]
//       [--clip-rate PERCENT] ...
//
// With ORVANE_TRACE_LISTEN the network service also listens on 127.0.0.1:PORT (0: a free port,
// noted in the trace as "listening 127.0.0.1:PORT"), accepts every client and takes whatever it
// sends, answering nothing: the panel as it runs with clients of its rig server connected, for
// measuring what an idle client costs.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "panel/panel.h"
#include "platform/posix/posix_network.h"
#include "platform/posix/posix_platform.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_window.h"
#include "platform/speechd/speech_dispatcher.h"
#include "trace.h"

namespace {

// Clients that are accepted and listened to, and never answered.
class SilentServer {
 public:
  SilentServer(orvane::Network& network, int port, orvane::bench::TraceLog& trace) {
    std::string whyNot;
    listener_ = network.listen("127.0.0.1", port, whyNot);
    if (!listener_) {
      std::fprintf(stderr, "orvane_traced: cannot listen: %s\n", whyNot.c_str());
      return;
    }
    trace.note("listening", listener_->localName());
    trace.flush();
    network.setActivityHandler([this] { serve(); });
  }

 private:
  void serve() {
    while (auto client = listener_->accept()) clients_.push_back(std::move(client));
    for (auto& client : clients_) {
      while (!client->receive(4096).empty()) {
      }
    }
    std::erase_if(clients_, [](const auto& client) {
      return client->status() == orvane::Connection::Status::Closed;
    });
  }

  std::unique_ptr<orvane::Listener> listener_;
  std::vector<std::unique_ptr<orvane::Connection>> clients_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* tracePath = std::getenv("ORVANE_TRACE");
  if (tracePath == nullptr || *tracePath == '\0') {
    std::fputs("orvane_traced: set ORVANE_TRACE to the trace file\n", stderr);
    return 2;
  }
  orvane::bench::TraceLog trace(tracePath);
  if (!trace.isOpen()) {
    std::fprintf(stderr, "orvane_traced: cannot write %s\n", tracePath);
    return 2;
  }

  // The station's settings as the panel takes them: settings.cfg, then the command line.
  orvane::PosixFileSystem files;
  orvane::Settings settings;
  std::vector<std::string> problems;
  settings.readStation(files, std::vector<std::string>(argv + 1, argv + argc), problems);
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "orvane_traced: %s\n", problem.c_str());
  }

  orvane::PosixNetwork network;
  orvane::SdlWindow window;
  window.watch(network.waitFd(), [&network] { network.dispatch(); });
  orvane::SdlSound sound(settings.clipRate());
  sound.serveWhileWaiting(network.waitFd(), [&network] { network.dispatch(); });
  trace.note("sound-buffer", std::to_string(sound.deviceBufferFrames()) + " " +
                                 std::to_string(sound.hasDevice() ? orvane::SdlSound::kRate : 0));
  sound.setClipStartObserver([&trace] { trace.note("clip-start"); });
  orvane::PosixClock clock;
  orvane::PosixSerialPorts serial;
  orvane::SpeechDispatcher speech;
  std::unique_ptr<SilentServer> server;
  if (const char* port = std::getenv("ORVANE_TRACE_LISTEN"); port != nullptr && *port != '\0')
    server = std::make_unique<SilentServer>(network, std::atoi(port), trace);

  orvane::bench::TracingWindow tracedWindow(window, trace);
  orvane::bench::TracingSound tracedSound(sound, trace);
  orvane::bench::TracingSerialPorts tracedSerial(serial, trace);
  orvane::bench::TracingSpeech tracedSpeech(speech, trace);
  orvane::Panel panel(orvane::Platform{tracedWindow, tracedSound, files, clock, tracedSerial,
                                       network, tracedSpeech},
                      settings);
  const int status = panel.run();
  if (status == orvane::kExitNoWindow)
    std::fprintf(stderr, "orvane_traced: %s\n", window.whyNotOpen().c_str());
  // The observer notes into the trace: no clip may start once the trace is gone.
  sound.setClipStartObserver(nullptr);
  return status;
}

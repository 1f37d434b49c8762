// SPDX-License-Identifier: GPL-3.0-or-later
// orvane_traced: the panel exactly as build/orvane runs it (the same logic, the same SDL and POSIX
// platform), with the timing decorators of trace.h around the window, the serial ports and the
// sound player. The benchmarks start it in place of orvane to read timestamps from inside.
//
//   ORVANE_TRACE=FILE orvane_traced [--speech system] [--clip-rate PERCENT] ...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "panel/panel.h"
#include "platform/posix/posix_network.h"
#include "platform/posix/posix_platform.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_window.h"
#include "platform/speechd/speech_dispatcher.h"
#include "trace.h"

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

// SPDX-License-Identifier: GPL-3.0-or-later
// Orvane: builds the real platform and runs the panel.
#include <cstdio>
#include <string>
#include <vector>

#include "app/front_end.h"
#include "panel/panel.h"
#include "platform/posix/posix_network.h"
#include "platform/posix/posix_platform.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/speechd/speech_dispatcher.h"

namespace {

constexpr char kUsage[] =
    "Usage: orvane [--terminal] [--rig HOST:PORT] [--rig-power WATTS]\n"
    "              [--rig-server[=ADDRESS:PORT]] [--speech clips|system]\n"
    "              [--speech-rate=RATE] [--clip-rate PERCENT] [--help] [--version]\n"
    "\n"
    "Orvane is a spoken control panel for Kenwood TS-series HF transceivers, worked from the\n"
    "keyboard and answering with speech.\n"
    "\n"
    "  -t, --terminal   run in this terminal instead of a window: the keys from the keyboard,\n"
    "                   the state on one status line (taken by itself when no display can be\n"
    "                   opened and standard input is a terminal)\n"
    "  --rig HOST:PORT  work the radio through a Hamlib rig server (rigctld) instead of the\n"
    "                   serial port of orvane.cfg: any radio Hamlib drives (HOST, PORT or\n"
    "                   HOST:PORT; localhost:4532 unless given; off: the serial port)\n"
    "  --rig-power WATTS\n"
    "                   the radio's full power, when the rig server does not tell it\n"
    "  --rig-server[=ADDRESS:PORT]\n"
    "                   let other programs (loggers, digital modes) work the radio through the\n"
    "                   panel with Hamlib's network protocol (rig model 2, NET rigctl); on\n"
    "                   127.0.0.1:4532 unless an address or port is given; off by default\n"
    "  --speech clips|system\n"
    "                   speak with the clip set (the default) or through the system's speech\n"
    "                   service, speech-dispatcher, in the voice and at the rate set up there\n"
    "  --speech-rate=RATE\n"
    "                   the panel's own rate for the speech service, -100 to 100 (0 the voice's\n"
    "                   normal rate); off by default: the rate set up in the service\n"
    "  --clip-rate PERCENT\n"
    "                   play the clip set faster, 100 to 300 percent, pitch kept; 100 by default\n"
    "\n"
    "Every option NAME VALUE can also be a line \"NAME VALUE\" in settings.cfg, in the directory\n"
    "the panel is started in; the command line wins.\n"
    "\n"
    "Start it in the directory that holds its files:\n"
    "  orvane.cfg   seven lines: port, speed, power, SWR wording, top band, power switch, debug "
    "log\n"
    "  wave/        the station's own recordings of clips (optional: a clip not found\n"
    "               there is played from the set installed with orvane)\n"
    "  memory.dat   band memories and memory channels (written at exit)\n"
    "  debug.dat    the debug log, when the configuration asks for it\n"
    "  comN         optional link to the radio's serial device for port N\n"
    "               (otherwise port N is /dev/ttyS<N-1>)\n"
    "\n"
    "Make such a directory with: orvane-station DIR DEVICE\n"
    "\n"
    "Press H in the window for spoken help, Q to quit. More in the manual page, orvane(1),\n"
    "and the user guide, /usr/share/doc/orvane/guide.md (under the prefix it was installed to).\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  orvane::PosixFileSystem files;
  orvane::Settings settings;
  std::vector<std::string> problems;
  orvane::FrontEnd frontEnd = orvane::FrontEnd::Window;
  for (const std::string& argument : settings.readStation(files, arguments, problems)) {
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("orvane %s\n", orvane::kVersion);
      for (const char* line : orvane::kCopyrightNotice) std::printf("%s\n", line);
      return 0;
    }
    if (argument == "--terminal" || argument == "-t") {
      frontEnd = orvane::FrontEnd::Terminal;
    } else {
      problems.push_back("unknown option " + argument + "; ignored (orvane --help lists them)");
    }
  }
  // A setting that cannot be taken leaves the panel as it would be without it; the operator reads
  // why where the panel was started, and the panel goes on.
  for (const std::string& problem : problems) std::fprintf(stderr, "orvane: %s\n", problem.c_str());

  // Made first and so gone last: the sound player and the window serve it while they wait.
  orvane::PosixNetwork network;
  const orvane::NetworkWake networkWake{network.waitFd(), [&network] { network.dispatch(); }};
  orvane::SdlSound sound(settings.clipRate());
  // A client is answered while the panel speaks, not only between clips.
  sound.serveWhileWaiting(networkWake.fd, networkWake.serve);
  // The installed clip set, found from where this program lies, so a tree installed under any
  // prefix (or moved there) speaks. ORVANE_INSTALLED_CLIPS is the path from the installed program's
  // directory to the installed clips, given by the build.
  files.addFallbackDirectory("wave/", orvane::besideExecutable(ORVANE_INSTALLED_CLIPS));
  orvane::PosixClock clock;
  orvane::PosixSerialPorts serial;
  orvane::SpeechDispatcher speech;
  // A failure to start is the one told in words rather than by a clip (runPanel says it): the
  // panel has done nothing at all, and whoever started it reads it where they started it.
  return orvane::runPanel(frontEnd,
                          orvane::PanelServices{sound, files, clock, serial, network, speech},
                          settings, networkWake);
}

// Orvane: builds the real platform and runs the panel.
#include <cstdio>
#include <cstring>

#include "app/front_end.h"
#include "panel/panel.h"
#include "platform/posix/posix_platform.h"
#include "platform/sdl/sdl_sound.h"

namespace {

constexpr char kUsage[] =
    "Usage: orvane [--terminal] [--help] [--version]\n"
    "\n"
    "Orvane is a spoken control panel for Kenwood TS-series HF transceivers, worked from the\n"
    "keyboard and answering with speech.\n"
    "\n"
    "  -t, --terminal   run in this terminal instead of a window: the keys from the keyboard,\n"
    "                   the state on one status line (taken by itself when no display can be\n"
    "                   opened and standard input is a terminal)\n"
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
  orvane::FrontEnd frontEnd = orvane::FrontEnd::Window;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("orvane %s\n", orvane::kVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--terminal") == 0 || std::strcmp(argv[i], "-t") == 0) {
      frontEnd = orvane::FrontEnd::Terminal;
    }
  }
  // Every other argument is ignored: the panel is configured by its file alone.

  orvane::SdlSound sound;
  orvane::PosixFileSystem files;
  // The installed clip set, found from where this program lies, so a tree installed under any
  // prefix (or moved there) speaks. ORVANE_INSTALLED_CLIPS is the path from the installed program's
  // directory to the installed clips, given by the build.
  files.addFallbackDirectory("wave/", orvane::besideExecutable(ORVANE_INSTALLED_CLIPS));
  orvane::PosixClock clock;
  orvane::PosixSerialPorts serial;
  // A failure to start is the one told in words rather than by a clip (runPanel says it): the
  // panel has done nothing at all, and whoever started it reads it where they started it.
  return orvane::runPanel(frontEnd, orvane::PanelServices{sound, files, clock, serial});
}

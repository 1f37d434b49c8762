// Orvane: builds the real platform and runs the panel.
#include <cstdio>
#include <cstring>

#include "panel/panel.h"
#include "platform/posix/posix_platform.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_window.h"

namespace {

constexpr char kUsage[] =
    "Usage: orvane [--help] [--version]\n"
    "\n"
    "Orvane is a spoken control panel for Kenwood TS-series HF transceivers, worked from the\n"
    "keyboard and answering with speech.\n"
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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("orvane %s\n", orvane::kVersion);
      return 0;
    }
  }
  // Every other argument is ignored: the panel is configured by its file alone.

  orvane::SdlWindow window;
  orvane::SdlSound sound;
  orvane::PosixFileSystem files;
  // The installed clip set, found from where this program lies, so a tree installed under any
  // prefix (or moved there) speaks. ORVANE_INSTALLED_CLIPS is the path from the installed program's
  // directory to the installed clips, given by the build.
  files.addFallbackDirectory("wave/", orvane::besideExecutable(ORVANE_INSTALLED_CLIPS));
  orvane::PosixClock clock;
  orvane::PosixSerialPorts serial;
  orvane::Panel panel(orvane::Platform{window, sound, files, clock, serial});
  const int status = panel.run();
  // The one failure told in words rather than by a clip: the panel has done nothing at all, and
  // whoever started it from a text console, a remote shell or a script reads it there. A front end
  // for the terminal would be the one to take this case over.
  if (status == orvane::kExitNoWindow)
    std::fprintf(stderr, "orvane: %s\n", window.whyNotOpen().c_str());
  return status;
}

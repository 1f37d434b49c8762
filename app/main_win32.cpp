// SPDX-License-Identifier: GPL-3.0-or-later
// Orvane for Windows: builds the Win32 platform and runs the panel. A program of the windows
// subsystem: started from Explorer or a shortcut it opens no console of its own.
#include <string>
#include <thread>
#include <vector>

#include "panel/panel.h"
#include "platform/win32/sapi_speech.h"
#include "platform/win32/win32_network.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_sound.h"
#include "platform/win32/win32_window.h"

namespace {

constexpr char kUsage[] =
    "Usage: orvane [--rig HOST:PORT] [--rig-power WATTS] [--rig-server[=ADDRESS:PORT]]\r\n"
    "              [--speech clips|system] [--speech-rate=RATE] [--help] [--version]\r\n"
    "\r\n"
    "Orvane is a spoken control panel for Kenwood TS-series HF transceivers, worked from the\r\n"
    "keyboard and answering with speech.\r\n"
    "\r\n"
    "  --rig-server[=ADDRESS:PORT]\r\n"
    "                   let other programs (loggers, digital modes) work the radio through the\r\n"
    "                   panel with Hamlib's network protocol (rig model 2, NET rigctl); on\r\n"
    "                   127.0.0.1:4532 unless an address or port is given; off by default\r\n"
    "  --rig HOST:PORT  work the radio through a Hamlib rig server (rigctld) instead of the\r\n"
    "                   COM port: any radio Hamlib drives; localhost:4532 by default\r\n"
    "  --rig-power WATTS  the radio's full power, when the server does not tell it\r\n"
    "\r\n"
    "Every option NAME VALUE can also be a line \"NAME VALUE\" in settings.cfg, in the folder\r\n"
    "the panel is started in; the command line wins.\r\n"
    "\r\n"
    "Start it in the folder that holds its files:\r\n"
    "  orvane.cfg   seven lines: port, speed, power, SWR wording, top band, power switch, debug "
    "log\r\n"
    "  wave\\        the spoken clips\r\n"
    "  memory.dat   band memories and memory channels (written at exit)\r\n"
    "  debug.dat    the debug log, when the configuration asks for it\r\n"
    "  settings.cfg optional settings, one a line: \"speech system\" speaks through SAPI 5 in\r\n"
    "               the voice and at the rate chosen in the Speech control panel\r\n"
    "\r\n"
    "The first line of orvane.cfg names the radio's COM port by its number (port 3 for COM3).\r\n"
    "Press H in the window for spoken help, Q to quit.\r\n";

bool writeAll(HANDLE out, const std::string& text) {
  DWORD written = 0;
  return ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

// A program of the windows subsystem has no console. Its output goes where whoever started it
// sent it (a file or a pipe), else to the console of the command prompt it was started from,
// else into a message box, which a screen reader reads out like any dialog.
void tellOperator(const std::string& text, UINT icon) {
  HANDLE out = ::GetStdHandle(icon == MB_ICONERROR ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN &&
      writeAll(out, text)) {
    return;
  }
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    orvane::UniqueHandle console(::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    // The prompt was printed when the program started; a line break sets the text apart from it.
    if (console && writeAll(console.get(), "\r\n" + text)) return;
  }
  ::MessageBoxA(nullptr, text.c_str(), "Orvane", MB_OK | icon);
}

// A problem the panel goes on despite (a setting it cannot take, a rig server port that another
// program holds). Where it becomes a message box, the box has a thread of its own: the panel keeps
// polling and answering keys while the operator reads it, and the box goes when the panel ends.
void tellOperatorAside(const std::string& text) {
  HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN &&
      writeAll(out, text)) {
    return;
  }
  std::thread([text] { tellOperator(text, MB_ICONWARNING); }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  orvane::Win32FileSystem files;
  orvane::Settings settings;
  std::vector<std::string> problems;
  for (const std::string& argument : settings.readStation(files, arguments, problems)) {
    if (argument == "--help" || argument == "-h" || argument == "/?") {
      tellOperator(kUsage, MB_ICONINFORMATION);
      return 0;
    }
    if (argument == "--version") {
      std::string text = std::string("orvane ") + orvane::kVersion + "\r\n";
      for (const char* line : orvane::kCopyrightNotice) text += std::string(line) + "\r\n";
      tellOperator(text, MB_ICONINFORMATION);
      return 0;
    }
    problems.push_back("unknown option " + argument + "; ignored (orvane --help lists them)");
  }
  // The Windows build has no time stretcher: Debian builds none for Windows. The clips keep their
  // recorded pace; SAPI's own rate is the way to faster speech here.
  if (const auto rate = settings.value(orvane::kClipRateSetting);
      rate && *rate != "100" && *rate != "100%") {
    problems.push_back(
        "clip-rate is not available in the Windows build; the clips play at their "
        "recorded pace (\"speech system\" speaks at the rate set for SAPI 5)");
  }
  // A setting that cannot be taken leaves the panel as it would be without it; the operator is
  // told all of them at once, and the panel goes on.
  if (!problems.empty()) {
    std::string text;
    for (const std::string& problem : problems) text += "orvane: " + problem + "\r\n";
    tellOperatorAside(text);
  }

  // Made first and so gone last: the window and the sound player serve it while they wait.
  orvane::Win32Network network;
  const auto serveNetwork = [&network] { network.dispatch(); };
  orvane::Win32Window window;
  window.watch(network.waitHandle(), serveNetwork);
  orvane::Win32Sound sound;
  // A client is answered while the panel speaks, not only between clips.
  sound.serveWhileWaiting(network.waitHandle(), serveNetwork);
  // The clip set installed beside orvane.exe speaks every clip the station's own wave\ folder
  // lacks, so an installed panel started in a station folder of its own is heard.
  files.addFallbackDirectory("wave/", orvane::besideExecutable("wave"));
  orvane::Win32Clock clock;
  orvane::Win32SerialPorts serial;
  orvane::SapiSpeech speech;
  orvane::Panel panel(orvane::Platform{window, sound, files, clock, serial, network, speech},
                      settings);
  panel.setProblemReporter(
      [](const std::string& problem) { tellOperatorAside("orvane: " + problem + "\r\n"); });
  const int status = panel.run();
  // The one failure told in words rather than by a clip: the panel has done nothing at all.
  if (status == orvane::kExitNoWindow)
    tellOperator("orvane: " + window.whyNotOpen() + "\r\n", MB_ICONERROR);
  return status;
}

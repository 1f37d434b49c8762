// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/front_end.h"

#include <cstdio>

#include "panel/panel.h"
#include "platform/sdl/sdl_window.h"
#include "platform/term/term_window.h"
#include "screen/screen_map.h"

namespace orvane {
namespace {

// The window's texts on the terminal: the title and the help lines as lines at the top, the
// mode, S-meter, split marker and frequency on the status line, in the window's reading order
// and in columns that stay put ("LSB  S5   B 14.200000").
term::ScreenLayout terminalLayout() {
  const auto spot = [](screen::Position p) { return term::ScreenSpot{p.x, p.y}; };
  term::ScreenLayout layout;
  layout.headings = {spot(screen::kBanner), spot(screen::kHelpLine1), spot(screen::kHelpLine2),
                     spot(screen::kHelpLine3)};
  layout.fields = {{spot(screen::kMode), 5},
                   {spot(screen::kSMeter), 5},
                   {spot(screen::kSplitMarker), 2},
                   {spot(screen::kFrequency), 0}};
  return layout;
}

int runPanelIn(Window& window, const PanelServices& s, const Settings& settings) {
  Panel panel(Platform{window, s.sound, s.files, s.clock, s.serial, s.network, s.speech}, settings);
  panel.setProblemReporter(
      [](const std::string& problem) { std::fprintf(stderr, "orvane: %s\n", problem.c_str()); });
  return panel.run();
}

int runPanelInTerminal(const PanelServices& services, const Settings& settings,
                       const NetworkWake& network) {
  TermWindow terminal(terminalLayout());
  terminal.watch(network.fd, network.serve);
  const int status = runPanelIn(terminal, services, settings);
  if (status == kExitNoWindow) std::fprintf(stderr, "orvane: %s\n", terminal.whyNotOpen().c_str());
  return status;
}

}  // namespace

int runPanel(FrontEnd asked, const PanelServices& services, const Settings& settings,
             const NetworkWake& network) {
  if (asked == FrontEnd::Terminal) return runPanelInTerminal(services, settings, network);
  SdlWindow window;
  window.watch(network.fd, network.serve);
  const int status = runPanelIn(window, services, settings);
  if (status != kExitNoWindow) return status;
  // The panel has done nothing yet: no port, no file. Whoever started it from a text console or
  // a remote shell gets it there instead.
  if (TermWindow::terminalAvailable()) {
    std::fprintf(stderr, "orvane: %s; running in this terminal\n", window.whyNotOpen().c_str());
    return runPanelInTerminal(services, settings, network);
  }
  std::fprintf(stderr, "orvane: %s; start it from a desktop session or a terminal\n",
               window.whyNotOpen().c_str());
  return status;
}

}  // namespace orvane

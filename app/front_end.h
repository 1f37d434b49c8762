// SPDX-License-Identifier: GPL-3.0-or-later
// Where the panel meets the operator: its window on the desktop, or the terminal it was started
// from, for a station without a desktop or an operator who reads a braille display.
#pragma once

#include <functional>

#include "core/settings.h"
#include "platform/platform.h"

namespace orvane {

enum class FrontEnd { Window, Terminal };

// Every service of the panel but the window, which runPanel chooses.
struct PanelServices {
  SoundPlayer& sound;
  FileSystem& files;
  Clock& clock;
  SerialPorts& serial;
  Network& network;
  SpeechService& speech;
};

// What wakes the panel's event wait besides its keys and its timer: a descriptor that is readable
// when the network has news, and the routine that serves the news.
struct NetworkWake {
  int fd = -1;
  std::function<void()> serve;
};

// Runs the panel to its end in the front end asked for and returns the exit code. The window
// gives way to the terminal when it cannot be opened (no display) and the panel was started in the
// foreground of a terminal; one line on standard error says so. When neither can take the panel,
// one line says why and the exit code is 1, before the panel has touched the port or any file.
int runPanel(FrontEnd asked, const PanelServices& services, const Settings& settings,
             const NetworkWake& network);

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The whole panel: the one PanelState, the modules that work on it, and the main sequence that
// starts the panel, runs the message loop and shuts down.
#pragma once

#include <string>
#include <vector>

#include "core/panel_state.h"
#include "core/settings.h"
#include "keys/key_dispatcher.h"
#include "link/cat_link.h"
#include "link/debug_log.h"
#include "link/radio_models.h"
#include "link/serial_port.h"
#include "platform/platform.h"
#include "receiver/memory_file.h"
#include "receiver/toggles.h"
#include "rigclient/rig_line.h"
#include "rigserver/rig_server.h"
#include "speech/announcer.h"
#include "tuning/bands.h"
#include "tuning/channels.h"
#include "tuning/entry.h"
#include "tuning/frequency.h"
#include "tuning/levels.h"
#include "tuning/meters.h"
#include "tuning/mode.h"

namespace orvane {

inline constexpr char kVersion[] = "1.9";
// What `--version` says after the program's name and version, one line each, as GNU programs say
// it: who holds the copyright, the licence, and that there is no warranty.
inline constexpr const char* kCopyrightNotice[] = {
    "Copyright (C) 2026 the Orvane developers",
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.",
    "This is free software: you are free to change and redistribute it.",
    "There is NO WARRANTY, to the extent permitted by law.",
};
inline constexpr int kPollTimer = 1;
inline constexpr int kPollPeriodMs = 50;
// The exit code when no window can be shown (no display): the panel has then done nothing.
inline constexpr int kExitNoWindow = 1;

class Panel {
 public:
  explicit Panel(Platform platform, Settings settings = {});
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // Start-up, the message loop until the operator quits, and shut-down. Returns the exit code:
  // 0, or kExitNoWindow when the main window cannot be opened.
  int run();

  // The one-time set-up of screen, debug log, start values, memory file, port and radio.
  void initialisePanel();

  PanelState& state() { return state_; }

  // Where a problem the operator should read goes (a rig server that cannot listen): the app
  // prints it on standard error. Without one it is only in the debug log.
  void setProblemReporter(std::function<void(const std::string&)> reporter) {
    reportProblem_ = std::move(reporter);
  }

 private:
  void setProgramTexts();
  bool openMainWindow();
  void chooseSpeech();
  void readConfiguration();
  void speakStartupAnnouncement();
  void runMessageLoop();
  void shutDown();
  void drawFixedTexts();
  void setStartValues();
  void openSerialPort();
  void portOpenedAgain();
  void switchRadioOn();
  void sendStartState();
  void startRigServer();
  void serveNetwork();
  void windowEvent(const WindowEvent& event);
  std::vector<std::string> startStateForms(RadioModel model) const;
  void radioIdentified();

  Platform platform_;
  Settings settings_;
  PanelState state_;
  // The port did not open at start, so the radio has not had the start state yet.
  bool startStateOwed_ = false;

  // The radio's line when the station works it through a rig server (the setting "rig"): the
  // port table then opens that server's line instead of a serial port.
  std::unique_ptr<rigclient::RigServerPorts> rigServerLine_;
  SerialPort port_;
  DebugLog log_;
  Announcer announcer_;
  CatLink link_;
  ReceiverToggles toggles_;
  ModeControl mode_;
  FrequencyControl frequency_;
  BandControl bands_;
  FrequencyEntry entry_;
  LevelControl levels_;
  Meters meters_;
  MemoryChannelControl channels_;
  MemoryFile memory_;
  KeyDispatcher dispatcher_;
  // Last, so that it goes first: a radio keyed by a client is unkeyed before the link goes away.
  RigServer rigServer_;
  std::function<void(const std::string&)> reportProblem_;
};

}  // namespace orvane

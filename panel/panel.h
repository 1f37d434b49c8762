// The whole panel: the one PanelState, the modules that work on it, and the main sequence that
// starts the panel, runs the message loop and shuts down.
#pragma once

#include "core/panel_state.h"
#include "core/settings.h"
#include "keys/key_dispatcher.h"
#include "link/cat_link.h"
#include "link/debug_log.h"
#include "link/serial_port.h"
#include "platform/platform.h"
#include "receiver/memory_file.h"
#include "receiver/toggles.h"
#include "rigclient/rig_line.h"
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

 private:
  void setProgramTexts();
  bool openMainWindow();
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
};

}  // namespace orvane

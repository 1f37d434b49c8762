// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's event routine. A key press passes the common guards (key latch, debug log,
// tuner lock-out, quit, not connected) and then exactly one row of the key table; rows marked
// "on" go on to the frequency-step stage, which in the frequency state sends the frequency.
#pragma once

#include <array>
#include <string_view>

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "platform/platform.h"
#include "receiver/toggles.h"
#include "speech/announcer.h"
#include "tuning/bands.h"
#include "tuning/channels.h"
#include "tuning/entry.h"
#include "tuning/frequency.h"
#include "tuning/levels.h"
#include "tuning/meters.h"
#include "tuning/mode.h"

namespace orvane {

// What Up and Down act on.
enum EntryState : std::int32_t {
  kFrequencyState = 0,
  kBandState = 1,
  kWidthState = 2,
  kPowerState = 3,
  kRfGainState = 4,
  kAfGainState = 7,
};

class KeyDispatcher;

// One row of the key table: the keys it takes, what it does in the operator's words, the action,
// and whether the key press ends there or goes on to the frequency-step stage.
struct KeyRow {
  enum class Then { End, On };
  int firstKey;
  int lastKey;
  std::string_view keys;
  std::string_view does;
  void (KeyDispatcher::*action)(int key);
  Then then;
  // Extra condition on the panel state, or nullptr.
  bool (*applies)(const PanelState& state) = nullptr;
};

class KeyDispatcher {
 public:
  // The modules the key table calls into.
  struct Commands {
    CatLink& link;
    Announcer& announcer;
    FrequencyControl& frequency;
    FrequencyEntry& entry;
    BandControl& bands;
    ModeControl& mode;
    LevelControl& levels;
    Meters& meters;
    MemoryChannelControl& channels;
    ReceiverToggles& toggles;
  };

  KeyDispatcher(PanelState& state, Window& window, Commands commands)
      : state_(state), window_(window), c_(commands) {}

  // Handles one window event: close request, key-down, key-up or timer tick.
  void windowEventHandler(const WindowEvent& event);

  static const std::array<KeyRow, 28> kKeyTable;

  // The debug log's name for a key: "C/R" for Enter, "." for the full stop, otherwise the
  // character with the key's code.
  static std::string keyLogText(int key);

 private:
  void keyDown(int key);
  // The row for key in the current state, or nullptr.
  const KeyRow* rowFor(int key) const;
  void frequencyStepStage(int key);

  // Row actions.
  void nothing(int key);
  void afGainKey(int key);
  void storeChannelKey(int key);
  void recallChannelKey(int key);
  void entryKey(int key);
  void pointKey(int key);
  void enterKey(int key);
  void zeroKey(int key);
  void toggleKey(int key);
  void spotKey(int key);
  void digitKey(int key);
  void helpKey(int key);
  void frequencyKey(int key);
  void powerKey(int key);
  void rfGainKey(int key);
  void meterKey(int key);
  void tuneKey(int key);
  void bandKey(int key);
  void widthKey(int key);
  void modeKey(int key);
  void upKey(int key);
  void downKey(int key);

  PanelState& state_;
  Window& window_;
  Commands c_;
};

}  // namespace orvane

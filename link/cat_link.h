// CatLink is the only path between the panel and the transceiver. Commands are written and
// forgotten; at every 50 ms tick pollRadio collects whatever the radio has sent since the last
// tick, routes it by its first two characters, and sends the next poll, alternately the frequency
// and a meter. A watchdog marks the radio as not connected after 20 unanswered polls.
#pragma once

#include <functional>
#include <string_view>

#include "core/panel_state.h"
#include "link/debug_log.h"
#include "link/serial_port.h"
#include "platform/platform.h"

namespace orvane {

class CatLink {
 public:
  // Reads are at most this long; more waiting bytes are left for the next tick.
  static constexpr int kMaxReply = 255;
  // Consecutive empty collections after which the radio counts as gone.
  static constexpr int kMissedPollLimit = 20;

  CatLink(PanelState& state, SerialPort& port, Window& window, DebugLog& log)
      : state_(state), port_(port), window_(window), log_(log) {}

  // The routine that handles a frequency answer ("FA…" or "FB…" in replyText).
  void setFrequencyAnswerHandler(std::function<void()> handler) {
    frequencyAnswer_ = std::move(handler);
  }

  // Sends commandText: "FA" becomes "FB" while split is on, ";" is appended, the whole command goes
  // out in one write and is logged as "TX=". commandText then holds what was sent.
  void sendCommand();
  // Shorthand for the calling convention: commandText = command, then sendCommand().
  void send(std::string_view command);
  // One timer tick of the exchange.
  void pollRadio();
  // Appends a line to the debug log when the log is on.
  void writeDebugLine(std::string_view text);

 private:
  // Returns false when nothing was waiting.
  bool collectReply();
  void routeReply();
  void updateSMeter();
  void sendNextPoll();

  PanelState& state_;
  SerialPort& port_;
  Window& window_;
  DebugLog& log_;
  std::function<void()> frequencyAnswer_;
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// CatLink is the only path between the panel and the transceiver. Commands are written and
// forgotten; at every 50 ms tick pollRadio collects whatever the radio has sent since the last
// tick, routes it by its first two characters, and sends the next poll, alternately the frequency
// and a meter. A watchdog marks the radio as not connected after 20 unanswered polls.
//
// Each time the radio comes on the line, a poll asks it which it is ("ID"), and its answer, read
// like any other, chooses the forms of the meters polled and read (link/radio_models.h). Nothing
// waits for that answer: until it comes the panel polls and reads as it always has. The answer may
// come behind the "?;" of a command the radio refused (the start state in the panel's own forms,
// which it may not take), so it is looked for among the answers of a read, and asked for again,
// every other poll, up to three times.
//
// The line itself can go: a USB adapter pulled out, a radio with a built-in USB port switched off.
// A port that has hung up is closed at once, and a port that is not open (gone, or missing at
// start) is tried again about once a second, from the tick, without ever waiting; not one whose
// device was there but refused the configured speed or format, which no retry can change.
#pragma once

#include <functional>
#include <string_view>

#include "core/panel_state.h"
#include "link/debug_log.h"
#include "link/radio_models.h"
#include "link/serial_port.h"
#include "platform/platform.h"

namespace orvane {

class CatLink {
 public:
  // Reads are at most this long; more waiting bytes are left for the next tick.
  static constexpr int kMaxReply = 255;
  // Consecutive empty collections after which the radio counts as gone.
  static constexpr int kMissedPollLimit = 20;
  // Ticks between tries to open a port that is not open: about a second.
  static constexpr int kReopenTicks = 20;
  // How often a connection asks the radio which it is before it takes it for one it does not know.
  static constexpr int kIdentityQuestions = 3;

  CatLink(PanelState& state, SerialPort& port, Window& window, DebugLog& log)
      : state_(state), port_(port), window_(window), log_(log) {}

  // The routine that handles a well-formed frequency answer ("FA" or "FB", eleven digits and ";"
  // at the start of replyText).
  void setFrequencyAnswerHandler(std::function<void()> handler) {
    frequencyAnswer_ = std::move(handler);
  }
  // Called once when a connected radio is lost (the watchdog, or the line hanging up), after
  // radioConnected has gone to 0.
  void setRadioLostHandler(std::function<void()> handler) { radioLost_ = std::move(handler); }
  // Called when a try from the tick has opened the port again.
  void setPortOpenedHandler(std::function<void()> handler) { portOpened_ = std::move(handler); }
  // Sees every read from the radio, whole, before the panel routes it: other programs' answers
  // come on the same line as the panel's own (the rig server). It returns true when the read
  // begins with an answer that one of them asked for; the panel then does not take that answer
  // as its own frequency, which it would otherwise do by its first two characters.
  void setReadObserver(std::function<bool(std::string_view)> observer) {
    readObserver_ = std::move(observer);
  }
  // Called when the radio has said which it is (radioModel is set; it may be unknown).
  void setRadioIdentifiedHandler(std::function<void()> handler) {
    radioIdentified_ = std::move(handler);
  }

  // Opens comPort at baudRate as the radio's line: reads that return at once, 8 data bits, no
  // parity, two stop bits. Used at start and at every later try. Whether the port is now open.
  bool openRadioPort();
  // Sends commandText: "FA" becomes "FB" while split is on, ";" is appended, the whole command goes
  // out in one write and is logged as "TX=". commandText then holds what was sent.
  void sendCommand();
  // Shorthand for the calling convention: commandText = command, then sendCommand().
  void send(std::string_view command);
  // Whether the radio can carry out the command (its text without ";"): asked before a key speaks
  // what it will do, so that a radio without the function hears "not available" instead.
  bool canCarryOut(std::string_view command) { return port_.canCarryOut(state_.comPort, command); }
  // The same for an action, in the form of the radio on the line; false when that radio has no
  // form for it.
  bool canCarryOut(CatAction action, std::int64_t argument = 0);
  // The next tick tries to open the port, if it is not open, instead of waiting out the second
  // between tries: the line has said it is there.
  void openAtNextTick() { state_.reopenTicks = kReopenTicks - 1; }
  // Sends a command for another program (the rig server) exactly as given, ";" appended, in one
  // write, logged as "TX=". It leaves commandText alone (a key's handling may be using it: this
  // can run while a clip of that key plays) and never turns "FA" into "FB": a program that asked
  // for VFO A gets VFO A. A frequency command makes the answer to a poll already on its way
  // stale, as the panel's own do.
  void sendClientCommand(std::string_view command);
  // Sends the action in the form of the radio on the line (link/radio_models.h). False, and
  // nothing sent, when that radio has no such command.
  bool sendAction(CatAction action, std::int64_t argument = 0);
  // One timer tick of the exchange.
  void pollRadio();
  // Appends a line to the debug log when the log is on.
  void writeDebugLine(std::string_view text);

 private:
  // Closes a hung-up port and opens a closed one when it is time to try; whether the port is
  // open and usable at this tick.
  bool lineReady();
  void reopenWhenDue();
  void radioLost();
  // Returns false when nothing was waiting.
  bool collectReply();
  void routeReply();
  // The radio has just come on the line: which one it is is asked anew.
  void newConnection();
  void takeIdentity();
  void updateSwr();
  void updateSMeter();
  void sendNextPoll();
  // Follows the frequency polls and commands on their way out (see routeReply).
  void noteFrequencyExchange(std::string_view command);
  void noteFrequencyCommand(std::string_view command);

  PanelState& state_;
  SerialPort& port_;
  Window& window_;
  DebugLog& log_;
  std::function<void()> frequencyAnswer_;
  std::function<void()> radioLost_;
  std::function<void()> portOpened_;
  std::function<bool(std::string_view)> readObserver_;
  // The read now being routed begins with another program's answer.
  bool readIsClients_ = false;
  std::function<void()> radioIdentified_;
};

}  // namespace orvane

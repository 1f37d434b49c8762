// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's Kenwood commands in Hamlib's words. The panel goes on sending exactly what it sends
// a TS-series radio on its serial line; each command becomes the rig server's requests with the
// same effect, and the answer to each poll comes back in the Kenwood form the panel reads. What
// the radio behind the server cannot do (its capability dump says so) is never sent: the panel
// asks first (canCarryOut) and tells the operator "not available".
//
// Scales, so that the panel's meters and levels mean the same on every radio:
// - S-meter: Hamlib's STRENGTH is decibels relative to S9, 6 dB an S-unit. The panel's scale is
//   0..30, three steps an S-unit (S-unit = reading / 3) and 30 for S9+: a reading of
//   (dB + 54) / 2 rounded, 0 at S0 (-54 dB) and 27 at S9 (0 dB); up to 9 dB over S9 is still S9,
//   and 10 dB and more over it is 30, "9 plus", where an S-meter's first mark over S9 is.
// - SWR: Hamlib's SWR level is the ratio itself (1.5 for 1.5:1). The panel's SWR meter counts
//   sixths over 1:1 (raw 3 is spoken "1 point 3"), 30 and above "greater than 6": raw =
//   (ratio - 1) * 6, rounded, within 0..30.
// - Transmit power: the panel's setting is in watts; Hamlib's RFPOWER is a fraction of the
//   radio's maximum, which the capability dump gives as the highest transmit range's power (or
//   the station's setting "rig-power").
// - AF and RF gain: the panel's 0..255 as a fraction of 255.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rigclient/answers.h"

namespace orvane::rigclient {

// What the answer to a request becomes on the panel's side.
enum class Reply { None, FrequencyA, FrequencyB, SMeter, Swr, PowerStat, Mode };

struct Request {
  std::string text;  // the request line as it goes out, without its line end
  std::string name;  // the name its answer carries ("set_freq")
  Reply reply = Reply::None;
};

// The Hamlib name of the mode that the Kenwood mode command's digit selects ("2" is "USB"), or
// nothing for a digit without one.
std::optional<std::string_view> modeNamed(char digit);

class Translator {
 public:
  // maxWatts: the radio's full power as the station set it, 0 to take it from the capabilities.
  Translator(RigCaps caps, double maxWatts);

  // The requests that carry out one command (its text without ";"), in order. A read that the
  // radio cannot answer is answered as a Kenwood radio answers what it does not know: "?;",
  // appended to immediate. A set it cannot carry out gives nothing.
  std::vector<Request> translate(std::string_view command, std::string& immediate);
  // Whether the radio can carry out the command: a serial radio takes whatever is sent; here the
  // capability dump decides.
  bool canCarryOut(std::string_view command) const;
  // The Kenwood answer (with its ";") that the panel reads for the answer to a read; nothing when
  // the server could not answer it (the radio then did not answer).
  std::optional<std::string> kenwoodAnswer(Reply reply, const Answer& answer);

  // The mode the radio is in, asked once at connect, which a filter width is set in.
  static Request modeRequest();
  const RigCaps& caps() const { return caps_; }
  // Watts at RFPOWER 1.
  double fullPowerWatts() const { return fullPowerWatts_; }

 private:
  RigCaps caps_;
  double fullPowerWatts_;
  std::string currentMode_;
  bool split_ = false;
  // VFO B's frequency, sent while split is off: the radio gets it as split goes on (a memory
  // channel with split sends VFO B before it switches split on).
  std::optional<std::int64_t> pendingVfoB_;
};

// The panel's scales (see above).
int sMeterOnPanelScale(double decibelsOverS9);
int swrOnPanelScale(double ratio);

}  // namespace orvane::rigclient

// SPDX-License-Identifier: GPL-3.0-or-later
// What a Hamlib rig server (rigctld, or another panel's rig server) says back, read as the panel
// asks for it: every request goes out in the extended form ("+\get_freq"), whose answer is the
// command's name, one line per value and a status line:
//
//     get_freq:
//     Frequency: 14074000
//     RPRT 0
//
// The status line ends every answer, so answers are told apart however the bytes arrive, and the
// first line names the request the answer belongs to, so noise between answers never shifts one
// answer onto another request.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::rigclient {

// Hamlib's status codes as "RPRT n" carries them.
inline constexpr int kOk = 0;
inline constexpr int kNotAvailable = -11;  // RIG_ENAVAIL

struct Answer {
  std::string name;                // the request's name as the answer's first line gives it
  std::vector<std::string> lines;  // the lines between the first line and the status line
  int status = kOk;

  // The value of line i without its label ("Frequency: 14074000" gives "14074000"; a level's
  // line is the value alone); empty when there is no such line.
  std::string value(std::size_t i) const;
};

// Collects the server's bytes and hands out whole answers in order.
class AnswerReader {
 public:
  // The longest line and the longest answer taken; a capability dump is about 12 kB. Anything
  // longer is not a rig server talking, and the reader then counts as lost.
  static constexpr std::size_t kMaxLine = 4096;
  static constexpr std::size_t kMaxAnswer = 64 * 1024;

  void add(std::string_view bytes);
  // The next whole answer, or nothing while none is complete. Lines that come before a status
  // line without any request's name among them (noise, a stray status) are dropped.
  std::optional<Answer> next();
  // True once the server has sent something no rig server sends (a line or answer too long).
  bool lost() const { return lost_; }

 private:
  std::string partial_;  // the bytes of a line not yet ended
  std::vector<std::string> lines_;
  std::size_t answerBytes_ = 0;
  bool lost_ = false;
};

// Whether line is an answer's first line, "name:" with the request's arguments after it, and the
// name then.
std::optional<std::string> answerName(std::string_view line);

// What the radio behind the server can do, from its capability dump ("\dump_caps"). Only what the
// panel's commands need.
struct RigCaps {
  std::string model;  // "Kenwood TS-2000", for the debug log
  std::set<std::string, std::less<>> modes;
  std::set<std::string, std::less<>> setFunctions;
  std::set<std::string, std::less<>> setLevels;
  std::set<std::string, std::less<>> getLevels;
  std::set<std::string, std::less<>> vfoOps;
  int preampDb = 0;      // the radio's first preamplifier step, 0 when it has none
  int attenuatorDb = 0;  // its first attenuator step
  bool canSetPowerStat = false;
  bool canSetSplit = false;
  // The highest transmit power any of its transmit ranges gives, in watts; 0 when none is told.
  double maxWatts = 0;
  // The range the server takes for the transmit power, as a fraction of the maximum.
  double powerFractionLow = 0;
  double powerFractionHigh = 1;
};

// Reads a capability dump; what it does not find is left out (the radio cannot do it).
RigCaps parseCaps(const std::vector<std::string>& lines);

}  // namespace orvane::rigclient

// SPDX-License-Identifier: GPL-3.0-or-later
// Hamlib's network rig-control protocol, as its rigctld serves it on TCP port 4532 ("NET rigctl",
// rig model 2, on the client's side). A request is a line of one or more commands: short ones are
// one character ("f", "F 14074000"), long ones a backslash and a name ("\get_freq",
// "\set_freq 14074000"); each takes its arguments as the next words of the line. A punctuation
// character just before a command ("+f", ";f", "|f", ",f") asks for the extended answer: the
// command's name, one "Label: value" line per value and "RPRT n", the lines joined by that
// character. The plain answer is the values alone, one a line, or "RPRT n" for a set or a failure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::rig {

enum class Command {
  GetFreq,
  SetFreq,
  GetMode,
  SetMode,
  GetVfo,
  SetVfo,
  GetSplitVfo,
  SetSplitVfo,
  GetSplitFreq,
  SetSplitFreq,
  GetSplitMode,
  SetSplitMode,
  GetPtt,
  SetPtt,
  GetLevel,
  GetPowerstat,
  GetLockMode,
  ChkVfo,
  DumpState,
  DumpCaps,
  Quit,
  Unknown,
};

struct Request {
  Command command = Command::Unknown;
  // The long name ("set_freq"); for an unknown command what was asked for.
  std::string name;
  std::vector<std::string> args;
  // 0 for the plain answer, else the character that joins the lines of the extended answer
  // ("\n" for "+").
  char separator = 0;
  // The line ended before all of the command's arguments.
  bool argsMissing = false;
};

// The commands of one request line (without its line end), in order. Blanks, control characters
// and bytes outside ASCII only separate commands. An unknown command takes the rest of the line
// with it: its arguments cannot be told from commands.
std::vector<Request> parseLine(std::string_view line);

// Hamlib's status codes, as "RPRT n" carries them.
inline constexpr int kOk = 0;
inline constexpr int kInvalidArgument = -1;  // RIG_EINVAL
inline constexpr int kNotImplemented = -4;   // RIG_ENIMPL
inline constexpr int kTimedOut = -5;         // RIG_ETIMEOUT: the radio did not answer
inline constexpr int kRejected = -9;         // RIG_ERJCTED
inline constexpr int kNotAvailable = -11;    // RIG_ENAVAIL

// One value of an answer and its label in the extended form ("Frequency"); an empty label gives
// the value alone, as rigctld does for a level.
struct Field {
  std::string_view label;
  std::string value;
};

// The answer to a request that succeeded with values.
std::string answerValues(const Request& request, const std::vector<Field>& values);
// The answer that is a status alone: a set, or any request that failed.
std::string answerStatus(const Request& request, int code);

// Hamlib's names of the radio's modes and VFOs as the protocol spells them.
bool isVfoName(std::string_view name);

}  // namespace orvane::rig

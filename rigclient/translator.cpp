// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigclient/translator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "core/text.h"

namespace orvane::rigclient {

namespace {

// A radio whose capabilities name no transmit power is taken for the common 100 W transceiver.
constexpr double kAssumedFullPower = 100;
constexpr int kGainFullScale = 255;
constexpr int kPanelFullScale = 30;
constexpr int kPanelS9 = 27;
constexpr double kS0Decibels = -54;

// The Kenwood mode command's digits and Hamlib's names for the same modes.
constexpr std::array<std::pair<char, std::string_view>, 8> kModes = {{{'1', "LSB"},
                                                                      {'2', "USB"},
                                                                      {'3', "CW"},
                                                                      {'4', "FM"},
                                                                      {'5', "AM"},
                                                                      {'6', "RTTY"},
                                                                      {'7', "CWR"},
                                                                      {'9', "RTTYR"}}};

enum class Kind {
  ReadFrequencyA,
  ReadFrequencyB,
  ReadSMeter,
  ReadSwr,
  ReadPowerStat,
  ReadOther,
  SetFrequencyA,
  SetFrequencyB,
  ReceiveOnVfoA,
  SplitOn,
  SplitOff,
  Mode,
  Width,
  Preamp,
  Attenuator,
  Blanker,
  NoiseReduction,
  Notch,
  Power,
  RfGain,
  AfGain,
  MeterChoice,
  TunerStart,
  TunerStop,
  Spot,
  PowerOn,
  PowerOff,
  Wake,
  Transmit,
  Receive,
  Unknown,
};

struct Action {
  Kind kind = Kind::Unknown;
  std::int64_t value = 0;  // hertz, watts, a gain, a width in tens of hertz, 1/0 for on/off
};

bool isLetters(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::int64_t numberIn(std::string_view digits) {
  std::int64_t n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

// Whether command is prefix followed by between minDigits and maxDigits digits.
bool hasDigits(std::string_view command, std::string_view prefix, std::size_t minDigits,
               std::size_t maxDigits) {
  if (command.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = command.substr(prefix.size());
  return digits.size() >= minDigits && digits.size() <= maxDigits && allDigits(digits);
}

Action onOff(Kind kind, bool on) {
  return {kind, on ? 1 : 0};
}

// A bare two-letter command is a read, as are the S-meter's "SM0" and the AF gain's "AG0".
Action readAction(std::string_view command) {
  if (command == "TX") return {Kind::Transmit};
  if (command == "RX") return {Kind::Receive};
  if (command == "FA") return {Kind::ReadFrequencyA};
  if (command == "FB") return {Kind::ReadFrequencyB};
  if (command == "SM" || command == "SM0") return {Kind::ReadSMeter};
  if (command == "RM") return {Kind::ReadSwr};
  if (command == "PS") return {Kind::ReadPowerStat};
  return {Kind::ReadOther};
}

// Every form of every command the panel sends, in the forms of all the TS-series radios it knows:
// the preamplifier as PA1 or PA10, the notch as NT1 or NT10, the AF gain with or without the
// receiver's 0.
Action actionOf(std::string_view c) {
  if (c == "Poweron") return {Kind::Wake};
  if (c == "SWT28") return {Kind::Spot};
  if ((c.size() == 2 && isLetters(c)) || c == "SM0" || c == "AG0") return readAction(c);
  if (isFrequencyCommand(c)) {
    return {c[1] == 'A' ? Kind::SetFrequencyA : Kind::SetFrequencyB, numberIn(c.substr(2))};
  }
  if (c == "FR0") return {Kind::ReceiveOnVfoA};
  if (c == "FT1" || c == "FT0") return onOff(c == "FT1" ? Kind::SplitOn : Kind::SplitOff, true);
  if (hasDigits(c, "MD", 1, 1)) return {Kind::Mode, c[2]};
  if (hasDigits(c, "BW", 4, 4)) return {Kind::Width, numberIn(c.substr(2))};
  if (hasDigits(c, "PA", 1, 2)) return onOff(Kind::Preamp, c[2] != '0');
  if (hasDigits(c, "RA", 1, 2)) return onOff(Kind::Attenuator, numberIn(c.substr(2)) != 0);
  if (hasDigits(c, "NB", 1, 2)) return onOff(Kind::Blanker, c.back() != '0');
  if (hasDigits(c, "NR", 1, 1)) return onOff(Kind::NoiseReduction, c[2] != '0');
  if (hasDigits(c, "NT", 1, 2)) return onOff(Kind::Notch, c[2] != '0');
  if (hasDigits(c, "PC", 3, 3)) return {Kind::Power, numberIn(c.substr(2))};
  if (hasDigits(c, "RG", 3, 4)) return {Kind::RfGain, numberIn(c.substr(c.size() - 3))};
  if (hasDigits(c, "AG", 3, 4)) return {Kind::AfGain, numberIn(c.substr(c.size() - 3))};
  if (hasDigits(c, "RM", 1, 2)) return {Kind::MeterChoice};
  if (hasDigits(c, "AC", 3, 3)) return {c.back() == '1' ? Kind::TunerStart : Kind::TunerStop};
  if (c == "PS1") return {Kind::PowerOn};
  if (c == "PS0" || c == "PS9") return {Kind::PowerOff};
  if (hasDigits(c, "TX", 1, 1)) return {Kind::Transmit};
  return {Kind::Unknown};
}

bool isRead(Kind kind) {
  return kind == Kind::ReadFrequencyA || kind == Kind::ReadFrequencyB || kind == Kind::ReadSMeter ||
         kind == Kind::ReadSwr || kind == Kind::ReadPowerStat || kind == Kind::ReadOther;
}

Request request(std::string_view name, std::string_view arguments = {}, Reply reply = Reply::None) {
  std::string text = "+\\" + std::string(name);
  if (!arguments.empty()) text += " " + std::string(arguments);
  return {std::move(text), std::string(name), reply};
}

// A value for Hamlib in its decimal form, six places: enough that every step of the panel's levels
// comes out whole again at the radio whether its driver rounds or cuts.
std::string decimal(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                          std::chars_format::fixed, 6);
  if (error != std::errc()) return "0";
  return std::string(buffer.data(), end);
}

// The panel's level as a fraction of its full scale. A thousandth of a step added keeps a driver
// that cuts off from landing one step below (0.35 is a hair under 0.35 in binary).
std::string fraction(std::int64_t level, double fullScale, double low, double high) {
  const double f = (static_cast<double>(level) + 0.001) / fullScale;
  return decimal(std::clamp(f, low, high));
}

std::optional<double> numberOf(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string frequencyAnswer(char vfo, const Answer& answer) {
  const auto hz = numberOf(answer.value(0));
  if (!hz || *hz < 0 || *hz > 99'999'999'999.0) return {};
  return std::string("F") + vfo + zeroPadded(std::llround(*hz), 11) + ";";
}

}  // namespace

std::optional<std::string_view> modeNamed(char digit) {
  for (const auto& [d, name] : kModes) {
    if (d == digit) return name;
  }
  return std::nullopt;
}

int sMeterOnPanelScale(double decibelsOverS9) {
  if (decibelsOverS9 >= 10) return kPanelFullScale;
  if (decibelsOverS9 > 0) return kPanelS9;
  const double steps = std::round((decibelsOverS9 - kS0Decibels) / 2);
  return static_cast<int>(std::clamp(steps, 0.0, static_cast<double>(kPanelS9)));
}

int swrOnPanelScale(double ratio) {
  const double sixths = std::round((ratio - 1) * 6);
  return static_cast<int>(std::clamp(sixths, 0.0, static_cast<double>(kPanelFullScale)));
}

Translator::Translator(RigCaps caps, double maxWatts) : caps_(std::move(caps)) {
  fullPowerWatts_ = maxWatts > 0         ? maxWatts
                    : caps_.maxWatts > 0 ? caps_.maxWatts
                                         : kAssumedFullPower;
}

Request Translator::modeRequest() {
  return request("get_mode", {}, Reply::Mode);
}

bool Translator::canCarryOut(std::string_view command) const {
  const Action action = actionOf(command);
  const auto settable = [this](std::string_view level) { return caps_.setLevels.contains(level); };
  const auto function = [this](std::string_view f) { return caps_.setFunctions.contains(f); };
  switch (action.kind) {
    case Kind::SetFrequencyB:
    case Kind::SplitOn:
    case Kind::SplitOff:
      return caps_.canSetSplit;
    case Kind::Mode: {
      const auto name = modeNamed(static_cast<char>(action.value));
      return name && caps_.modes.contains(*name);
    }
    case Kind::Width:
      return !caps_.modes.empty();
    case Kind::Preamp:
      return settable("PREAMP") && caps_.preampDb > 0;
    case Kind::Attenuator:
      return settable("ATT") && caps_.attenuatorDb > 0;
    case Kind::Blanker:
      return function("NB");
    case Kind::NoiseReduction:
      return function("NR");
    case Kind::Notch:
      return function("ANF") || function("MN");
    case Kind::Power:
      return settable("RFPOWER");
    case Kind::RfGain:
      return settable("RF");
    case Kind::AfGain:
      return settable("AF");
    case Kind::TunerStart:
    case Kind::TunerStop:
      return caps_.vfoOps.contains("TUNE") || function("TUNER");
    case Kind::Spot:
    case Kind::Unknown:
      return false;
    case Kind::PowerOn:
    case Kind::PowerOff:
      return caps_.canSetPowerStat;
    case Kind::ReadSMeter:
      return caps_.getLevels.contains("STRENGTH");
    case Kind::ReadSwr:
      return caps_.getLevels.contains("SWR");
    default:
      return true;
  }
}

std::vector<Request> Translator::translate(std::string_view command, std::string& immediate) {
  const Action action = actionOf(command);
  if (!canCarryOut(command)) {
    if (isRead(action.kind)) immediate += "?;";
    return {};
  }
  const auto onOffText = [&action] { return action.value != 0 ? "1" : "0"; };
  const auto level = [&](std::string_view name, std::string value) {
    return std::vector<Request>{request("set_level", std::string(name) + " " + value)};
  };
  switch (action.kind) {
    case Kind::ReadFrequencyA:
      return {request("get_freq", {}, Reply::FrequencyA)};
    case Kind::ReadFrequencyB:
      return {request("get_split_freq", {}, Reply::FrequencyB)};
    case Kind::ReadSMeter:
      return {request("get_level", "STRENGTH", Reply::SMeter)};
    case Kind::ReadSwr:
      return {request("get_level", "SWR", Reply::Swr)};
    case Kind::ReadPowerStat:
      return {request("get_powerstat", {}, Reply::PowerStat)};
    case Kind::ReadOther:
      immediate += "?;";
      return {};
    case Kind::SetFrequencyA:
      return {request("set_freq", digitsOf(action.value))};
    case Kind::SetFrequencyB:
      // The split is said again before each transmit frequency: a server's idea of which VFO
      // transmits can drift from the radio's (Hamlib 4.5's Kenwood driver takes it back to VFO A
      // whenever it reads the radio's IF answer, and would then set VFO A's frequency).
      if (split_) {
        return {request("set_split_vfo", "1 VFOB"),
                request("set_split_freq", digitsOf(action.value))};
      }
      pendingVfoB_ = action.value;
      return {};
    case Kind::ReceiveOnVfoA:
      return {request("set_vfo", "VFOA")};
    case Kind::SplitOn: {
      split_ = true;
      std::vector<Request> requests = {request("set_split_vfo", "1 VFOB")};
      if (pendingVfoB_) requests.push_back(request("set_split_freq", digitsOf(*pendingVfoB_)));
      pendingVfoB_.reset();
      return requests;
    }
    case Kind::SplitOff:
      split_ = false;
      return {request("set_split_vfo", "0 VFOA")};
    case Kind::Mode:
      // -1: the passband stays as it is, as a Kenwood's filter does when its mode changes.
      currentMode_ = *modeNamed(static_cast<char>(action.value));
      return {request("set_mode", currentMode_ + " -1")};
    case Kind::Width:
      // The passband of the mode the radio is in; before the radio has told its mode there is
      // none to set it in.
      if (currentMode_.empty()) return {};
      return {request("set_mode", currentMode_ + " " + digitsOf(action.value * 10))};
    case Kind::Preamp:
      return level("PREAMP", action.value != 0 ? std::to_string(caps_.preampDb) : "0");
    case Kind::Attenuator:
      return level("ATT", action.value != 0 ? std::to_string(caps_.attenuatorDb) : "0");
    case Kind::Blanker:
      return {request("set_func", std::string("NB ") + onOffText())};
    case Kind::NoiseReduction:
      return {request("set_func", std::string("NR ") + onOffText())};
    case Kind::Notch:
      // The panel gives the notch no frequency, so the automatic notch is the one that does
      // something by itself; a manual notch only where the radio has no automatic one.
      return {request("set_func", std::string(caps_.setFunctions.contains("ANF") ? "ANF " : "MN ") +
                                      onOffText())};
    case Kind::Power:
      return level("RFPOWER", fraction(action.value, fullPowerWatts_, caps_.powerFractionLow,
                                       caps_.powerFractionHigh));
    case Kind::RfGain:
      return level("RF", fraction(action.value, kGainFullScale, 0, 1));
    case Kind::AfGain:
      return level("AF", fraction(action.value, kGainFullScale, 0, 1));
    case Kind::TunerStart: {
      // AC111: the tuner in line for receive and transmit, and a tuning run started.
      std::vector<Request> requests;
      if (caps_.setFunctions.contains("TUNER")) requests.push_back(request("set_func", "TUNER 1"));
      if (caps_.vfoOps.contains("TUNE")) requests.push_back(request("vfo_op", "TUNE"));
      return requests;
    }
    case Kind::PowerOn:
      return {request("set_powerstat", "1")};
    case Kind::PowerOff:
      return {request("set_powerstat", "0")};
    case Kind::Transmit:
      return {request("set_ptt", "1")};
    case Kind::Receive:
      return {request("set_ptt", "0")};
    default:
      // The SWR meter's choice, the wake-up bytes and the end of a tuning run (which ends by itself
      // on every radio) need nothing from the server.
      return {};
  }
}

std::optional<std::string> Translator::kenwoodAnswer(Reply reply, const Answer& answer) {
  if (answer.status != kOk || answer.lines.empty()) return std::nullopt;
  std::string text;
  switch (reply) {
    case Reply::FrequencyA:
      text = frequencyAnswer('A', answer);
      break;
    case Reply::FrequencyB:
      text = frequencyAnswer('B', answer);
      break;
    case Reply::SMeter:
      if (const auto db = numberOf(answer.value(0))) {
        text = "SM0" + zeroPadded(sMeterOnPanelScale(*db), 4) + ";";
      }
      break;
    case Reply::Swr:
      if (const auto ratio = numberOf(answer.value(0))) {
        text = "RM1" + zeroPadded(swrOnPanelScale(*ratio), 4) + ";";
      }
      break;
    case Reply::PowerStat:
      if (const auto on = numberOf(answer.value(0))) text = *on != 0 ? "PS1;" : "PS0;";
      break;
    case Reply::Mode:
      if (caps_.modes.contains(answer.value(0))) currentMode_ = answer.value(0);
      break;
    case Reply::None:
      break;
  }
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace orvane::rigclient

// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio_model.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace radiosim {
namespace {

using Answer = std::optional<std::string>;

// What the radio answers to a command it does not understand or cannot carry out.
const Answer kRefused = std::string("?;");
// A set-command is carried out without an answer.
const Answer kDone = std::nullopt;

// The parameter as a number when it is exactly `width` decimal digits.
std::optional<long long> digits(std::string_view p, std::size_t width) {
  if (p.size() != width) return std::nullopt;
  long long v = 0;
  for (const char c : p) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<int> digit(std::string_view p, int low, int high) {
  const auto v = digits(p, 1);
  if (!v || *v < low || *v > high) return std::nullopt;
  return static_cast<int>(*v);
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), pattern, args...);
  return buffer.data();
}

int clampInt(int v, int low, int high) {
  return v < low ? low : (v > high ? high : v);
}

// A setting of one digit from low to high: read with empty parameters ("NB;" answers "NB1;"),
// set with the digit.
Answer oneDigitSetting(int& setting, const char* readAnswer, std::string_view p, int low,
                       int high) {
  if (p.empty()) return format(readAnswer, setting);
  const auto v = digit(p, low, high);
  if (!v) return kRefused;
  setting = *v;
  return kDone;
}

// ---- the commands, one function each: read with empty parameters, set otherwise

Answer vfoFrequency(RadioState& s, std::string_view p, std::size_t vfo, const char* name) {
  if (p.empty()) return format("%s%011lld;", name, s.vfoHz[vfo]);
  const auto hz = digits(p, 11);
  if (!hz || !RadioModel::frequencyInRange(*hz)) return kRefused;
  s.vfoHz[vfo] = *hz;
  return kDone;
}

Answer vfoA(RadioState& s, std::string_view p, double) {
  return vfoFrequency(s, p, 0, "FA");
}
Answer vfoB(RadioState& s, std::string_view p, double) {
  return vfoFrequency(s, p, 1, "FB");
}

// Choosing the receive VFO also moves the transmitter there, which ends split; FT then moves the
// transmitter alone.
Answer receiveVfo(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("FR%d;", s.receiveVfo);
  const auto v = digit(p, 0, 1);
  if (!v) return kRefused;
  s.receiveVfo = s.transmitVfo = *v;
  return kDone;
}

Answer transmitVfo(RadioState& s, std::string_view p, double) {
  return oneDigitSetting(s.transmitVfo, "FT%d;", p, 0, 1);
}

Answer mode(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("MD%d;", s.mode);
  const auto v = digit(p, 1, 9);
  if (!v || *v == 8) return kRefused;
  s.mode = *v;
  return kDone;
}

// PA takes one digit, or two of which the second is reserved.
Answer preamp(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("PA%d0;", s.preamp);
  if (p.size() == 2 && p[1] != '0') return kRefused;
  const auto v = digit(p.substr(0, 1), 0, 1);
  if (!v || p.size() > 2) return kRefused;
  s.preamp = *v;
  return kDone;
}

Answer attenuator(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("RA%02d00;", s.attenuator);
  const auto v = digits(p, 2);
  if (!v || *v > 1) return kRefused;
  s.attenuator = static_cast<int>(*v);
  return kDone;
}

Answer blanker(RadioState& s, std::string_view p, double) {
  return oneDigitSetting(s.blanker, "NB%d;", p, 0, 2);
}

Answer noiseReduction(RadioState& s, std::string_view p, double) {
  return oneDigitSetting(s.noiseReduction, "NR%d;", p, 0, 2);
}

// NT: on/off (0 off, 1 auto, 2 manual) and, optionally, the notch width.
Answer notch(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("NT%d%d;", s.notch, s.notchWidth);
  if (p.size() > 2) return kRefused;
  const auto on = digit(p.substr(0, 1), 0, 2);
  const auto width = p.size() == 2 ? digit(p.substr(1), 0, 1) : std::optional<int>(0);
  if (!on || !width) return kRefused;
  s.notch = *on;
  s.notchWidth = *width;
  return kDone;
}

// A power outside 5..100 W is held at the nearest limit rather than refused, so a panel set up
// without a power line still drives the rig.
Answer power(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("PC%03d;", s.powerWatts);
  const auto v = digits(p, 3);
  if (!v) return kRefused;
  s.powerWatts = clampInt(static_cast<int>(*v), 5, 100);
  return kDone;
}

Answer afGain(RadioState& s, std::string_view p, double) {
  if (p == "0") return format("AG0%03d;", s.afGain);
  if (p.size() != 4 || p[0] != '0') return kRefused;
  const auto v = digits(p.substr(1), 3);
  if (!v || *v > 255) return kRefused;
  s.afGain = static_cast<int>(*v);
  return kDone;
}

Answer rfGain(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("RG%03d;", s.rfGain);
  const auto v = digits(p, 3);
  if (!v || *v > 255) return kRefused;
  s.rfGain = static_cast<int>(*v);
  return kDone;
}

Answer filterWidth(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("BW%04d;", s.filterWidth);
  const auto v = digits(p, 4);
  if (!v) return kRefused;
  s.filterWidth = static_cast<int>(*v);
  return kDone;
}

int sMeterOf(const RadioState& s) {
  return RadioModel::clampMeter(s.signal + (s.preamp != 0 ? 2 : 0) - (s.attenuator != 0 ? 4 : 0));
}

// The tuner run as it stands at `now`. This one computation decides both whether the run is still
// on and what the SWR meter shows, so no reading can show the run's end before the run has ended:
// the meter is rounded up on its way down and comes to 1:1 only as the run ends.
struct TunerView {
  bool running;
  int swr;
};

TunerView tunerAt(const RadioState& s, double now) {
  if (!s.tunerRunning) return {false, s.antennaSwr};
  const double elapsed = now - s.tunerStartedAt;
  if (elapsed >= RadioModel::kTunerRunSeconds) return {false, 0};
  const double left = 1.0 - elapsed / RadioModel::kTunerRunSeconds;
  return {true, static_cast<int>(std::ceil(s.swrAtTunerStart * left))};
}

Answer sMeter(RadioState& s, std::string_view p, double) {
  if (!p.empty() && p != "0") return kRefused;
  return format("SM0%04d;", sMeterOf(s));
}

// RM with a digit selects the meter; RM alone reads it. Only the SWR meter moves here.
Answer meter(RadioState& s, std::string_view p, double now) {
  if (p.empty()) return format("RM%d%04d;", s.meter, s.meter == 1 ? tunerAt(s, now).swr : 0);
  const auto v = digit(p, 1, 3);
  if (!v) return kRefused;
  s.meter = *v;
  return kDone;
}

// AC: receive through the tuner, transmit through the tuner, start (1) or stop (0) a tuning run.
Answer antennaTuner(RadioState& s, std::string_view p, double now) {
  const TunerView tuner = tunerAt(s, now);
  if (p.empty())
    return format("AC%d%d%d;", s.receiveTuner ? 1 : 0, s.transmitTuner ? 1 : 0,
                  tuner.running ? 1 : 0);
  if (p.size() != 3) return kRefused;
  const auto rx = digit(p.substr(0, 1), 0, 1);
  const auto tx = digit(p.substr(1, 1), 0, 1);
  const auto run = digit(p.substr(2, 1), 0, 1);
  if (!rx || !tx || !run) return kRefused;
  s.receiveTuner = *rx != 0;
  s.transmitTuner = *tx != 0;
  if (*run == 1 && !tuner.running) {
    s.tunerRunning = true;
    s.tunerStartedAt = now;
    s.swrAtTunerStart = tuner.swr;
  } else if (*run == 0 && tuner.running) {
    // Stopped half-way: the match found so far stays.
    s.antennaSwr = tuner.swr;
    s.tunerRunning = false;
  }
  return kDone;
}

// PS1 switches on; PS0 and PS9 switch off (standby).
Answer powerSwitch(RadioState& s, std::string_view p, double) {
  if (p.empty()) return format("PS%d;", s.powerOn ? 1 : 0);
  if (p == "1") {
    s.powerOn = true;
  } else if (p == "0" || p == "9") {
    s.powerOn = false;
    s.transmitting = false;
  } else {
    return kRefused;
  }
  return kDone;
}

// TX keys the transmitter: alone, or with how it is keyed (0 the microphone, 1 the data input, 2 a
// tune carrier). Keying again while on the air changes nothing; set-commands are not answered.
Answer transmit(RadioState& s, std::string_view p, double) {
  std::optional<int> form = -1;
  if (!p.empty()) form = digit(p, 0, 2);
  if (!form) return kRefused;
  s.transmitting = true;
  s.transmitForm = *form;
  return kDone;
}

// RX: back to receive.
Answer receive(RadioState& s, std::string_view p, double) {
  if (!p.empty()) return kRefused;
  s.transmitting = false;
  return kDone;
}

// SWTnn presses front-panel key nn; key 28 is the CW spot (sounds the side tone to zero-beat).
Answer panelKey(RadioState& s, std::string_view p, double) {
  if (p.size() != 3 || p[0] != 'T' || !digits(p.substr(1), 2)) return kRefused;
  if (p.substr(1) == "28") ++s.cwSpotPresses;
  return kDone;
}

// IF: the receiver's state in one answer of 38 characters, as the TS-2000 lays it out: frequency
// of the receive VFO, 5 blanks (step), RIT/XIT offset, RIT and XIT off, memory channel, receiving
// or transmitting, mode, receive VFO, no scan, split, no tone, tone number, no repeater shift.
Answer information(RadioState& s, std::string_view p, double) {
  if (!p.empty()) return kRefused;
  const int split = s.receiveVfo != s.transmitVfo ? 1 : 0;
  return format("IF%011lld     +000000000%d%d%d0%d0000;",
                s.vfoHz[static_cast<std::size_t>(s.receiveVfo)], s.transmitting ? 1 : 0, s.mode,
                s.receiveVfo, split);
}

// AI: this radio never reports by itself, so auto-information stays off and only AI0 is taken.
Answer autoReports(RadioState&, std::string_view p, double) {
  if (p.empty()) return std::string("AI0;");
  return p == "0" ? kDone : kRefused;
}

// SA: satellite mode, which this radio does not offer: read only, always off. The answer has the
// TS-2000's seven status digits and the eight-character satellite memory name.
Answer satelliteMode(RadioState&, std::string_view p, double) {
  if (!p.empty()) return kRefused;
  return std::string("SA0000000        ;");
}

Answer identify(RadioState&, std::string_view p, double) {
  if (!p.empty()) return kRefused;
  return std::string("ID019;");  // the TS-2000's identity
}

struct CommandRow {
  std::string_view name;
  Answer (*run)(RadioState&, std::string_view, double);
};

constexpr std::array<CommandRow, 25> kCommands{{
    {"FA", vfoA},           {"FB", vfoB},        {"FR", receiveVfo},    {"FT", transmitVfo},
    {"MD", mode},           {"PA", preamp},      {"RA", attenuator},    {"NB", blanker},
    {"NR", noiseReduction}, {"NT", notch},       {"PC", power},         {"AG", afGain},
    {"RG", rfGain},         {"BW", filterWidth}, {"SM", sMeter},        {"RM", meter},
    {"AC", antennaTuner},   {"PS", powerSwitch}, {"SW", panelKey},      {"ID", identify},
    {"IF", information},    {"AI", autoReports}, {"SA", satelliteMode}, {"TX", transmit},
    {"RX", receive},
}};

}  // namespace

bool RadioModel::frequencyInRange(long long hz) {
  // The TS-2000's receive ranges: HF and 6 m, 2 m, 70 cm.
  return (hz >= 30'000 && hz <= 60'000'000) || (hz >= 142'000'000 && hz <= 152'000'000) ||
         (hz >= 420'000'000 && hz <= 450'000'000);
}

void RadioModel::advance(double now) {
  if (now > now_) now_ = now;
  const TunerView tuner = tunerAt(state_, now_);
  if (state_.tunerRunning && !tuner.running) {
    state_.tunerRunning = false;
    state_.antennaSwr = tuner.swr;
  }
}

std::optional<std::string> RadioModel::handle(std::string_view command, double now) {
  advance(now);
  if (command.size() < 2) return kRefused;
  return dispatch(command.substr(0, 2), command.substr(2), now_);
}

std::optional<std::string> RadioModel::dispatch(std::string_view name, std::string_view params,
                                                double now) {
  if (!state_.powerOn && name != "PS") return std::nullopt;
  for (const CommandRow& row : kCommands)
    if (row.name == name) return row.run(state_, params, now);
  return kRefused;
}

void RadioModel::setPower(bool on) {
  state_.powerOn = on;
  if (!on) state_.transmitting = false;
}

bool RadioModel::setTransmit(bool on) {
  if (!state_.powerOn) return false;
  state_.transmitting = on;
  if (on) state_.transmitForm = -1;
  return true;
}

void RadioModel::setAntennaSwr(int swr) {
  state_.antennaSwr = clampMeter(swr);
  state_.tunerRunning = false;
}

int RadioModel::sMeterReading() const {
  return sMeterOf(state_);
}
int RadioModel::swrReading() const {
  return tunerAt(state_, now_).swr;
}

std::string RadioModel::frequencyAnswer(int vfo) const {
  return format("%s%011lld;", vfo == 0 ? "FA" : "FB",
                state_.vfoHz[static_cast<std::size_t>(vfo & 1)]);
}

}  // namespace radiosim

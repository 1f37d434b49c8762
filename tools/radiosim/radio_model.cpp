// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>

namespace radiosim {

// How the meters are read with RM.
enum class Meters {
  // RM1..RM3 choose the one meter that RM reads (the TS-2000).
  OneAtATime,
  // RM reads all three at once, SWR, compression and ALC, one answer each (TS-480, TS-590).
  AllThree,
  // RMnm switches meter n on (m 1) or off (m 0); RM reads every meter that is on, in order of
  // their numbers (TS-890, TS-990: 1 ALC, 2 SWR, 3 compression, 4 current, 5 voltage, 6 heat).
  Switched,
};

// How the attenuator is set.
enum class Attenuator {
  TwoDigits,         // RA00 off, RA01 on; read as RA0100
  OneDigit,          // RA0 off, RA1..RA3 the three steps; read as RA1 (TS-890)
  ReceiverAndLevel,  // RA + main (0) or sub (1) + step 0..3; read with RA0 (TS-990)
};

// Everything in which the models differ, as the radio shows it on its CAT port. The forms are those
// the panel's own table uses for the model (confirmed ones from Hamlib's Kenwood backends, the
// panel's old forms where nothing confirms another), so that a form the panel should not send to
// a model is refused here as the radio would.
struct ModelSpec {
  Model model;
  std::string_view option;
  std::string_view name;
  std::string_view identity;
  bool vhfUhf;  // 2 m and 70 cm besides HF and 6 m
  // The commands it takes, by their two letters; everything else is answered "?;".
  std::string_view commands;
  int sMeterFull;
  bool sMeterNumbered;  // read with "SM0" (main receiver); the TS-890 takes "SM" alone
  int swrFull;
  Meters meters;
  int swrMeter;
  int rfGainMax;
  bool gainsNumbered;  // AG0, and RG0 on the TS-990: main receiver's digit before the value
  bool rfGainNumbered;
  Attenuator attenuator;
  bool numberedBlankers;  // NB1x and NB2x: two blankers (TS-890)
  bool twoDigitPreamp;    // also takes PA00 and PA10
  int powerMax;
  bool powerOffNine;  // PS9 switches it off too
  std::span<const int> cwWidths;
  std::span<const int> fskWidths;
  int ssbFilters;  // FW0000 .. in SSB, AM and FM: the filters to choose from (0: FW is CW/FSK only)
  int ssbHighCuts;
  int amHighCuts;
  int lowCuts;
};

namespace {

using Answer = std::optional<std::string>;

// The DSP widths in CW and FSK, from Hamlib's backends.
constexpr std::array<int, 11> kTs2000CwWidths = {50,  80,  100, 150,  200, 300,
                                                 400, 500, 600, 1000, 2000};
constexpr std::array<int, 14> kTs590CwWidths = {50,  80,  100, 150,  200,  250,  300,
                                                400, 500, 600, 1000, 1500, 2000, 2500};
constexpr std::array<int, 4> kFskWidths = {250, 500, 1000, 1500};

constexpr std::string_view kCommon =
    "FA FB PA RA NB NR NT PC AG RG SM RM AC PS SW ID IF AI TX RX VX";

constexpr ModelSpec kTs2000 = {
    .model = Model::Ts2000,
    .option = "ts2000",
    .name = "TS-2000",
    .identity = "019",
    .vhfUhf = true,
    .commands = "MD FR FT SA FW SH SL",
    .sMeterFull = 30,
    .sMeterNumbered = true,
    .swrFull = 30,
    .meters = Meters::OneAtATime,
    .swrMeter = 1,
    .rfGainMax = 255,
    .gainsNumbered = true,
    .rfGainNumbered = false,
    .attenuator = Attenuator::TwoDigits,
    .numberedBlankers = false,
    .twoDigitPreamp = true,
    .powerMax = 100,
    .powerOffNine = true,
    .cwWidths = kTs2000CwWidths,
    .fskWidths = kFskWidths,
    .ssbFilters = 3,
    .ssbHighCuts = 12,
    .amHighCuts = 4,
    .lowCuts = 12,
};

// The models are told apart by how they differ from the one before them.
constexpr ModelSpec withIdentity(ModelSpec base, Model model, std::string_view option,
                                 std::string_view name, std::string_view identity) {
  base.model = model;
  base.option = option;
  base.name = name;
  base.identity = identity;
  return base;
}

constexpr ModelSpec ts480() {
  ModelSpec m = withIdentity(kTs2000, Model::Ts480, "ts480", "TS-480", "020");
  m.vhfUhf = false;
  m.commands = "MD FR FT FW SH SL";
  m.sMeterFull = m.swrFull = 20;
  m.meters = Meters::AllThree;
  m.rfGainMax = 100;
  m.twoDigitPreamp = false;
  m.powerOffNine = false;
  m.ssbHighCuts = 14;
  return m;
}

constexpr ModelSpec ts590(Model model, std::string_view option, std::string_view name,
                          std::string_view identity) {
  ModelSpec m = withIdentity(ts480(), model, option, name, identity);
  m.commands = "MD FR FT FW SH SL FV DA";
  m.sMeterFull = m.swrFull = 30;
  m.rfGainMax = 255;
  m.cwWidths = kTs590CwWidths;
  m.ssbFilters = 0;  // FW is the CW and FSK width only
  return m;
}

// Its own S-meter form, meters switched on one by one, the attenuator's steps in one digit, two
// blankers; and no DSP width that anything confirms, so the panel's BW.
constexpr ModelSpec ts890() {
  ModelSpec m = ts590(Model::Ts890s, "ts890s", "TS-890S", "024");
  m.commands = "MD FR FT TB BW";
  m.sMeterFull = m.swrFull = 70;
  m.sMeterNumbered = false;
  m.meters = Meters::Switched;
  m.swrMeter = 2;
  m.gainsNumbered = false;
  m.attenuator = Attenuator::OneDigit;
  m.numberedBlankers = true;
  m.twoDigitPreamp = true;  // the panel's PA00 at the start, which nothing confirms or refutes
  m.cwWidths = {};
  m.fskWidths = {};
  m.ssbHighCuts = m.amHighCuts = m.lowCuts = 0;
  return m;
}

constexpr ModelSpec ts990() {
  ModelSpec m = withIdentity(ts890(), Model::Ts990s, "ts990s", "TS-990S", "022");
  m.commands = "OM CB TB BW";
  m.sMeterNumbered = true;
  m.gainsNumbered = true;
  m.rfGainNumbered = true;
  m.attenuator = Attenuator::ReceiverAndLevel;
  m.numberedBlankers = false;
  m.twoDigitPreamp = false;
  m.powerMax = 200;
  return m;
}

constexpr std::array<ModelSpec, 6> kModels{{
    kTs2000,
    ts480(),
    ts590(Model::Ts590s, "ts590s", "TS-590S", "021"),
    ts590(Model::Ts590sg, "ts590sg", "TS-590SG", "023"),
    ts890(),
    ts990(),
}};

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
  std::array<char, 96> buffer{};
  std::snprintf(buffer.data(), buffer.size(), pattern, args...);
  return buffer.data();
}

int clampInt(int v, int low, int high) {
  return v < low ? low : (v > high ? high : v);
}

// A value on the TS-2000's 0..30 meter scale, stretched to a scale of `full`.
int stretched(int value, int full) {
  return static_cast<int>(std::lround(value * full / double{RadioModel::kTs2000MeterScale}));
}

// One command's view of the radio: its state, what model it is, and when the command came.
struct Radio {
  RadioState& s;
  const ModelSpec& m;
  double now;
};

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

bool inCw(const RadioState& s) {
  return s.mode == 3 || s.mode == 7;
}
bool inFsk(const RadioState& s) {
  return s.mode == 6 || s.mode == 9;
}

// ---- the commands, one function each: read with empty parameters, set otherwise

bool receivesOn(const ModelSpec& m, long long hz) {
  return m.vhfUhf ? RadioModel::frequencyInRange(hz) : hz >= 30'000 && hz <= 60'000'000;
}

Answer vfoFrequency(Radio r, std::string_view p, std::size_t vfo, const char* name) {
  if (p.empty()) return format("%s%011lld;", name, r.s.vfoHz[vfo]);
  const auto hz = digits(p, 11);
  if (!hz || !receivesOn(r.m, *hz)) return kRefused;
  r.s.vfoHz[vfo] = *hz;
  return kDone;
}

Answer vfoA(Radio r, std::string_view p) {
  return vfoFrequency(r, p, 0, "FA");
}
Answer vfoB(Radio r, std::string_view p) {
  return vfoFrequency(r, p, 1, "FB");
}

// Choosing the receive VFO also moves the transmitter there, which ends split; FT then moves the
// transmitter alone. The TS-990 chooses its main (0) or sub (1) receiver with CB, the same way.
Answer receiveVfo(Radio r, std::string_view p, const char* readAnswer) {
  if (p.empty()) return format(readAnswer, r.s.receiveVfo);
  const auto v = digit(p, 0, 1);
  if (!v) return kRefused;
  r.s.receiveVfo = r.s.transmitVfo = *v;
  return kDone;
}
Answer receiveVfoFr(Radio r, std::string_view p) {
  return receiveVfo(r, p, "FR%d;");
}
Answer receiveBand(Radio r, std::string_view p) {
  return receiveVfo(r, p, "CB%d;");
}

Answer transmitVfo(Radio r, std::string_view p) {
  return oneDigitSetting(r.s.transmitVfo, "FT%d;", p, 0, 1);
}

// TB: split, transmitting on the other VFO (or the sub receiver's frequency) than the one received.
Answer transmitOnOther(Radio r, std::string_view p) {
  if (p.empty()) return format("TB%d;", r.s.receiveVfo != r.s.transmitVfo ? 1 : 0);
  const auto v = digit(p, 0, 1);
  if (!v) return kRefused;
  r.s.transmitVfo = *v == 1 ? 1 - r.s.receiveVfo : r.s.receiveVfo;
  return kDone;
}

bool modeDigit(int v) {
  return v >= 1 && v <= 9 && v != 8;
}

Answer mode(Radio r, std::string_view p) {
  if (p.empty()) return format("MD%d;", r.s.mode);
  const auto v = digit(p, 1, 9);
  if (!v || !modeDigit(*v)) return kRefused;
  r.s.mode = *v;
  return kDone;
}

// OM: the TS-990's mode, with the receiver first (0 main, 1 sub): OM01 is LSB on the main receiver.
Answer operatingMode(Radio r, std::string_view p) {
  if (p == "0" || p == "1") return format("OM%c%d;", p[0], r.s.mode);
  if (p.size() != 2 || (p[0] != '0' && p[0] != '1')) return kRefused;
  const auto v = digit(p.substr(1), 1, 9);
  if (!v || !modeDigit(*v)) return kRefused;
  r.s.mode = *v;
  return kDone;
}

Answer dataMode(Radio r, std::string_view p) {
  return oneDigitSetting(r.s.dataMode, "DA%d;", p, 0, 1);
}

// PA takes one digit; the TS-2000 also takes a second one, which is reserved.
Answer preamp(Radio r, std::string_view p) {
  if (p.empty())
    return r.m.model == Model::Ts890s ? format("PA%d;", r.s.preamp) : format("PA%d0;", r.s.preamp);
  if (p.size() == 2 && (!r.m.twoDigitPreamp || p[1] != '0')) return kRefused;
  const auto v = digit(p.substr(0, 1), 0, 1);
  if (!v || p.size() > 2) return kRefused;
  r.s.preamp = *v;
  return kDone;
}

Answer attenuator(Radio r, std::string_view p) {
  switch (r.m.attenuator) {
    case Attenuator::TwoDigits: {
      if (p.empty()) return format("RA%02d00;", r.s.attenuator);
      const auto v = digits(p, 2);
      if (!v || *v > 1) return kRefused;
      r.s.attenuator = static_cast<int>(*v);
      return kDone;
    }
    case Attenuator::OneDigit:
      return oneDigitSetting(r.s.attenuator, "RA%d;", p, 0, 3);
    case Attenuator::ReceiverAndLevel: {
      // Only the main receiver is simulated; the sub receiver's setting is taken and forgotten.
      if (p == "0" || p == "1") return format("RA%c%d;", p[0], p == "0" ? r.s.attenuator : 0);
      if (p.size() != 2 || (p[0] != '0' && p[0] != '1')) return kRefused;
      const auto v = digit(p.substr(1), 0, 3);
      if (!v) return kRefused;
      if (p[0] == '0') r.s.attenuator = *v;
      return kDone;
    }
  }
  return kRefused;
}

// NB: one blanker, NB0 to NB2; the TS-890 has two, NB1x and NB2x, and NB1 alone reads the first.
Answer blanker(Radio r, std::string_view p) {
  if (!r.m.numberedBlankers) return oneDigitSetting(r.s.blanker, "NB%d;", p, 0, 2);
  if (p.empty() || (p[0] != '1' && p[0] != '2')) return kRefused;
  int& which = p[0] == '1' ? r.s.blanker : r.s.secondBlanker;
  if (p.size() == 1) return format("NB%c%d;", p[0], which);
  const auto v = digit(p.substr(1), 0, 1);
  if (!v || p.size() != 2) return kRefused;
  which = *v;
  return kDone;
}

Answer noiseReduction(Radio r, std::string_view p) {
  return oneDigitSetting(r.s.noiseReduction, "NR%d;", p, 0, 2);
}

// NT: on/off (0 off, 1 auto, 2 manual) and, optionally, the notch width.
Answer notch(Radio r, std::string_view p) {
  if (p.empty()) return format("NT%d%d;", r.s.notch, r.s.notchWidth);
  if (p.size() > 2) return kRefused;
  const auto on = digit(p.substr(0, 1), 0, 2);
  const auto width = p.size() == 2 ? digit(p.substr(1), 0, 1) : std::optional<int>(0);
  if (!on || !width) return kRefused;
  r.s.notch = *on;
  r.s.notchWidth = *width;
  return kDone;
}

// A power outside the radio's range is held at the nearest limit rather than refused, so a panel
// set up without a power line still drives the rig.
Answer power(Radio r, std::string_view p) {
  if (p.empty()) return format("PC%03d;", r.s.powerWatts);
  const auto v = digits(p, 3);
  if (!v) return kRefused;
  r.s.powerWatts = clampInt(static_cast<int>(*v), 5, r.m.powerMax);
  return kDone;
}

// A gain of three digits, 0..max; with `numbered`, the main receiver's 0 (or the sub receiver's 1)
// comes first, and a read names the receiver.
Answer gain(int& setting, const char* name, bool numbered, int max, std::string_view p) {
  if (numbered) {
    if (p == "0" || p == "1") return format("%s%c%03d;", name, p[0], setting);
    if (p.size() != 4 || (p[0] != '0' && p[0] != '1')) return kRefused;
    const auto v = digits(p.substr(1), 3);
    if (!v || *v > max) return kRefused;
    if (p[0] == '0') setting = static_cast<int>(*v);
    return kDone;
  }
  if (p.empty()) return format("%s%03d;", name, setting);
  const auto v = digits(p, 3);
  if (!v || *v > max) return kRefused;
  setting = static_cast<int>(*v);
  return kDone;
}

Answer afGain(Radio r, std::string_view p) {
  // Only the TS-990 takes its sub receiver's digit here; the TS-2000's sub receiver is not
  // simulated.
  if (r.m.model != Model::Ts990s && !p.empty() && p[0] == '1') return kRefused;
  return gain(r.s.afGain, "AG", r.m.gainsNumbered, 255, p);
}

Answer rfGain(Radio r, std::string_view p) {
  return gain(r.s.rfGain, "RG", r.m.rfGainNumbered, r.m.rfGainMax, p);
}

Answer filterWidth(Radio r, std::string_view p) {
  if (p.empty()) return format("BW%04d;", r.s.filterWidth);
  const auto v = digits(p, 4);
  if (!v) return kRefused;
  r.s.filterWidth = static_cast<int>(*v);
  return kDone;
}

// FW: in CW and FSK the DSP's width in hertz, one of the model's widths; in the other modes the
// number of the filter, where the model has filters to choose from.
Answer dspWidth(Radio r, std::string_view p) {
  if (p.empty()) return format("FW%04d;", r.s.dspWidth);
  const auto v = digits(p, 4);
  if (!v) return kRefused;
  const int width = static_cast<int>(*v);
  bool taken = false;
  if (inCw(r.s)) {
    taken = std::ranges::find(r.m.cwWidths, width) != r.m.cwWidths.end();
  } else if (inFsk(r.s)) {
    taken = std::ranges::find(r.m.fskWidths, width) != r.m.fskWidths.end();
  } else {
    taken = width < r.m.ssbFilters;
  }
  if (!taken) return kRefused;
  r.s.dspWidth = width;
  return kDone;
}

// SH and SL: the high and low cut of the DSP filter, as an index into the model's table for the
// mode. Not in CW and FSK, where the width is FW's.
Answer slope(Radio r, std::string_view p, int& setting, const char* readAnswer, bool high) {
  if (p.empty()) return format(readAnswer, setting);
  const auto v = digits(p, 2);
  const int count = !high ? r.m.lowCuts : (r.s.mode == 5 ? r.m.amHighCuts : r.m.ssbHighCuts);
  if (!v || *v >= count || inCw(r.s) || inFsk(r.s)) return kRefused;
  setting = static_cast<int>(*v);
  return kDone;
}
Answer highCut(Radio r, std::string_view p) {
  return slope(r, p, r.s.highCut, "SH%02d;", true);
}
Answer lowCut(Radio r, std::string_view p) {
  return slope(r, p, r.s.lowCut, "SL%02d;", false);
}

int sMeterOf(const RadioState& s, const ModelSpec& m) {
  const int lift = s.preamp != 0 ? stretched(2, m.sMeterFull) : 0;
  const int cut = s.attenuator != 0 ? stretched(4, m.sMeterFull) : 0;
  return clampInt(s.signal + lift - cut, 0, m.sMeterFull);
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

Answer sMeter(Radio r, std::string_view p) {
  if (!r.m.sMeterNumbered) {
    if (!p.empty()) return kRefused;
    return format("SM%04d;", sMeterOf(r.s, r.m));
  }
  if (p != "0") return kRefused;
  return format("SM0%04d;", sMeterOf(r.s, r.m));
}

// RM: which meters are shown, and their readings. Only the SWR meter moves here.
Answer meter(Radio r, std::string_view p) {
  const auto reading = [&](int n) { return n == r.m.swrMeter ? tunerAt(r.s, r.now).swr : 0; };
  if (r.m.meters == Meters::Switched) {
    if (p.empty()) {
      std::string answer;
      for (int n = 1; n <= 6; ++n)
        if ((r.s.metersOn & (1U << n)) != 0) answer += format("RM%d%04d;", n, reading(n));
      return answer.empty() ? kRefused : answer;
    }
    const auto n = p.size() == 2 ? digit(p.substr(0, 1), 1, 6) : std::nullopt;
    const auto on = p.size() == 2 ? digit(p.substr(1), 0, 1) : std::nullopt;
    if (!n || !on) return kRefused;
    const unsigned bit = 1U << *n;
    r.s.metersOn = *on == 1 ? (r.s.metersOn | bit) : (r.s.metersOn & ~bit);
    return kDone;
  }
  if (p.empty()) {
    if (r.m.meters == Meters::AllThree)
      return format("RM1%04d;RM2%04d;RM3%04d;", reading(1), reading(2), reading(3));
    return format("RM%d%04d;", r.s.meter, reading(r.s.meter));
  }
  return oneDigitSetting(r.s.meter, "RM%d;", p, 1, 3);
}

// AC: receive through the tuner, transmit through the tuner, start (1) or stop (0) a tuning run.
Answer antennaTuner(Radio r, std::string_view p) {
  RadioState& s = r.s;
  const TunerView tuner = tunerAt(s, r.now);
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
    s.tunerStartedAt = r.now;
    s.swrAtTunerStart = tuner.swr;
  } else if (*run == 0 && tuner.running) {
    // Stopped half-way: the match found so far stays.
    s.antennaSwr = tuner.swr;
    s.tunerRunning = false;
  }
  return kDone;
}

// PS1 switches on, PS0 off (standby); the TS-2000 also takes PS9 for off.
Answer powerSwitch(Radio r, std::string_view p) {
  if (p.empty()) return format("PS%d;", r.s.powerOn ? 1 : 0);
  if (p == "1") {
    r.s.powerOn = true;
  } else if (p == "0" || (p == "9" && r.m.powerOffNine)) {
    r.s.powerOn = false;
    r.s.transmitting = false;
  } else {
    return kRefused;
  }
  return kDone;
}

// TX keys the transmitter: alone, or with how it is keyed (0 the microphone, 1 the data input, 2 a
// tune carrier). Keying again while on the air changes nothing; set-commands are not answered.
Answer transmit(Radio r, std::string_view p) {
  std::optional<int> form = -1;
  if (!p.empty()) form = digit(p, 0, 2);
  if (!form) return kRefused;
  r.s.transmitting = true;
  r.s.transmitForm = *form;
  return kDone;
}

// RX: back to receive.
Answer receive(Radio r, std::string_view p) {
  if (!p.empty()) return kRefused;
  r.s.transmitting = false;
  return kDone;
}

Answer voxSwitch(Radio r, std::string_view p) {
  if (p.empty()) return format("VX%d;", r.s.vox ? 1 : 0);
  const auto v = digit(p, 0, 1);
  if (!v) return kRefused;
  r.s.vox = *v == 1;
  return kDone;
}

// SWTnn presses front-panel key nn; key 28 is the CW spot (sounds the side tone to zero-beat).
Answer panelKey(Radio r, std::string_view p) {
  if (p.size() != 3 || p[0] != 'T' || !digits(p.substr(1), 2)) return kRefused;
  if (p.substr(1) == "28") ++r.s.cwSpotPresses;
  return kDone;
}

// IF: the receiver's state in one answer of 38 characters, as the TS-2000 lays it out: frequency
// of the receive VFO, 5 blanks (step), RIT/XIT offset, RIT and XIT off, memory channel, receiving
// or transmitting, mode, receive VFO, no scan, split, no tone, tone number, no repeater shift.
Answer information(Radio r, std::string_view p) {
  const RadioState& s = r.s;
  if (!p.empty()) return kRefused;
  const int split = s.receiveVfo != s.transmitVfo ? 1 : 0;
  return format("IF%011lld     +000000000%d%d%d0%d0000;",
                s.vfoHz[static_cast<std::size_t>(s.receiveVfo)], s.transmitting ? 1 : 0, s.mode,
                s.receiveVfo, split);
}

// AI: this radio never reports by itself, so auto-information stays off and only AI0 is taken.
Answer autoReports(Radio, std::string_view p) {
  if (p.empty()) return std::string("AI0;");
  return p == "0" ? kDone : kRefused;
}

// SA: satellite mode, which this radio does not offer: read only, always off. The answer has the
// TS-2000's seven status digits and the eight-character satellite memory name.
Answer satelliteMode(Radio, std::string_view p) {
  if (!p.empty()) return kRefused;
  return std::string("SA0000000        ;");
}

// FV: the firmware's version, which CAT clients of the TS-590 ask for at open.
Answer firmware(Radio, std::string_view p) {
  if (!p.empty()) return kRefused;
  return std::string("FV1.10;");
}

Answer identify(Radio r, std::string_view p) {
  if (!p.empty()) return kRefused;
  return "ID" + std::string(r.m.identity) + ";";
}

struct CommandRow {
  std::string_view name;
  Answer (*run)(Radio, std::string_view);
};

constexpr std::array<CommandRow, 34> kCommands{{
    {"FA", vfoA},           {"FB", vfoB},          {"FR", receiveVfoFr},
    {"CB", receiveBand},    {"FT", transmitVfo},   {"TB", transmitOnOther},
    {"MD", mode},           {"OM", operatingMode}, {"DA", dataMode},
    {"PA", preamp},         {"RA", attenuator},    {"NB", blanker},
    {"NR", noiseReduction}, {"NT", notch},         {"PC", power},
    {"AG", afGain},         {"RG", rfGain},        {"BW", filterWidth},
    {"FW", dspWidth},       {"SH", highCut},       {"SL", lowCut},
    {"SM", sMeter},         {"RM", meter},         {"AC", antennaTuner},
    {"PS", powerSwitch},    {"SW", panelKey},      {"ID", identify},
    {"IF", information},    {"AI", autoReports},   {"SA", satelliteMode},
    {"FV", firmware},       {"TX", transmit},      {"RX", receive},
    {"VX", voxSwitch},
}};

// Whether the two letters are one of the words of a blank-separated list.
bool listed(std::string_view list, std::string_view name) {
  for (std::size_t at = 0; at + 2 <= list.size(); at += 3)
    if (list.substr(at, 2) == name) return true;
  return false;
}

const ModelSpec& specOf(Model model) {
  for (const ModelSpec& m : kModels)
    if (m.model == model) return m;
  return kModels[0];
}

}  // namespace

std::optional<Model> modelNamed(std::string_view name) {
  for (const ModelSpec& m : kModels)
    if (m.option == name) return m.model;
  return std::nullopt;
}

std::string modelNames() {
  std::string names;
  for (const ModelSpec& m : kModels) names += (names.empty() ? "" : "|") + std::string(m.option);
  return names;
}

RadioModel::RadioModel(Model model) : spec_(specOf(model)) {
  state_.signal = stretched(state_.signal, spec_.sMeterFull);
}

bool RadioModel::frequencyInRange(long long hz) {
  // The TS-2000's receive ranges: HF and 6 m, 2 m, 70 cm. The others stop at 6 m.
  return (hz >= 30'000 && hz <= 60'000'000) || (hz >= 142'000'000 && hz <= 152'000'000) ||
         (hz >= 420'000'000 && hz <= 450'000'000);
}

bool RadioModel::receives(long long hz) const {
  return receivesOn(spec_, hz);
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
  if (!listed(kCommon, name) && !listed(spec_.commands, name)) return kRefused;
  for (const CommandRow& row : kCommands)
    if (row.name == name) return row.run(Radio{state_, spec_, now}, params);
  return kRefused;
}

void RadioModel::setSignal(int s) {
  state_.signal = clampInt(s, 0, spec_.sMeterFull);
}

void RadioModel::setAntennaSwr(int swr) {
  state_.antennaSwr = clampInt(swr, 0, spec_.swrFull);
  state_.tunerRunning = false;
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

int RadioModel::sMeterReading() const {
  return sMeterOf(state_, spec_);
}
int RadioModel::swrReading() const {
  return tunerAt(state_, now_).swr;
}

std::string RadioModel::frequencyAnswer(int vfo) const {
  return format("%s%011lld;", vfo == 0 ? "FA" : "FB",
                state_.vfoHz[static_cast<std::size_t>(vfo & 1)]);
}

Model RadioModel::model() const {
  return spec_.model;
}
std::string_view RadioModel::name() const {
  return spec_.name;
}
int RadioModel::sMeterFullScale() const {
  return spec_.sMeterFull;
}
int RadioModel::swrFullScale() const {
  return spec_.swrFull;
}

}  // namespace radiosim

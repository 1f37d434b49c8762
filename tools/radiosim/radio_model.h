// SPDX-License-Identifier: GPL-3.0-or-later
// The transceiver behind radiosim: a Kenwood TS-series rig as its CAT interface shows it, one of
// the models the panel meets (the TS-2000 unless told otherwise). It takes one command at a time
// (the text before ";"), changes its state the way the radio would, and gives the answer the radio
// would send, if any. Each model takes its own command forms and answers "?;" to the others, and
// has its own meter scales (the model table in radio_model.cpp). No I/O and no clock of its own:
// times are passed in, so a tuner run ends when the simulation says time has passed.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace radiosim {

// The models radiosim plays.
enum class Model { Ts2000, Ts480, Ts590s, Ts590sg, Ts890s, Ts990s };

// The model of a --model name ("ts2000", "ts590sg"), or nothing.
std::optional<Model> modelNamed(std::string_view name);
// Every --model name, separated by "|".
std::string modelNames();

struct RadioState {
  std::array<long long, 2> vfoHz{14'200'000, 14'200'000};  // VFO A (main), VFO B (sub)
  int receiveVfo = 0;                                      // 0 A, 1 B (FR; CB on the TS-990)
  int transmitVfo = 0;  // 0 A, 1 B (FT; TB switches it); split when they differ
  int mode = 2;         // Kenwood MD code: 1 LSB, 2 USB, 3 CW ...
  int dataMode = 0;     // DA: the data sub-mode of the TS-590
  int preamp = 0;
  int attenuator = 0;  // 0 off, else the step (only the TS-890 and TS-990 have more than one)
  int blanker = 0;
  int secondBlanker = 0;  // the TS-890's noise blanker 2
  int noiseReduction = 0;
  int notch = 0;
  int notchWidth = 0;
  int powerWatts = 100;
  int afGain = 100;
  int rfGain = 255;
  int filterWidth = 240;        // BW, tens of hertz
  int dspWidth = 0;             // FW: hertz in CW and FSK, the filter's number in the other modes
  int highCut = 5;              // SH: index into the model's table for the mode
  int lowCut = 0;               // SL
  int meter = 1;                // the meter RM shows on a radio with one meter at a time
  unsigned metersOn = 1U << 1;  // radios that answer every meter switched on: a bit per meter
  int signal = 10;              // what the antenna brings in, on the model's S-meter scale
  int antennaSwr = 0;           // SWR on the model's SWR scale, 0 meaning 1:1
  bool receiveTuner = false;
  bool transmitTuner = false;
  bool tunerRunning = false;
  double tunerStartedAt = 0;
  int swrAtTunerStart = 0;
  bool powerOn = true;
  bool vox = false;
  // Keyed by TX (or the operator's PTT), back to receive by RX. The TX form that keyed it: its
  // digit (0 microphone, 1 data, 2 tune), or -1 for a plain "TX" and the PTT.
  bool transmitting = false;
  int transmitForm = -1;
  int cwSpotPresses = 0;
};

struct ModelSpec;

class RadioModel {
 public:
  // How long an antenna-tuner run takes; the SWR falls to 1:1 over this time.
  static constexpr double kTunerRunSeconds = 2.0;
  // The scale the band drift and the control's meters of the TS-2000 use, which the other models'
  // scales are stretched from.
  static constexpr int kTs2000MeterScale = 30;

  explicit RadioModel(Model model = Model::Ts2000);

  // Applies one command (without its ";"), received completely at time now (seconds). Returns the
  // radio's answer with its ";", or nothing for a command that only sets. A command the radio does
  // not know, or whose parameters it refuses, is answered "?;" and changes nothing. While switched
  // off the radio hears only the power command.
  std::optional<std::string> handle(std::string_view command, double now);

  // Brings time-dependent state (the tuner run) up to now.
  void advance(double now);

  // The operator at the front panel.
  void tuneReceiveVfo(long long hz) {
    state_.vfoHz[static_cast<std::size_t>(state_.receiveVfo)] = hz;
  }
  void tuneVfo(int vfo, long long hz) { state_.vfoHz[static_cast<std::size_t>(vfo & 1)] = hz; }
  // The signal on the model's own S-meter scale, held within it.
  void setSignal(int s);
  // The antenna's SWR on the model's own SWR scale, held within it.
  void setAntennaSwr(int swr);
  // Switched off, the radio also stops transmitting.
  void setPower(bool on);
  // The operator's PTT. A radio that is switched off does not key: false.
  bool setTransmit(bool on);

  // The S-meter as the radio shows it: the signal, lifted by the preamplifier, pushed down by the
  // attenuator.
  int sMeterReading() const;
  // The SWR meter: the antenna's SWR, or during a tuner run the value on its way down.
  int swrReading() const;
  // The frequency answer the panel would poll in split or not: FB while transmitting on VFO B.
  std::string frequencyAnswer(int vfo) const;
  bool split() const { return state_.receiveVfo != state_.transmitVfo; }
  const RadioState& state() const { return state_; }

  Model model() const;
  // "TS-2000", "TS-590SG".
  std::string_view name() const;
  int sMeterFullScale() const;
  int swrFullScale() const;
  // Whether this model receives on hz.
  bool receives(long long hz) const;
  // Whether any model receives on hz (the TS-2000's ranges hold everyone's).
  static bool frequencyInRange(long long hz);

 private:
  std::optional<std::string> dispatch(std::string_view name, std::string_view params, double now);

  const ModelSpec& spec_;
  RadioState state_;
  double now_ = 0;
};

}  // namespace radiosim

// SPDX-License-Identifier: GPL-3.0-or-later
// The transceiver behind radiosim: a Kenwood TS-2000-like HF/VHF/UHF rig as its CAT interface
// shows it. It takes one command at a time (the text before ";"), changes its state the way the
// radio would, and gives the answer the radio would send, if any. No I/O and no clock of its own:
// times are passed in, so a tuner run ends when the simulation says time has passed.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace radiosim {

struct RadioState {
  std::array<long long, 2> vfoHz{14'200'000, 14'200'000};  // VFO A, VFO B
  int receiveVfo = 0;                                      // 0 A, 1 B (FR)
  int transmitVfo = 0;                                     // 0 A, 1 B (FT); split when they differ
  int mode = 2;  // Kenwood MD code: 1 LSB, 2 USB, 3 CW ...
  int preamp = 0;
  int attenuator = 0;
  int blanker = 0;
  int noiseReduction = 0;
  int notch = 0;
  int notchWidth = 0;
  int powerWatts = 100;
  int afGain = 100;
  int rfGain = 255;
  int filterWidth = 240;
  int meter = 1;       // RM selection: 1 SWR, 2 compression, 3 ALC
  int signal = 10;     // what the antenna brings in on the S-meter scale, 0..30
  int antennaSwr = 0;  // SWR on the meter's 0..30 scale, 0 meaning 1:1
  bool receiveTuner = false;
  bool transmitTuner = false;
  bool tunerRunning = false;
  double tunerStartedAt = 0;
  int swrAtTunerStart = 0;
  bool powerOn = true;
  // Keyed by TX (or the operator's PTT), back to receive by RX. The TX form that keyed it: its
  // digit (0 microphone, 1 data, 2 tune), or -1 for a plain "TX" and the PTT.
  bool transmitting = false;
  int transmitForm = -1;
  int cwSpotPresses = 0;
};

class RadioModel {
 public:
  // How long an antenna-tuner run takes; the SWR falls to 1:1 over this time.
  static constexpr double kTunerRunSeconds = 2.0;
  static constexpr int kMeterFullScale = 30;

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
  void setSignal(int s) { state_.signal = clampMeter(s); }
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

  static bool frequencyInRange(long long hz);
  static int clampMeter(int v) { return v < 0 ? 0 : (v > kMeterFullScale ? kMeterFullScale : v); }

 private:
  std::optional<std::string> dispatch(std::string_view name, std::string_view params, double now);

  RadioState state_;
  double now_ = 0;
};

}  // namespace radiosim

// SPDX-License-Identifier: GPL-3.0-or-later
// radiosim's machinery: the pseudo-terminal that stands in for the radio's serial port, the link
// the panel opens, the line timing, the control channel and the event log around a RadioModel.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "band_drift.h"
#include "platform/posix/unique_fd.h"
#include "radio_model.h"

namespace radiosim {

struct Options {
  std::string directory = ".";  // where the link comN is made
  int port = 3;
  int baud = 9600;          // the radio's own line speed
  std::string logPath;      // "" no log, "-" standard output
  std::string controlPath;  // "" no control FIFO
  int turnaroundMs = 10;    // the radio's thinking time before it answers
  long long startHz = 14'200'000;
  bool startSwitchedOff = false;
  // Log times on the system's monotonic clock (CLOCK_MONOTONIC, seconds) instead of seconds since
  // start, so that they can be set against other programs' timestamps of the same clock.
  bool logMonotonic = false;
  bool drift = false;  // the S-meter wanders like a band with signals (BandDrift)
  Model model = Model::Ts2000;
};

// One line per event: "<seconds since start, 6 decimals> <text>". The text is the command as
// received without its ";" (bytes outside printable ASCII as \xNN, a backslash as \\), "@" and the
// line for a control command, "#" and a note for anything else.
class EventLog {
 public:
  bool open(const std::string& path);
  // Every later line is stamped with its seconds plus this offset.
  void setClockOffset(double seconds) { offset_ = seconds; }
  void write(double seconds, std::string_view text);

 private:
  orvane::UniqueFd fd_;
  bool toStdout_ = false;
  double offset_ = 0;
};

class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Makes the pseudo-terminal, the control FIFO and the link, in that order, so that the link
  // appears only when everything is ready. An error text when something could not be made.
  std::optional<std::string> start();
  // Runs until a signal arrives on signalFd (a signalfd) or the control channel says "quit".
  void run(int signalFd);

  const std::string& slavePath() const { return slavePath_; }
  std::string linkPath() const;

 private:
  struct Chunk {
    double due;
    std::string bytes;
  };

  double now() const;
  double charSeconds() const;
  bool lineFormatMatches(std::string& why) const;

  void receive(std::string_view bytes, double at);
  void takeCommand(const std::string& command, double arrived);
  void sendAnswer(const std::string& answer, double arrived);
  void sendRaw(const std::string& bytes, double at);
  void flushDue(double at);

  void readControl();
  void control(const std::string& line);
  // The transmit state as a log note: "#transmit off", "#transmit on", "#transmit on TX1".
  std::string transmitNote() const;
  // Logs the transmit state when it is not what it was.
  void noteTransmitChange(bool wasTransmitting, double at);

  void housekeeping(double at);
  bool lockHeldOnSlave() const;

  // The adapter pulled out: the pty is closed on both sides, so the panel's end hangs up, and the
  // link is removed. Plugged in again it is a new pty behind the same link; the radio itself keeps
  // its state throughout.
  void unplug();
  std::optional<std::string> plugIn();

  std::optional<std::string> openLine();
  std::optional<std::string> makeLink();
  void removeLink();
  std::optional<std::string> makeControlFifo();

  Options options_;
  RadioModel radio_;
  EventLog log_;
  std::chrono::steady_clock::time_point started_;
  orvane::UniqueFd master_;
  orvane::UniqueFd slave_;  // our own hold on the line, so it survives the panel's close
  orvane::UniqueFd controlFd_;
  std::string slavePath_;
  bool linkMade_ = false;
  bool fifoMade_ = false;

  std::string pendingCommand_;
  std::string pendingControl_;
  std::deque<Chunk> output_;
  double receiveClock_ = 0;   // when the last received byte has fully come in
  double transmitClock_ = 0;  // when the last queued byte will have gone out
  double lastTraffic_ = 0;
  std::string lastFormatComplaint_;

  bool plugged_ = true;
  bool silent_ = false;
  // Answers put in place of the radio's own, by the command they answer ("FA", "SM0").
  std::map<std::string, std::string> answerOverrides_;
  double slowSeconds_ = 0;
  std::optional<double> splitPause_;
  bool quit_ = false;
  // The S-meter drift, stepped by the housekeeping, which comes every BandDrift::kStepSeconds.
  BandDrift drift_;
  bool drifting_ = false;
  std::mt19937 noise_{1963};
};

}  // namespace radiosim

// SPDX-License-Identifier: GPL-3.0-or-later
// radiosim: a simulated Kenwood TS-series transceiver on a pseudo-terminal, for the demo and the
// end-to-end tests. See README.md beside this file for the command line, the control commands and
// the log format.
#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/posix/unique_fd.h"
#include "simulator.h"

namespace {

constexpr const char* kUsage =
    "usage: radiosim [--dir DIR] [--port N] [--baud RATE] [--log FILE|-] [--control FIFO]\n"
    "                [--turnaround MS] [--freq HZ] [--off] [--drift]\n"
    "                [--log-clock start|monotonic] [--model MODEL]\n"
    "Links DIR/comN (default ./com3) to a pseudo-terminal on which a simulated Kenwood\n"
    "transceiver answers CAT commands at RATE baud (default 9600). --drift lets its S-meter\n"
    "wander like a band with signals. MODEL is the radio it plays (default ts2000):\n";

std::optional<long long> number(const char* text) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0') return std::nullopt;
  return v;
}

// The options, or nothing after a usage message.
std::optional<radiosim::Options> parseArguments(int argc, char** argv) {
  radiosim::Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--off") {
      o.startSwitchedOff = true;
      continue;
    }
    if (arg == "--drift") {
      o.drift = true;
      continue;
    }
    if (arg == "--help" || i + 1 >= argc) return std::nullopt;
    const char* value = argv[++i];
    const auto n = number(value);
    if (arg == "--dir") {
      o.directory = value;
    } else if (arg == "--log") {
      o.logPath = value;
    } else if (arg == "--log-clock" &&
               (std::strcmp(value, "start") == 0 || std::strcmp(value, "monotonic") == 0)) {
      o.logMonotonic = std::strcmp(value, "monotonic") == 0;
    } else if (arg == "--control") {
      o.controlPath = value;
    } else if (arg == "--port" && n && *n >= 1 && *n <= 256) {
      o.port = static_cast<int>(*n);
    } else if (arg == "--baud" && n && *n > 0 && *n <= 4'000'000) {
      o.baud = static_cast<int>(*n);
    } else if (arg == "--turnaround" && n && *n >= 0 && *n <= 10'000) {
      o.turnaroundMs = static_cast<int>(*n);
    } else if (arg == "--freq" && n && radiosim::RadioModel::frequencyInRange(*n)) {
      o.startHz = *n;
    } else if (arg == "--model" && radiosim::modelNamed(value)) {
      o.model = *radiosim::modelNamed(value);
    } else {
      return std::nullopt;
    }
  }
  // A start frequency the chosen model cannot receive is as wrong as one no model receives.
  if (!radiosim::RadioModel(o.model).receives(o.startHz)) return std::nullopt;
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = parseArguments(argc, argv);
  if (!options) {
    std::fprintf(stderr, "%s  %s\n", kUsage, radiosim::modelNames().c_str());
    return 2;
  }
  // Signals arrive as events of the loop, so a stop always runs the clean-up.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const orvane::UniqueFd signals(signalfd(-1, &stopSignals, SFD_CLOEXEC));
  if (!signals) {
    std::perror("radiosim: signalfd");
    return 1;
  }

  radiosim::Simulator simulator(*options);
  if (const auto error = simulator.start()) {
    std::fprintf(stderr, "radiosim: %s\n", error->c_str());
    return 1;
  }
  std::fprintf(stderr, "radiosim: %s linked as %s\n", simulator.slavePath().c_str(),
               simulator.linkPath().c_str());
  simulator.run(signals.get());
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// catprobe: asks a radio (or radiosim) over a serial port the way the panel does, and prints the
// answers and how long they took. For checking a cable and a line speed, and for measuring
// radiosim's timing.
//
//   catprobe [--dir DIR] [--port N] [--baud RATE] [--count N] [COMMAND;...]
//
// Opens port N exactly as the panel does (the comN link in DIR, else /dev/ttyS<N-1>; RATE 8N2,
// reads that never wait), sends each COMMAND (default "FA;") count times, waiting up to a second
// for each answer, and prints per command the first answer and the round trip: fewest, mean and
// most milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "platform/posix/posix_platform.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Probe {
  std::string directory = ".";
  int port = 3;
  int baud = 9600;
  int count = 20;
  std::vector<std::string> commands;
};

bool parse(int argc, char** argv, Probe& p) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--dir" && hasValue) {
      p.directory = argv[++i];
    } else if (arg == "--port" && hasValue) {
      p.port = std::atoi(argv[++i]);
    } else if (arg == "--baud" && hasValue) {
      p.baud = std::atoi(argv[++i]);
    } else if (arg == "--count" && hasValue) {
      p.count = std::max(1, std::atoi(argv[++i]));
    } else if (!arg.empty() && arg[0] != '-') {
      p.commands.push_back(arg.back() == ';' ? arg : arg + ";");
    } else {
      return false;
    }
  }
  if (p.commands.empty()) p.commands.push_back("FA;");
  return true;
}

// The answer to command and the milliseconds it took; nothing after a second of silence.
std::pair<std::string, double> roundTrip(orvane::SerialPort& ports, int port,
                                         const std::string& command) {
  const auto start = SteadyClock::now();
  ports.writePort(port, command);
  std::string answer;
  while (SteadyClock::now() - start < std::chrono::seconds(1)) {
    answer += ports.readPort(port, 255);
    if (!answer.empty() && answer.back() == ';') break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
  return {answer, ms};
}

}  // namespace

int main(int argc, char** argv) {
  Probe p;
  if (!parse(argc, argv, p)) {
    std::fputs("usage: catprobe [--dir DIR] [--port N] [--baud RATE] [--count N] [COMMAND;...]\n",
               stderr);
    return 2;
  }
  orvane::PosixSerialPorts devices(p.directory);
  orvane::SerialPort ports(devices);
  if (ports.openPort(p.port, p.baud) != 1) {
    std::fprintf(stderr, "catprobe: cannot open port %d (%s)\n", p.port,
                 orvane::serialDevicePath(p.port, p.directory).c_str());
    return 1;
  }
  ports.setReadTimeouts(p.port, -1);
  ports.setLineFormat(p.port, 8, 0, 2);

  int silent = 0;
  for (const std::string& command : p.commands) {
    std::vector<double> times;
    std::string first;
    for (int i = 0; i < p.count; ++i) {
      const auto [answer, ms] = roundTrip(ports, p.port, command);
      if (answer.empty()) {
        ++silent;
        continue;
      }
      if (first.empty()) first = answer;
      times.push_back(ms);
    }
    if (times.empty()) {
      std::printf("%-10s no answer\n", command.c_str());
      continue;
    }
    double sum = 0;
    for (const double t : times) sum += t;
    std::printf("%-10s %-16s %zu/%d answered, round trip ms: min %.1f mean %.1f max %.1f\n",
                command.c_str(), first.c_str(), times.size(), p.count,
                *std::min_element(times.begin(), times.end()),
                sum / static_cast<double>(times.size()),
                *std::max_element(times.begin(), times.end()));
  }
  ports.closePort(p.port);
  return silent == 0 ? 0 : 3;
}

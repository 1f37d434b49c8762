// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever a rig server sends back to the panel's line to it, between the link's commands and
// polls: one action per line. "s": the server sends the rest of the line (a line end added, "\n"
// in the text stands for one); "S": the same with no line end, a piece of an answer; "w": the link
// writes the rest (its Kenwood commands); "r": the link reads; "c": the server closes; "o": the
// link opens the line again. Any other line goes to the server whole. The first open is answered
// with a capability dump, so that the line is in use from the start.
// Besides no crash: the link reads nothing but whole Kenwood answers of the forms it polls for,
// the server gets nothing but whole request lines of the names the line sends, and a line that
// has gone stays gone until it is opened again.
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

#include "fuzz/invariants.h"
#include "platform/fake/fake_platform.h"
#include "rigclient/rig_line.h"

namespace {

using orvane::fuzz::breach;

constexpr char kCaps[] =
    "dump_caps:\nModel name:\tDummy\nPreamp: 10dB\nAttenuator: 10dB\n"
    "Set functions: NB NR ANF TUNER \nGet level: STRENGTH(0..0/0) SWR(0..0/0) \n"
    "Set level: PREAMP(0..0/0) ATT(0..0/0) AF(0..0/0) RF(0..0/0) RFPOWER(0..0/0) \n"
    "Mode list: USB LSB CW AM FM \nVFO Ops: TUNE \n\t\tLow power: 5 W, High power: 100 W\n"
    "Can set Split VFO:\tY\nCan set Power Stat:\tY\nRPRT 0\n";

void checkRead(const std::string& bytes) {
  static const std::regex kAnswers("((F[AB][0-9]{11}|SM0[0-9]{4}|RM1[0-9]{4}|PS[01]|\\?);)*");
  if (!std::regex_match(bytes, kAnswers)) breach("the link read what no poll answers", bytes);
}

void checkRequests(const std::string& lines) {
  static const std::regex kRequest(
      "\\+\\\\(dump_caps|get_mode|get_freq|get_split_freq|get_level (STRENGTH|SWR)|get_powerstat|"
      "set_freq [0-9]+|set_split_freq [0-9]+|set_split_vfo [01] VFO[AB]|set_vfo VFOA|"
      "set_mode [A-Z]+ -?[0-9]+|set_level [A-Z]+ [0-9.]+|set_func [A-Z]+ [01]|vfo_op TUNE|"
      "set_powerstat [01]|set_ptt [01])");
  std::size_t start = 0;
  for (auto end = lines.find('\n'); end != std::string::npos; end = lines.find('\n', start)) {
    const std::string line = lines.substr(start, end - start);
    if (!std::regex_match(line, kRequest)) breach("a request no server should get", line);
    start = end + 1;
  }
  if (start != lines.size()) breach("a request without its line end", lines.substr(start));
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Run {
  orvane::fake::Transcript transcript;
  orvane::fake::FakeNetwork network{transcript};
  orvane::rigclient::RigServerPorts ports{network, "127.0.0.1", 4532, 0};
  std::shared_ptr<orvane::fake::FakePeer> server;
  std::unique_ptr<orvane::SerialDevice> line;

  void open() {
    line.reset();
    server = network.serve("127.0.0.1", 4532);
    ports.open(1);
    server->write(kCaps);
    ports.activity();
    line = ports.open(1);
  }
  void serverSends(const std::string& bytes) {
    if (server) server->write(bytes);
    ports.activity();
  }
  void check() {
    if (server) checkRequests(server->takeReceived());
    if (line) {
      const bool gone = line->hungUp();
      checkRead(line->read(255));
      if (gone && !line->hungUp()) breach("a line that had gone came back by itself", "");
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Run run;
  run.open();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  while (start < input.size()) {
    const std::size_t end = std::min(input.find('\n', start), input.size());
    const std::string_view line = input.substr(start, end - start);
    start = end + 1;
    const char action = line.empty() ? ' ' : line.front();
    const std::string rest = unescaped(line.empty() ? line : line.substr(1));
    switch (action) {
      case 's':
        run.serverSends(rest + "\n");
        break;
      case 'S':
        run.serverSends(rest);
        break;
      case 'w':
        if (run.line) run.line->write(rest);
        break;
      case 'r':
        break;
      case 'c':
        if (run.server) run.server->close();
        run.ports.activity();
        break;
      case 'o':
        run.open();
        break;
      default:
        run.serverSends(std::string(line) + "\n");
        break;
    }
    run.check();
  }
  return 0;
}

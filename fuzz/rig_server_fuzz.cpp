// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever other programs send to the rig server, between ticks, keys and radio answers: one
// action per line. "a".."d" and the rest: that client (arriving on first use) sends the rest of
// the line; "x": client a..d (the next character) goes away; "t": a tick; "r": the radio sends
// the rest; "k": keys (as the seeds write them). Any other line goes to client a whole.
// Besides the panel's own rules: every command on the wire is well formed, the server sends
// only the forms it has, "TX" never more often than clients asked for it, and the radio is back
// on receive when the panel has ended.
#include <array>
#include <cstdint>
#include <memory>
#include <regex>
#include <string_view>

#include "fuzz/checked_panel.h"

namespace {

using orvane::fuzz::breach;

// The panel's own commands and the rig server's: two letters and their parameters, with the
// other models' forms of the server's sets (a radio on the line that names itself a TS-990S gets
// OM0, CB0 and TB; SH and FW set the others' filters; a named TS-2000 takes its notch as NT1).
bool knownCommand(const std::string& command) {
  static const std::regex kForms(
      "F[AB]([0-9]{11})?|SM0|RM1?|MD[1-79]|BW[0-9]{4}|FR0|FT[01]|TX|RX|PS[019]?|PA[01]0?|"
      "RA0[01]|NB[01]|NR[01]|NT[01]0?|PC[0-9]{3}|AG0[0-9]{3}|RG[0-9]{3}|AC11[01]|SWT28|Poweron|"
      "ID|OM0[1-79]|CB0|TB[01]|SH[0-9]{2}|FW[0-9]{4}");
  return std::regex_match(command, kForms);
}

struct Run {
  orvane::fuzz::CheckedPanel panel;
  std::array<std::shared_ptr<orvane::fake::FakePeer>, 4> clients;
  std::size_t transmitAsked = 0;
  std::size_t transmits = 0;
  bool onAir = false;

  Run() { panel.h.settings.set("rig-server", "on"); }

  void clientSends(std::size_t n, std::string bytes) {
    // "T 1" or "\\set_ptt 1": every "T" or "p" could be one.
    for (char c : bytes) transmitAsked += c == 'T' || c == 'p' ? 1 : 0;
    panel.beforeNextEvent([this, n, bytes = std::move(bytes)] {
      auto& net = panel.h.fake.network;
      if (!clients[n]) clients[n] = net.arrive(4532, "127.0.0.1:" + std::to_string(40000 + n));
      if (clients[n]) {
        clients[n]->write(bytes);
        clients[n]->takeReceived();
      }
      net.activity();
    });
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto run = std::make_unique<Run>();
  orvane::test::PanelHarness& h = run->panel.h;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const char tag = line.empty() ? ' ' : line[0];
    const std::string body(line.empty() ? line : line.substr(1));
    if (tag >= 'a' && tag <= 'd') {
      run->clientSends(static_cast<std::size_t>(tag - 'a'), body + "\n");
    } else if (tag == 'x' && !body.empty() && body[0] >= 'a' && body[0] <= 'd') {
      const auto n = static_cast<std::size_t>(body[0] - 'a');
      Run* r = run.get();
      run->panel.beforeNextEvent([r, n] {
        if (r->clients[n]) r->clients[n]->close();
        r->clients[n] = nullptr;
        r->panel.h.fake.network.activity();
      });
    } else if (tag == 't') {
      run->panel.queueTick();
    } else if (tag == 'r') {
      run->panel.radioSends(body);
    } else if (tag == 'k') {
      run->panel.queueKeys(body);
    } else {
      run->clientSends(0, std::string(line) + "\n");
    }
  }
  run->panel.queueTick();
  run->panel.run();

  // What went on the wire, command by command.
  const std::string wire = h.fake.serial.written(3);
  for (std::size_t start = 0, stop; (stop = wire.find(';', start)) != std::string::npos;
       start = stop + 1) {
    const std::string command = wire.substr(start, stop - start);
    if (!knownCommand(command)) breach("only the panel's and the server's commands", command);
    if (command == "TX") {
      ++run->transmits;
      run->onAir = true;
    }
    if (command == "RX") run->onAir = false;
  }
  if (run->transmits > run->transmitAsked) breach("TX only when a client asked", wire);
  if (run->onAir) breach("the radio back on receive when the panel ends", wire);
  return 0;
}

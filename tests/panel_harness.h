// SPDX-License-Identifier: GPL-3.0-or-later
// A whole panel on the in-memory platform: a configuration file, the clip set as empty files, a
// scripted radio on port 3, and helpers that read the transcript back as clips, prints and
// commands on the wire.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "panel/panel.h"
#include "platform/fake/fake_platform.h"
#include "platform/keycodes.h"
#include "speech/vocabulary.h"

namespace orvane::test {

inline constexpr char kDefaultConfig[] =
    "port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 0\r\n";

// Answers the panel's polls the way a Kenwood transceiver does: a TS-2000 unless told otherwise.
struct ScriptedRadio {
  std::string vfoA = "00014200000";
  std::string vfoB = "00007050000";
  bool split = false;
  int sMeter = 15;
  int swr = 3;
  bool silent = false;
  // The three digits of its answer to "ID"; empty: it does not answer.
  std::string identity = "019";
  // Answers of its own to commands (with their ";"), before all the others: another model's meters.
  std::map<std::string, std::string, std::less<>> answers;

  std::string answer(std::string_view command) const {
    if (const auto own = answers.find(command); own != answers.end()) return own->second;
    char buf[32];
    if (command == "FA;") return "FA" + vfoA + ";";
    if (command == "FB;") return "FB" + vfoB + ";";
    if (command == "ID;") return identity.empty() ? "" : "ID" + identity + ";";
    if (command == "SM0;") {
      std::snprintf(buf, sizeof buf, "SM0%04d;", sMeter);
      return buf;
    }
    if (command == "RM;") {
      std::snprintf(buf, sizeof buf, "RM1%04d;", swr);
      return buf;
    }
    return "";
  }
};

class PanelHarness {
 public:
  explicit PanelHarness(std::string config = kDefaultConfig) {
    if (!config.empty()) fake.files.put("orvane.cfg", std::move(config));
    fake.serial.addPort(3);
    for (std::string_view name : kClipVocabulary) {
      std::string path = "wave/" + std::string(name);
      if (name.find('.') == std::string_view::npos) path += ".wav";
      fake.files.put(path, "RIFF");
    }
    fake.serial.onWrite(3, [this](std::string_view bytes) {
      if (!radio.silent) fake.serial.feed(3, radio.answer(bytes));
    });
  }

  // Runs the whole program over the queued events; the fake window closes itself when the script
  // is used up.
  int run() {
    panel = std::make_unique<Panel>(fake.platform(), settings);
    return panel->run();
  }
  PanelState& state() { return panel->state(); }

  // Runs the actions just before the numbered timer tick (counted from 1) is handled.
  void atTicks(std::map<int, std::function<void()>> actions) {
    fake.window.beforeEachEvent = [actions = std::move(actions),
                                   ticks = 0](const WindowEvent& e) mutable {
      if (e.kind != WindowEventKind::TimerTick) return;
      if (const auto it = actions.find(++ticks); it != actions.end()) it->second();
    };
  }

  // Ticks enough for the radio to be heard ("connected" spoken) and to say which it is.
  void queueConnect() { fake.window.queueTicks(3); }
  void queueKeys(std::initializer_list<int> keys) {
    for (int k : keys) fake.window.queueKey(k);
  }

  // Transcript lines from a marker on: everything after the n-th line that starts with prefix.
  std::vector<std::string> linesAfter(std::size_t index) const {
    const auto& all = fake.transcript.lines();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(index, all.size())), all.end()};
  }
  std::size_t mark() const { return fake.transcript.lines().size(); }

  // The story of the run from a mark, without the polls and their answers: clips by name, commands
  // as "> CMD;", prints as "print X,Y \"TEXT\"".
  std::vector<std::string> storyFrom(std::size_t index, bool withPolls = false) const {
    std::vector<std::string> out;
    for (const std::string& line : linesAfter(index)) {
      if (line.rfind("clip ", 0) == 0) {
        out.push_back(clipName(line.substr(std::string("clip ").size())));
      } else if (line.rfind("clip.nowait ", 0) == 0) {
        out.push_back("nowait " + clipName(line.substr(std::string("clip.nowait ").size())));
      } else if (line.rfind("serial.write 3 \"", 0) == 0) {
        std::string cmd = line.substr(16, line.size() - 17);
        const bool poll = cmd == "FA;" || cmd == "FB;" || cmd == "SM0;" || cmd == "SM;" ||
                          cmd == "RM;" || cmd == "ID;";
        if (withPolls || !poll) out.push_back("> " + cmd);
      } else if (line.rfind("print ", 0) == 0 || line.rfind("window.", 0) == 0 ||
                 line.rfind("clip.stop", 0) == 0 || line.rfind("speech.", 0) == 0 ||
                 line.rfind("pause ", 0) == 0) {
        out.push_back(line);
      }
    }
    return out;
  }

  // "wave/ts.wav" -> "ts": tests name clips the way the operator hears them.
  static std::string clipName(std::string path) {
    if (path.rfind("wave/", 0) == 0) path.erase(0, 5);
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0)
      path.resize(path.size() - 4);
    return path;
  }

  // Runs the queued script and returns the story from the first key-down on, without the
  // shut-down; polls and prints only when asked for.
  std::vector<std::string> runFromFirstKey(bool withPolls = false, bool withPrints = true) {
    std::size_t start = 0;
    bool seen = false;
    fake.window.beforeEachEvent = [&](const WindowEvent& e) {
      if (!seen && e.kind == WindowEventKind::KeyDown) {
        seen = true;
        start = mark();
      }
    };
    run();
    std::vector<std::string> story =
        seen ? storyFrom(start, withPolls) : std::vector<std::string>{};
    story.erase(std::find(story.begin(), story.end(), "window.close"), story.end());
    if (!withPrints) {
      std::erase_if(story, [](const std::string& line) { return line.rfind("print", 0) == 0; });
    }
    return story;
  }

  // Commands written to port 3 since a mark, split at ";".
  std::vector<std::string> wireFrom(std::size_t index, bool withPolls = false) const {
    std::vector<std::string> out;
    for (const std::string& s : storyFrom(index, withPolls)) {
      if (s.rfind("> ", 0) == 0) out.push_back(s.substr(2));
    }
    return out;
  }

  fake::FakePlatform fake;
  Settings settings;
  ScriptedRadio radio;
  std::unique_ptr<Panel> panel;
};

}  // namespace orvane::test

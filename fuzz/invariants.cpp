// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/invariants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "link/radio_models.h"

namespace orvane::fuzz {

namespace {

bool upperLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

// Split, mode, band, VFO A and VFO B. The two band digits are kept but never used: a recall takes
// the band from the VFO A frequency, so any two digits will do there.
bool channelRecord(std::string_view s) {
  return s.size() == 30 && (s[0] == '0' || s[0] == '1') && s[1] >= '1' && s[1] <= '5' &&
         allDigits(s.substr(2, 2)) && isFrequencyCommand(s.substr(4, 13)) &&
         isFrequencyCommand(s.substr(17, 13));
}

// A printable copy for the report.
std::string shown(std::string_view s) {
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 32 && c < 127 && c != '\\') {
      out += ch;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

// The first stored text that the panel would later send to the radio and that is not in the shape
// the radio takes; empty when there is none.
std::string storedTextFault(const PanelState& s) {
  if (!s.lastFreqReply.empty() && !isFrequencyCommand(s.lastFreqReply)) return "lastFreqReply";
  if (!isFrequencyCommand(s.vfoAReply)) return "vfoAReply";
  if (!isFrequencyCommand(s.vfoBReply)) return "vfoBReply";
  for (std::size_t band = 1; band <= kBandCount; ++band) {
    if (!isFrequencyCommand(s.bandTable[band])) return "bandTable " + std::to_string(band);
  }
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    const std::string& c = s.memoryChannels[channel].str();
    if (!((!c.empty() && c[0] == '9') || channelRecord(c))) {
      return "memoryChannels " + std::to_string(channel) + ": " + c;
    }
  }
  return {};
}

template <std::size_t Max>
void checkCapacity(const char* name, const BoundedText<Max>& text, std::size_t capacity = Max) {
  if (text.size() > capacity) breach("text within its capacity", name);
}

}  // namespace

void breach(std::string_view rule, std::string_view detail) {
  std::fprintf(stderr, "\n*** invariant broken: %.*s: %s\n", static_cast<int>(rule.size()),
               rule.data(), shown(detail).c_str());
  std::abort();
}

void checkState(const PanelState& s) {
  for (const auto& [name, text] : {std::pair{"version", &s.version},
                                   {"banner", &s.banner},
                                   {"creditLine", &s.creditLine},
                                   {"clipDir", &s.clipDir},
                                   {"commandText", &s.commandText},
                                   {"frequencyText", &s.frequencyText},
                                   {"lastFreqReply", &s.lastFreqReply},
                                   {"vfoAReply", &s.vfoAReply},
                                   {"vfoBReply", &s.vfoBReply},
                                   {"entryFractionZeros", &s.entryFractionZeros}}) {
    checkCapacity(name, *text);
  }
  for (const Text& slot : s.bandTable) checkCapacity("bandTable", slot);
  for (const ModeEntry& mode : s.modeTable) {
    checkCapacity("modeTable", mode.command);
    checkCapacity("modeTable", mode.screenText);
  }
  for (const Text& channel : s.memoryChannels) checkCapacity("memoryChannels", channel);
  checkCapacity("replyText", s.replyText);
  checkCapacity("topBand", s.topBand, 1);
  checkCapacity("swrText", s.swrText, 2);

  if (s.frequencyHz < 0) breach("no negative frequency", std::to_string(s.frequencyHz));
  if ((s.bandIndex < 1 || s.bandIndex > kBandCount) && s.bandIndex != kOutOfBand) {
    breach("bandIndex 1..13 or 99", std::to_string(s.bandIndex));
  }
  if (s.modeIndex < 1 || s.modeIndex > kModeCount) {
    breach("modeIndex 1..5", std::to_string(s.modeIndex));
  }
  if (s.sMeter < 0 || s.sMeter > 30) breach("sMeter 0..30", std::to_string(s.sMeter));
  if (s.sMeterOverS9 < 0 || s.sMeterOverS9 > 60 || s.sMeterOverS9 % 10 != 0 ||
      (s.sMeterOverS9 > 0 && s.sMeter != 30)) {
    breach("dB over S9 in tens, 0..60, only at the top of the scale",
           std::to_string(s.sMeterOverS9));
  }
  if (s.radioModel < 0 || s.radioModel >= kRadioModelCount) {
    breach("radioModel one of the table's", std::to_string(s.radioModel));
  }
  if (!s.swrText.empty() && !(s.swrText.size() == 2 && allDigits(s.swrText))) {
    breach("swrText two digits", s.swrText);
  }
  if (const std::string fault = storedTextFault(s); !fault.empty()) {
    breach("stored texts in the radio's shape", fault);
  }
}

bool wellFormedCommand(std::string_view bytes) {
  if (bytes.size() < 3 || bytes.back() != ';') return false;
  const std::string_view command = bytes.substr(0, bytes.size() - 1);
  if (command.find(';') != std::string_view::npos) return false;
  if (!upperLetter(command[0]) || !upperLetter(command[1])) return false;
  const std::string_view parameters = command.substr(2);
  if (command.substr(0, 2) == "FA" || command.substr(0, 2) == "FB") {
    return parameters.empty() || isFrequencyCommand(command);
  }
  return parameters.empty() || allDigits(parameters) || command == "SWT28";
}

void WireChecker::write(std::string_view bytes) {
  if (wakeUpSent_) {
    wakeUpSent_ = false;
    if (bytes != "PS1;") breach("\"PS1;\" right after the wake-up", bytes);
    return;
  }
  if (bytes == "Poweron;") {
    wakeUpSent_ = true;
    return;
  }
  if (!wellFormedCommand(bytes)) breach("well-formed command on the wire", bytes);
}

void WireChecker::finish() const {
  if (wakeUpSent_) breach("\"PS1;\" right after the wake-up", "nothing after \"Poweron;\"");
}

}  // namespace orvane::fuzz

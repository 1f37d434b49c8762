// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigclient/answers.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace orvane::rigclient {

namespace {

constexpr std::string_view kStatusPrefix = "RPRT ";
constexpr int kProtocolError = -8;  // RIG_EPROTO: a status line that is not one

bool isStatusLine(std::string_view line) {
  return line.substr(0, kStatusPrefix.size()) == kStatusPrefix;
}

int statusOf(std::string_view line) {
  std::string_view digits = line.substr(kStatusPrefix.size());
  int code = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (error != std::errc() || end != digits.data() + digits.size()) return kProtocolError;
  return code;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The words after "Label:" on a dump line, each with any "(range)" behind it cut off.
std::vector<std::string_view> wordsAfterLabel(std::string_view line) {
  std::vector<std::string_view> words;
  std::string_view rest = line.substr(line.find(':') + 1);
  while (!rest.empty()) {
    const auto start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const auto end = rest.find_first_of(" \t");
    words.push_back(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }
  return words;
}

std::string_view nameOf(std::string_view word) {
  return word.substr(0, word.find('('));
}

void addNames(std::set<std::string, std::less<>>& names, std::string_view line) {
  for (std::string_view word : wordsAfterLabel(line)) {
    if (!nameOf(word).empty()) names.insert(std::string(nameOf(word)));
  }
}

// The number at the start of text ("20dB" gives 20, "12.5 W" gives 12.5); nothing when none.
std::optional<double> leadingNumber(std::string_view text) {
  text = trimmed(text);
  std::size_t end = 0;
  while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.')) ++end;
  if (end == 0) return std::nullopt;
  const std::string number(text.substr(0, end));
  char* stop = nullptr;
  const double value = std::strtod(number.c_str(), &stop);
  if (stop == number.c_str()) return std::nullopt;
  return value;
}

// The range of one level in "Set level: NAME(low..high/step) ...", when the dump gives one.
void takePowerRange(RigCaps& caps, std::string_view line) {
  for (std::string_view word : wordsAfterLabel(line)) {
    if (nameOf(word) != "RFPOWER" || word.size() <= 8) continue;
    const std::string_view range = word.substr(8);  // after "RFPOWER("
    const auto dots = range.find("..");
    if (dots == std::string_view::npos) return;
    const auto low = leadingNumber(range.substr(0, dots));
    const auto high = leadingNumber(range.substr(dots + 2));
    // A server without ranges writes 0..0: any fraction goes.
    if (low && high && *high > *low && *low >= 0 && *high <= 1) {
      caps.powerFractionLow = *low;
      caps.powerFractionHigh = *high;
    }
  }
}

bool startsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

bool saysYes(std::string_view line) {
  const std::string_view answer = trimmed(line.substr(line.find(':') + 1));
  return answer == "Y" || answer == "E";  // E: the server emulates it
}

int firstStepDb(std::string_view line) {
  const auto words = wordsAfterLabel(line);
  if (words.empty()) return 0;
  const auto db = leadingNumber(words.front());
  return db && *db >= 1 && *db <= 99 ? static_cast<int>(*db) : 0;
}

}  // namespace

std::string Answer::value(std::size_t i) const {
  if (i >= lines.size()) return {};
  std::string_view line = lines[i];
  const auto colon = line.find(": ");
  if (colon != std::string_view::npos) line.remove_prefix(colon + 2);
  return std::string(trimmed(line));
}

std::optional<std::string> answerName(std::string_view line) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view name = line.substr(0, colon);
  const bool wellFormed = std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
  if (!wellFormed) return std::nullopt;
  if (colon + 1 < line.size() && line[colon + 1] != ' ') return std::nullopt;
  return std::string(name);
}

void AnswerReader::add(std::string_view bytes) {
  if (lost_) return;
  for (char c : bytes) {
    if (c != '\n') {
      partial_ += c;
      if (partial_.size() > kMaxLine) lost_ = true;
      if (lost_) return;
      continue;
    }
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    answerBytes_ += partial_.size() + 1;
    lines_.push_back(std::move(partial_));
    partial_.clear();
    if (answerBytes_ > kMaxAnswer) {
      lost_ = true;
      return;
    }
  }
}

std::optional<Answer> AnswerReader::next() {
  while (true) {
    const auto status = std::find_if(lines_.begin(), lines_.end(),
                                     [](const std::string& l) { return isStatusLine(l); });
    if (status == lines_.end()) return std::nullopt;
    // The answer's first line is the last one before the status line that names a request.
    auto first = status;
    std::optional<std::string> name;
    while (first != lines_.begin() && !name) name = answerName(*--first);
    std::optional<Answer> answer;
    if (name) {
      answer = Answer{*name, std::vector<std::string>(first + 1, status), statusOf(*status)};
    }
    lines_.erase(lines_.begin(), status + 1);
    answerBytes_ = 0;
    for (const std::string& line : lines_) answerBytes_ += line.size() + 1;
    if (answer) return answer;
  }
}

RigCaps parseCaps(const std::vector<std::string>& lines) {
  RigCaps caps;
  std::string maker;
  std::string model;
  for (const std::string& text : lines) {
    const std::string_view line = text;
    if (startsWith(line, "Model name:")) {
      model = std::string(trimmed(line.substr(11)));
    } else if (startsWith(line, "Mfg name:")) {
      maker = std::string(trimmed(line.substr(9)));
    } else if (startsWith(line, "Mode list:")) {
      addNames(caps.modes, line);
    } else if (startsWith(line, "Set functions:")) {
      addNames(caps.setFunctions, line);
    } else if (startsWith(line, "Set level:")) {
      addNames(caps.setLevels, line);
      takePowerRange(caps, line);
    } else if (startsWith(line, "Get level:")) {
      addNames(caps.getLevels, line);
    } else if (startsWith(line, "VFO Ops:")) {
      addNames(caps.vfoOps, line);
    } else if (startsWith(line, "Preamp:")) {
      caps.preampDb = firstStepDb(line);
    } else if (startsWith(line, "Attenuator:")) {
      caps.attenuatorDb = firstStepDb(line);
    } else if (startsWith(line, "Can set Power Stat:")) {
      caps.canSetPowerStat = saysYes(line);
    } else if (startsWith(line, "Can set Split VFO:")) {
      caps.canSetSplit = saysYes(line);
    } else if (const auto high = line.find("High power: "); high != std::string_view::npos) {
      if (const auto watts = leadingNumber(line.substr(high + 12))) {
        caps.maxWatts = std::max(caps.maxWatts, *watts);
      }
    }
  }
  caps.model = maker.empty() ? model : maker + " " + model;
  return caps;
}

}  // namespace orvane::rigclient

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include <array>
#include <charconv>

namespace orvane {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::optional<int> wholeNumber(std::string_view text) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return n;
}

bool acceptsRigServer(std::string_view value) {
  return value == "off" || value == "on" || parseHostAndPort(value, {}).has_value();
}

bool acceptsWatts(std::string_view value) {
  const auto watts = wholeNumber(value);
  return watts && *watts >= 1 && *watts <= kMaxRigWatts;
}

bool acceptsSpeech(std::string_view value) {
  return value == "clips" || value == "system";
}

bool acceptsSpeechRate(std::string_view value) {
  return value == "off" || parseSpeechRate(value).has_value();
}

bool acceptsClipRate(std::string_view value) {
  return parseClipRate(value).has_value();
}

constexpr auto kSpecs = std::to_array<SettingSpec>({
    {"rig-server", "on", &acceptsRigServer, "off, on, PORT, ADDRESS or ADDRESS:PORT"},
    // The same forms name the server the panel connects to as the address its own one listens on.
    {"rig", "on", &acceptsRigServer, "off, on, HOST:PORT, HOST or PORT"},
    {"rig-power", "", &acceptsWatts, "the radio's full power in watts, 1 to 10000"},
    {kSpeechSetting, "", &acceptsSpeech, "clips or system"},
    {kSpeechRateSetting, "", &acceptsSpeechRate, "off or a number from -100 to 100"},
    {kClipRateSetting, "", &acceptsClipRate, "a percentage from 100 to 300"},
});

const SettingSpec* findSpec(std::string_view name) {
  for (const SettingSpec& spec : kSpecs) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

}  // namespace

std::span<const SettingSpec> settingSpecs() {
  return kSpecs;
}

std::optional<std::string> Settings::set(std::string_view name, std::string_view value) {
  const SettingSpec* spec = findSpec(name);
  if (spec == nullptr) return "unknown setting " + quoted(name);
  if (!spec->accepts(value)) {
    return std::string(name) + " takes " + std::string(spec->values) + ", not " + quoted(value);
  }
  values_.insert_or_assign(std::string(name), std::string(value));
  return std::nullopt;
}

std::optional<std::string> Settings::value(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void Settings::readFile(std::string_view contents, std::vector<std::string>& problems) {
  int number = 0;
  while (!contents.empty()) {
    const auto end = contents.find('\n');
    std::string_view line = contents.substr(0, end);
    contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trimmed(line);
    if (line.empty() || line.front() == '#') continue;
    const auto gap = line.find_first_of(kBlanks);
    const std::string_view name = line.substr(0, gap);
    const std::string_view value =
        gap == std::string_view::npos ? std::string_view() : trimmed(line.substr(gap));
    if (auto problem = set(name, value)) {
      problems.push_back(std::string(kSettingsFileName) + " line " + std::to_string(number) + ": " +
                         *problem + "; left out");
    }
  }
}

std::vector<std::string> Settings::readStation(FileSystem& files,
                                               const std::vector<std::string>& arguments,
                                               std::vector<std::string>& problems) {
  if (const auto contents = files.readFile(kSettingsFileName)) readFile(*contents, problems);
  return takeOptions(arguments, problems);
}

int Settings::clipRate() const {
  return parseClipRate(value(kClipRateSetting).value_or("100")).value_or(100);
}

std::vector<std::string> Settings::takeOptions(const std::vector<std::string>& arguments,
                                               std::vector<std::string>& problems) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.rfind("--", 0) != 0) {
      rest.push_back(argument);
      continue;
    }
    const std::string_view option = std::string_view(argument).substr(2);
    const auto equals = option.find('=');
    const std::string_view name = option.substr(0, equals);
    const SettingSpec* spec = findSpec(name);
    if (spec == nullptr) {
      rest.push_back(argument);
      continue;
    }
    std::string value;
    if (equals != std::string_view::npos) {
      value = option.substr(equals + 1);
    } else if (i + 1 < arguments.size() && arguments[i + 1].rfind('-', 0) != 0) {
      value = arguments[++i];
    } else if (!spec->bareValue.empty()) {
      value = spec->bareValue;
    } else {
      problems.push_back("--" + std::string(name) + " needs a value: " + std::string(spec->values));
      continue;
    }
    if (auto problem = set(name, value)) problems.push_back("--" + *problem + "; left out");
  }
  return rest;
}

std::optional<HostAndPort> parseHostAndPort(std::string_view text, HostAndPort defaults) {
  HostAndPort result = std::move(defaults);
  if (text.empty()) return std::nullopt;
  if (auto port = wholeNumber(text)) {
    if (*port < 1 || *port > 65535) return std::nullopt;
    result.port = *port;
    return result;
  }
  std::string_view host = text;
  std::string_view port;
  if (text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view after = text.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
    // More than one colon and no brackets: an IPv6 address without a port.
    if (text.find(':') == colon) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      if (host.empty() || port.empty()) return std::nullopt;
    }
  }
  if (host.find_first_of(" \t[]/") != std::string_view::npos) return std::nullopt;
  if (!port.empty()) {
    const auto number = wholeNumber(port);
    if (!number || *number < 1 || *number > 65535) return std::nullopt;
    result.port = *number;
  }
  result.host = std::string(host);
  return result;
}

std::optional<RigServerAddress> rigServerAddress(const Settings& settings) {
  const std::optional<std::string> value = settings.value("rig");
  if (!value || *value == "off") return std::nullopt;
  const RigServerAddress defaults;
  if (*value == "on") return defaults;
  const auto given = parseHostAndPort(*value, {defaults.host, defaults.port});
  if (!given) return std::nullopt;
  return RigServerAddress{given->host, given->port};
}

int rigFullPowerWatts(const Settings& settings) {
  const std::optional<std::string> value = settings.value("rig-power");
  if (!value) return 0;
  return wholeNumber(*value).value_or(0);
}

std::optional<int> parseSpeechRate(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto number = wholeNumber(text);
  if (!number || *number < -100 || *number > 100) return std::nullopt;
  return number;
}

std::optional<int> parseClipRate(std::string_view text) {
  return parsePercent(text, 100, 300);
}

std::optional<int> parsePercent(std::string_view text, int low, int high) {
  if (!text.empty() && text.back() == '%') text.remove_suffix(1);
  const auto number = wholeNumber(text);
  if (!number || *number < low || *number > high) return std::nullopt;
  return number;
}

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The station's optional settings: the file "settings.cfg" in the station directory, one setting
// per line as a name and a value ("rig-server on"), and the command line, where the same setting
// is "--rig-server on" or "--rig-server=on" and wins over the file. Everything that orvane.cfg's
// seven fixed lines do not hold lives here; a station without the file runs as it always has.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace orvane {

inline constexpr char kSettingsFileName[] = "settings.cfg";

// How the panel speaks: "clips" (the clip set, the default) or "system" (the system's speech
// service in the operator's own voice).
inline constexpr char kSpeechSetting[] = "speech";
// The panel's own speaking rate for the speech service, -100 to 100, or "off" (the default): the
// rate the operator set up in the service itself.
inline constexpr char kSpeechRateSetting[] = "speech-rate";
// The pace of the clip set, 100 % (as recorded, the default) to 300 %, pitch kept.
inline constexpr char kClipRateSetting[] = "clip-rate";

// One setting the panel knows.
struct SettingSpec {
  std::string_view name;
  // The value a bare "--name" on the command line stands for; empty when the option needs a value.
  std::string_view bareValue;
  // Whether value is one this setting takes.
  bool (*accepts)(std::string_view value);
  // The values it takes, as the usage text and the problem messages show them.
  std::string_view values;
};

// Every setting the panel knows, in the order the usage text lists them.
std::span<const SettingSpec> settingSpecs();

class Settings {
 public:
  // Reads the contents of settings.cfg: a line is a name, blanks, and the value up to the end of
  // the line (blanks around it dropped); empty lines and lines that start with "#" are comments;
  // CR LF line ends are taken. A later line for the same name wins. An unknown name or a value
  // the setting does not take is left out, and one text per such line is appended to problems
  // ("settings.cfg line 3: ...").
  void readFile(std::string_view contents, std::vector<std::string>& problems);

  // Takes the panel's own options out of a command line and returns the rest, in order. An option
  // is "--name value", "--name=value", or "--name" alone when the setting has a bare value (a value
  // that starts with "-" is then the next option, not the value). A known name with a value it does
  // not take is a problem, and so is a missing value; the option is then left out.
  std::vector<std::string> takeOptions(const std::vector<std::string>& arguments,
                                       std::vector<std::string>& problems);

  // The station's settings as the panel starts with them: the file settings.cfg in the working
  // directory (when there is one), then the command line, which wins. Returns the arguments that
  // are not the panel's settings, in order.
  std::vector<std::string> readStation(FileSystem& files, const std::vector<std::string>& arguments,
                                       std::vector<std::string>& problems);

  // The clip rate asked for, 100 when none was.
  int clipRate() const;

  // Sets name to value when the setting is known and takes it; otherwise a text saying why.
  std::optional<std::string> set(std::string_view name, std::string_view value);

  // The value given for name, or nothing when neither the file nor the command line gave one.
  std::optional<std::string> value(std::string_view name) const;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

// ---- value forms shared by several settings

// "host:port", "[v6]:port", "host" or "port" (a plain number): the parts given, the others left
// as they are. Nothing when the text is none of these or the port is outside 1..65535.
struct HostAndPort {
  std::string host;
  int port = 0;
};
std::optional<HostAndPort> parseHostAndPort(std::string_view text, HostAndPort defaults);

// A whole number from low to high, optionally followed by "%". Nothing for anything else.
std::optional<int> parsePercent(std::string_view text, int low, int high);

// A speech rate from -100 to 100 ("+20" as well as "20"). Nothing for anything else.
std::optional<int> parseSpeechRate(std::string_view text);
// A clip rate from 100 to 300, optionally followed by "%". Nothing for anything else.
std::optional<int> parseClipRate(std::string_view text);

// ---- the radio's line

// The setting "rig" names a Hamlib rig server (rigctld, or another panel's rig server) that the
// panel works the radio through instead of the serial port of orvane.cfg: "HOST:PORT", "HOST" or
// "PORT", the rest as rigctld's own default, localhost port 4532 ("on", or the bare option, is
// that default itself; a host named "on" is out of reach). "off", or no setting at all,
// keeps the serial port. "rig-power" is the radio's full power in watts, for the power setting to
// be sent as a fraction of it, when the server does not tell it.
inline constexpr int kMaxRigWatts = 10000;
struct RigServerAddress {
  std::string host = "localhost";
  int port = 4532;
};
std::optional<RigServerAddress> rigServerAddress(const Settings& settings);
// The "rig-power" setting in watts, 0 when there is none.
int rigFullPowerWatts(const Settings& settings);

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/phrases.h"

#include <array>
#include <cctype>

namespace orvane {

namespace {

constexpr SpeechPriority kNotice = SpeechPriority::Notice;

// Digits are said one by one, as the clips say them and as figures go over the air: "one four
// point one nine five" leaves no doubt between fifteen and fifty at three times normal speed.
// Letters that are spelled on the air are written apart so that every synthesiser spells them.
constexpr auto kTable = std::to_array<ClipWords>({
    {"0", "zero"},
    {"1", "one"},
    {"2", "two"},
    {"3", "three"},
    {"4", "four"},
    {"5", "five"},
    {"6", "six"},
    {"7", "seven"},
    {"8", "eight"},
    {"9", "nine"},
    {"point", "point"},
    {"mhz", "megahertz"},
    {"khz", "kilohertz"},
    {"watts", "watts"},
    {"metres", "meters"},
    {"160", "one sixty"},
    {"80", "eighty"},
    {"60", "sixty"},
    {"40", "forty"},
    {"30", "thirty"},
    {"20", "twenty"},
    {"17", "seventeen"},
    {"15", "fifteen"},
    {"12", "twelve"},
    {"10", "ten"},
    // Followed by "metres": the 70 cm band.
    {"70", "seventy centi"},
    {"un", "out of band"},
    {"lsb", "L S B"},
    {"usb", "U S B"},
    {"cw", "C W"},
    {"am", "A M"},
    {"fm", "F M"},
    // Modes only another program sets; "reverse" follows "cw".
    {"rtty", "R T T Y"},
    {"reverse", "reverse"},
    {"vfob", "V F O B"},
    {"bw", "bandwidth"},
    {"power", "power"},
    {"preamp", "preamp"},
    {"at", "attenuator"},
    {"nb", "noise blanker"},
    {"nr", "noise reduction"},
    {"notch", "notch"},
    {"s", "S"},
    {"plus", "plus"},
    {"swr", "S W R"},
    {"gt6", "greater than six"},
    {"21", "to one"},
    // Decibels beyond S9 ("plus fifty"); the other steps are the band words.
    {"50", "fifty"},
    {"band", "band"},
    {"ag", "A F gain"},
    {"rf", "R F gain"},
    {"sch", "store channel"},
    {"gch", "go to channel"},
    {"ef", "enter frequency"},
    {"spot", "spot"},
    {"max", "maximum"},
    {"ok", "okay"},
    {"invalid", "invalid"},
    {"split", "split"},
    {"off", "off"},
    {"on", "on"},
    {"tune", "tune"},
    {"ton", "tuner on"},
    // The state of the link to the radio is told whatever the operator does next.
    {"connected", "connected", kNotice},
    {"nc", "not connected", kNotice},
    // A key for something the radio behind a rig server cannot do.
    {"na", "not available"},
    // The radio's name, after "connected" when it is not the TS-2000.
    {"ts480", "T S four eighty"},
    {"ts590s", "T S five ninety S"},
    {"ts590sg", "T S five ninety S G"},
    {"ts890s", "T S eight ninety"},
    {"ts990s", "T S nine ninety"},
    // Another program keys and unkeys the transmitter: the operator must know whatever comes next.
    {"transmit", "transmit", kNotice},
    {"receive", "receive", kNotice},
    // The panel's first and last words: a key pressed meanwhile, or the screen reader telling of
    // the window coming or going, waits for them.
    {"ts", "Orvane, version", kNotice},
    {"cfgnf", "configuration file not found", kNotice},
    {"quit", "goodbye", kNotice},
    // A pause the radio needs after switching on, not speech.
    {"delay", ""},
    // The whole help file, spoken by the announcer from helpWords().
    {"help", ""},
});

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view withoutWavEnding(std::string_view name) {
  constexpr std::string_view kWav = ".wav";
  if (name.size() > kWav.size() && equalIgnoringCase(name.substr(name.size() - kWav.size()), kWav))
    name.remove_suffix(kWav.size());
  return name;
}

constexpr char kHelpFile[] =
#include "speech/help_file.inc"
    ;

}  // namespace

std::span<const ClipWords> clipWordsTable() {
  return kTable;
}

std::optional<ClipWords> clipWords(std::string_view name) {
  const std::string_view clip = withoutWavEnding(name);
  for (const ClipWords& row : kTable) {
    if (equalIgnoringCase(row.clip, clip)) return row;
  }
  return std::nullopt;
}

std::string helpWords(std::string_view helpFile) {
  std::string words;
  while (!helpFile.empty()) {
    const auto end = helpFile.find('\n');
    std::string_view line = helpFile.substr(0, end);
    helpFile.remove_prefix(end == std::string_view::npos ? helpFile.size() : end + 1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
      line.remove_suffix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
      line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    if (!words.empty()) words += ' ';
    words += line;
  }
  return words;
}

std::string_view builtInHelpFile() {
  return kHelpFile;
}

}  // namespace orvane

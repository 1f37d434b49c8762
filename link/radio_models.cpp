// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/radio_models.h"

#include <algorithm>
#include <array>

#include "core/text.h"

namespace orvane {

namespace {

constexpr int kModels = kRadioModelCount;

constexpr CommandForm form(std::string_view prefix, int digits = 0, int fullScale = 0) {
  return {prefix, digits, fullScale, true};
}
// The panel's own form, kept for a model that nothing confirms another form for.
constexpr CommandForm kept(std::string_view prefix, int digits = 0) {
  return {prefix, digits, 0, false};
}
// The same confirmed form on every model.
constexpr std::array<CommandForm, kModels> everywhere(std::string_view prefix, int digits = 0) {
  std::array<CommandForm, kModels> forms{};
  forms.fill(form(prefix, digits));
  return forms;
}

struct ActionRow {
  CatAction action;
  std::array<CommandForm, kModels> forms;
};

// One row per action; the columns are the models in the order of RadioModel:
//   unknown (the panel's own forms), TS-2000, TS-480, TS-590S, TS-590SG, TS-890S, TS-990S.
// Hamlib's forms for each, as its backends send them: the TS-990 sets its mode with OM0, chooses
// its receiver with CB and splits with TB; the TS-890 takes one digit for the attenuator's step,
// numbers its two blankers and writes the AF gain without the receiver's 0; the TS-480's RF gain
// runs 0..100; the TS-890 and TS-990 read the SWR on meter 2, switched on with RM21.
const std::array<ActionRow, kCatActionCount> kActions = {{
    {CatAction::FrequencyA, everywhere("FA", 11)},
    {CatAction::FrequencyB, everywhere("FB", 11)},
    {CatAction::ReceiveOnVfoA,
     {form("FR0"), form("FR0"), form("FR0"), form("FR0"), form("FR0"), form("FR0"), form("CB0")}},
    {CatAction::SplitOn,
     {form("FT1"), form("FT1"), form("FT1"), form("FT1"), form("FT1"), form("FT1"), form("TB1")}},
    {CatAction::SplitOff,
     {form("FT0"), form("FT0"), form("FT0"), form("FT0"), form("FT0"), form("FT0"), form("TB0")}},
    {CatAction::Mode,
     {form("MD", 1), form("MD", 1), form("MD", 1), form("MD", 1), form("MD", 1), form("MD", 1),
      form("OM0", 1)}},
    {CatAction::PowerOn, everywhere("PS1")},
    // The panel's own PS9 stays for the TS-2000: nothing shows the radio ignores it.
    {CatAction::PowerOff,
     {form("PS9"), kept("PS9"), form("PS0"), form("PS0"), form("PS0"), form("PS0"), form("PS0")}},
    {CatAction::PreampOffAtStart,
     {form("PA00"), kept("PA00"), form("PA0"), form("PA0"), form("PA0"), kept("PA00"),
      form("PA0")}},
    {CatAction::PreampOn,
     {form("PA1"), form("PA1"), form("PA1"), form("PA1"), form("PA1"), kept("PA1"), form("PA1")}},
    {CatAction::PreampOff,
     {form("PA0"), form("PA0"), form("PA0"), form("PA0"), form("PA0"), kept("PA0"), form("PA0")}},
    {CatAction::AttenuatorOn,
     {form("RA01"), form("RA01"), form("RA01"), form("RA01"), form("RA01"), form("RA1"),
      form("RA01")}},
    {CatAction::AttenuatorOff,
     {form("RA00"), form("RA00"), form("RA00"), form("RA00"), form("RA00"), form("RA0"),
      form("RA00")}},
    {CatAction::BlankerOn,
     {form("NB1"), form("NB1"), form("NB1"), form("NB1"), form("NB1"), form("NB11"), form("NB1")}},
    {CatAction::BlankerOff,
     {form("NB0"), form("NB0"), form("NB0"), form("NB0"), form("NB0"), form("NB10"), form("NB0")}},
    {CatAction::NoiseReductionOn, everywhere("NR1")},
    {CatAction::NoiseReductionOff, everywhere("NR0")},
    // Hamlib has a notch (NT1, NT0) for the TS-2000 and the TS-990 only.
    {CatAction::NotchOn,
     {form("NT10"), form("NT1"), kept("NT10"), kept("NT10"), kept("NT10"), kept("NT10"),
      form("NT1")}},
    {CatAction::NotchOff,
     {form("NT00"), form("NT0"), kept("NT00"), kept("NT00"), kept("NT00"), kept("NT00"),
      form("NT0")}},
    {CatAction::Power, everywhere("PC", 3)},
    {CatAction::RfGain,
     {form("RG", 3), form("RG", 3), form("RG", 3, 100), form("RG", 3), form("RG", 3), form("RG", 3),
      form("RG0", 3)}},
    {CatAction::AfGain,
     {form("AG0", 3), form("AG0", 3), form("AG0", 3), form("AG0", 3), form("AG0", 3), form("AG", 3),
      form("AG0", 3)}},
    // No Kenwood backend has a CW spot.
    {CatAction::CwSpot,
     {form("SWT28"), kept("SWT28"), kept("SWT28"), kept("SWT28"), kept("SWT28"), kept("SWT28"),
      kept("SWT28")}},
    {CatAction::SwrMeterOn,
     {form("RM1"), form("RM1"), form("RM1"), kept("RM1"), kept("RM1"), form("RM21"), form("RM21")}},
    {CatAction::TunerStart, everywhere("AC111")},
    {CatAction::TunerStop, everywhere("AC110")},
    {CatAction::Transmit, everywhere("TX")},
    {CatAction::Receive, everywhere("RX")},
    {CatAction::Identify, everywhere("ID")},
}};

const std::array<ModelInfo, kModels> kModelInfo = {{
    {RadioModel::Unknown, "unknown", "", ""},
    {RadioModel::Ts2000, "TS-2000", "019", ""},
    {RadioModel::Ts480, "TS-480", "020", "ts480"},
    {RadioModel::Ts590s, "TS-590S", "021", "ts590s"},
    {RadioModel::Ts590sg, "TS-590SG", "023", "ts590sg"},
    {RadioModel::Ts890s, "TS-890S", "024", "ts890s"},
    {RadioModel::Ts990s, "TS-990S", "022", "ts990s"},
}};

// The S-meters' calibrations from Hamlib's backends. The TS-890's is the position of the S-units
// on its meter (the same for both of its meter types), S9 at 35 and S9+60 at 70.
constexpr std::array<ScalePoint, 9> kTs480SMeter = {
    {{0, -60}, {3, -48}, {5, -36}, {7, -24}, {9, -12}, {11, 0}, {14, 20}, {17, 40}, {20, 60}}};
constexpr std::array<ScalePoint, 9> kTs590SMeter = {
    {{0, -60}, {3, -48}, {6, -36}, {9, -24}, {12, -12}, {15, 0}, {20, 20}, {25, 40}, {30, 60}}};
constexpr std::array<ScalePoint, 9> kTs890SMeter = {
    {{0, -54}, {3, -48}, {11, -36}, {19, -24}, {27, -12}, {35, 0}, {48, 20}, {59, 40}, {70, 60}}};
constexpr std::array<ScalePoint, 7> kTs990SMeter = {
    {{0, -54}, {4, -48}, {11, -36}, {19, -24}, {27, -12}, {35, 0}, {70, 60}}};

constexpr std::array<ScalePoint, 5> kTs480Swr = {{{0, 10}, {4, 15}, {8, 20}, {12, 30}, {20, 100}}};
constexpr std::array<ScalePoint, 5> kTs590Swr = {{{0, 10}, {6, 15}, {12, 20}, {18, 30}, {30, 100}}};
constexpr std::array<ScalePoint, 5> kTs890Swr = {
    {{0, 10}, {11, 15}, {23, 20}, {35, 30}, {70, 150}}};
constexpr std::array<ScalePoint, 5> kTs990Swr = {{{0, 10}, {7, 15}, {36, 30}, {43, 60}, {70, 100}}};

// The answers today's panel reads: the meter's own digit and the reading, "SM00015;", "RM10015;".
const std::array<MeterForm, kModels> kSMeters = {{
    {"SM0", "SM", 5, 30, {}},
    {"SM0", "SM0", 4, 30, {}},
    {"SM0", "SM0", 4, 20, kTs480SMeter},
    {"SM0", "SM0", 4, 30, kTs590SMeter},
    {"SM0", "SM0", 4, 30, kTs590SMeter},
    {"SM", "SM", 4, 70, kTs890SMeter},
    {"SM0", "SM0", 4, 70, kTs990SMeter},
}};

// The TS-480 and TS-590 answer RM with all their meters, SWR first; the TS-890 and TS-990 with
// every meter switched on, the SWR as meter 2.
const std::array<MeterForm, kModels> kSwrMeters = {{
    {"RM", "RM", 5, 30, {}},
    {"RM", "RM1", 4, 30, {}},
    {"RM", "RM1", 4, 20, kTs480Swr},
    {"RM", "RM1", 4, 30, kTs590Swr},
    {"RM", "RM1", 4, 30, kTs590Swr},
    {"RM", "RM2", 4, 70, kTs890Swr},
    {"RM", "RM2", 4, 70, kTs990Swr},
}};

// The DSP's widths from Hamlib's backends: the high cut of SSB (SH's table) and AM, and the widths
// FW takes in CW. The TS-2000's SSB table starts at 1.4 kHz, the others' at 1 kHz.
constexpr std::array<int, 12> kTs2000SsbHighCuts = {1400, 1600, 1800, 2000, 2200, 2400,
                                                    2600, 2800, 3000, 3400, 4000, 5000};
constexpr std::array<int, 14> kTs590SsbHighCuts = {1000, 1200, 1400, 1600, 1800, 2000, 2200,
                                                   2400, 2600, 2800, 3000, 3400, 4000, 5000};
constexpr std::array<int, 4> kAmHighCuts = {2500, 3000, 4000, 5000};
constexpr std::array<int, 11> kTs2000CwWidths = {50,  80,  100, 150,  200, 300,
                                                 400, 500, 600, 1000, 2000};
constexpr std::array<int, 14> kTs590CwWidths = {50,  80,  100, 150,  200,  250,  300,
                                                400, 500, 600, 1000, 1500, 2000, 2500};

constexpr WidthForm kTensOfHertz = {"BW", WidthCoding::TensOfHertz, 4, {}, true};
constexpr WidthForm kTensOfHertzKept = {"BW", WidthCoding::TensOfHertz, 4, {}, false};
constexpr WidthForm kNoWidth = {};

constexpr WidthForm highCut(std::span<const int> table) {
  return {"SH", WidthCoding::Index, 2, table, true};
}
constexpr WidthForm dspWidth(std::span<const int> widths) {
  return {"FW", WidthCoding::Hertz, 4, widths, true};
}

// By the panel's modes: LSB, USB, CW, AM, FM. FM's width is not the DSP's to set on these radios.
const std::array<std::array<WidthForm, 5>, kModels> kWidths = {{
    {kTensOfHertz, kTensOfHertz, kTensOfHertz, kTensOfHertz, kTensOfHertz},
    {highCut(kTs2000SsbHighCuts), highCut(kTs2000SsbHighCuts), dspWidth(kTs2000CwWidths),
     highCut(kAmHighCuts), kNoWidth},
    {highCut(kTs590SsbHighCuts), highCut(kTs590SsbHighCuts), dspWidth(kTs2000CwWidths),
     highCut(kAmHighCuts), kNoWidth},
    {highCut(kTs590SsbHighCuts), highCut(kTs590SsbHighCuts), dspWidth(kTs590CwWidths),
     highCut(kAmHighCuts), kNoWidth},
    {highCut(kTs590SsbHighCuts), highCut(kTs590SsbHighCuts), dspWidth(kTs590CwWidths),
     highCut(kAmHighCuts), kNoWidth},
    {kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept},
    {kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept, kTensOfHertzKept},
}};

std::size_t column(RadioModel model) {
  const auto m = static_cast<std::size_t>(model);
  return m < static_cast<std::size_t>(kModels) ? m : 0;
}

// Whole-number division rounded to the nearest, halves away from zero.
int dividedRounded(long long numerator, long long denominator) {
  const long long half = denominator / 2;
  return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator
                                         : -((-numerator + half) / denominator));
}

// The scale's value at raw, on the straight line between the points around it.
int interpolated(std::span<const ScalePoint> scale, int raw) {
  if (raw <= scale.front().raw) return scale.front().value;
  for (std::size_t i = 1; i < scale.size(); ++i) {
    const ScalePoint a = scale[i - 1];
    const ScalePoint b = scale[i];
    if (raw <= b.raw) {
      return a.value + dividedRounded(static_cast<long long>(b.value - a.value) * (raw - a.raw),
                                      b.raw - a.raw);
    }
  }
  return scale.back().value;
}

constexpr int kPanelS9 = 27;
constexpr int kPanelFullScale = 30;
constexpr int kS0Db = -54;

// Every answer of a read: the whole text, and each part after a ";".
template <typename Test>
std::optional<std::string_view> firstAnswer(std::string_view text, Test test) {
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view answer = text.substr(at);
    if (test(answer)) return answer;
    const std::size_t end = text.find(';', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return std::nullopt;
}

}  // namespace

const ModelInfo& modelInfo(RadioModel model) {
  return kModelInfo[column(model)];
}

std::string_view identityDigits(std::string_view text) {
  const auto answer = firstAnswer(text, [](std::string_view a) {
    return a.size() >= 6 && a.substr(0, 2) == "ID" && a[5] == ';' && allDigits(a.substr(2, 3));
  });
  return answer ? answer->substr(2, 3) : std::string_view{};
}

RadioModel modelOfIdentity(std::string_view answer) {
  const std::string_view digits = identityDigits(answer);
  if (digits.empty()) return RadioModel::Unknown;
  for (const ModelInfo& info : kModelInfo)
    if (!info.identity.empty() && info.identity == digits) return info.model;
  return RadioModel::Unknown;
}

const CommandForm& commandForm(RadioModel model, CatAction action) {
  return kActions[static_cast<std::size_t>(action)].forms[column(model)];
}

std::optional<std::string> catCommand(RadioModel model, CatAction action, std::int64_t argument) {
  const CommandForm& f = commandForm(model, action);
  if (f.prefix.empty()) return std::nullopt;
  std::string command(f.prefix);
  if (f.digits == 0) return command;
  std::int64_t value = std::max<std::int64_t>(argument, 0);
  if (f.fullScale > 0)
    value = dividedRounded(std::min<std::int64_t>(value, 255) * f.fullScale, 255);
  return command + zeroPadded(value, f.digits);
}

const MeterForm& sMeterForm(RadioModel model) {
  return kSMeters[column(model)];
}
const MeterForm& swrForm(RadioModel model) {
  return kSwrMeters[column(model)];
}

std::optional<int> meterReading(const MeterForm& form, std::string_view text) {
  const auto size = form.answer.size() + static_cast<std::size_t>(form.digits) + 1;
  const auto answer = firstAnswer(text, [&](std::string_view a) {
    return a.size() >= size && a.substr(0, form.answer.size()) == form.answer &&
           allDigits(a.substr(form.answer.size(), static_cast<std::size_t>(form.digits))) &&
           a[size - 1] == ';';
  });
  if (!answer) return std::nullopt;
  const int reading = static_cast<int>(textToNumberCut(answer->substr(size - 5, 4)));
  if (reading > form.fullScale) return std::nullopt;
  return reading;
}

SMeter sMeterOnPanelScale(RadioModel model, int raw) {
  const MeterForm& f = sMeterForm(model);
  if (f.scale.empty()) return {std::clamp(raw, 0, kPanelFullScale), 0};
  const int db = interpolated(f.scale, raw);
  if (db > 0) {
    const int tens = std::min(dividedRounded(db, 10) * 10, 60);
    if (tens > 0) return {kPanelFullScale, tens};
    return {kPanelS9, 0};
  }
  // Two dB a step of the panel's scale: three steps an S-unit of 6 dB.
  return {std::clamp(dividedRounded(db - kS0Db, 2), 0, kPanelS9), 0};
}

int swrOnPanelScale(RadioModel model, int raw) {
  const MeterForm& f = swrForm(model);
  if (f.scale.empty()) return std::clamp(raw, 0, kPanelFullScale);
  const int tenths = interpolated(f.scale, raw);
  return std::clamp(dividedRounded(static_cast<long long>(tenths - 10) * 6, 10), 0,
                    kPanelFullScale);
}

const WidthForm& widthForm(RadioModel model, int panelMode) {
  const auto& forms = kWidths[column(model)];
  if (panelMode < 1 || panelMode > static_cast<int>(forms.size())) return kNoWidth;
  return forms[static_cast<std::size_t>(panelMode - 1)];
}

std::optional<std::string> widthCommand(RadioModel model, int panelMode, int widthHz) {
  const WidthForm& f = widthForm(model, panelMode);
  if (f.prefix.empty() || widthHz <= 0) return std::nullopt;
  const std::string prefix(f.prefix);
  switch (f.coding) {
    case WidthCoding::TensOfHertz:
      return prefix + zeroPadded(widthHz / 10, f.digits);
    case WidthCoding::Hertz:
      if (!f.widthsHz.empty() && std::ranges::find(f.widthsHz, widthHz) == f.widthsHz.end())
        return std::nullopt;
      return prefix + zeroPadded(widthHz, f.digits);
    case WidthCoding::Index: {
      const auto it = std::ranges::find(f.widthsHz, widthHz);
      if (it == f.widthsHz.end()) return std::nullopt;
      return prefix + zeroPadded(it - f.widthsHz.begin(), f.digits);
    }
  }
  return std::nullopt;
}

}  // namespace orvane

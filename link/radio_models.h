// SPDX-License-Identifier: GPL-3.0-or-later
// The Kenwood transceivers the panel tells apart, and what each takes on its CAT port: the command
// form of everything the panel (or a client of its rig server) asks the radio to do, the meters it
// polls and the answers it reads, and how those readings map to the panel's own S-meter and SWR
// scales. All of it is data, looked up by model and action; the logic never asks which radio it
// talks to.
//
// The radio names itself when asked "ID" (see CatLink). Until it has answered, and for a radio that
// does not answer or gives an identity not in the table, the panel uses the forms it was written
// with, the TS-2000's as it has always sent them: RadioModel::Unknown.
//
// Sources: Hamlib's Kenwood backends (kenwood.c, ts2000.c, ts480.c, ts590.c, ts890s.c, ts990s.c),
// which have driven these radios for years, checked against the installed Hamlib 4.5.4 talking to
// radiosim where it has the action. A form nothing confirms for a model is the panel's own, marked
// unconfirmed, and listed as such in docs/guide.md.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/panel_state.h"

namespace orvane {

enum class RadioModel : std::int32_t { Unknown, Ts2000, Ts480, Ts590s, Ts590sg, Ts890s, Ts990s };
inline constexpr int kRadioModelCount = 7;

// Everything the panel asks of the radio, one row of the table each.
enum class CatAction : int {
  FrequencyA,  // argument: hertz
  FrequencyB,
  ReceiveOnVfoA,  // receive and transmit on VFO A (the main receiver): split ends
  SplitOn,        // transmit on VFO B while receiving on A
  SplitOff,
  Mode,  // argument: the Kenwood mode number (1 LSB, 2 USB, 3 CW, 4 FM, 5 AM)
  PowerOn,
  PowerOff,
  PreampOffAtStart,
  PreampOn,
  PreampOff,
  AttenuatorOn,
  AttenuatorOff,
  BlankerOn,
  BlankerOff,
  NoiseReductionOn,
  NoiseReductionOff,
  NotchOn,
  NotchOff,
  Power,   // argument: watts
  RfGain,  // argument: the panel's RF gain, 0..255
  AfGain,  // argument: the panel's AF gain, 0..255
  CwSpot,
  SwrMeterOn,  // shows the SWR meter before a tuning run
  TunerStart,
  TunerStop,
  Transmit,
  Receive,
  Identify,
  Count,
};
inline constexpr int kCatActionCount = static_cast<int>(CatAction::Count);

// One command form: the text before the argument, and how the argument is written after it.
struct CommandForm {
  std::string_view prefix;  // the whole command when there is no argument
  int digits = 0;           // the argument, zero-padded to this many digits (0: none)
  int fullScale = 0;        // the argument's 0..255 stretched to 0..fullScale (0: as it is)
  bool confirmed = true;    // false: the panel's own form, which nothing confirms for this model
};

// A point of a meter's scale: a reading of the radio and what it stands for, dB from S9 (6 dB an
// S-unit, S0 at -54) on an S-meter, the standing-wave ratio in tenths (15 is 1.5:1) on the SWR
// meter.
struct ScalePoint {
  int raw;
  int value;
};

// How a meter is polled and read.
struct MeterForm {
  std::string_view poll;    // "SM0", "SM", "RM"
  std::string_view answer;  // what the wanted answer starts with: "SM0", "RM2"
  int digits;               // after it, before ";"
  int fullScale;            // the highest reading the radio gives
  // The readings on the way to the panel's scale; empty: the reading is on the panel's scale
  // already (the TS-2000's, as the panel was written for it).
  std::span<const ScalePoint> scale;
  bool confirmed = true;
};

// How the filter width is set in one mode.
enum class WidthCoding {
  TensOfHertz,  // the width itself, in tens of hertz
  Hertz,        // the width itself, in hertz
  Index,        // the number of the width in the radio's table
};
struct WidthForm {
  std::string_view prefix;  // empty: the radio takes no width the panel could set in this mode
  WidthCoding coding = WidthCoding::TensOfHertz;
  int digits = 0;
  // Hertz: the widths the radio takes (empty: any); Index: the width in hertz of each number.
  std::span<const int> widthsHz;
  bool confirmed = true;
};

struct ModelInfo {
  RadioModel model;
  std::string_view name;      // "TS-590S"
  std::string_view identity;  // the three digits of its "ID" answer
  // Spoken once after "connected": empty for the radio the panel was written for, and for a radio
  // it does not know.
  std::string_view clip;
};

// The radio on the line, as the panel knows it.
inline RadioModel modelOnTheLine(const PanelState& state) {
  return static_cast<RadioModel>(state.radioModel);
}

const ModelInfo& modelInfo(RadioModel model);
// The model whose answer to "ID" ("ID021;") is in the text read, at its start or after the ";" of
// another answer; Unknown when the identity is not in the table or there is no such answer.
RadioModel modelOfIdentity(std::string_view text);
// The three digits of the first "ID" answer in the text read, or empty when there is none.
std::string_view identityDigits(std::string_view text);

const CommandForm& commandForm(RadioModel model, CatAction action);
// The command (without ";") that does the action on this model, with its argument written in;
// nothing when the model has no such command.
std::optional<std::string> catCommand(RadioModel model, CatAction action,
                                      std::int64_t argument = 0);

const MeterForm& sMeterForm(RadioModel model);
const MeterForm& swrForm(RadioModel model);
// The reading of the form's answer at the start of text, or at the start of an answer later in it
// (radios that answer one RM with every meter); nothing when there is none, or it is off scale.
std::optional<int> meterReading(const MeterForm& form, std::string_view text);

// The S-meter on the panel's scale: 0..27 is S0..S9 at three steps an S-unit, 30 is beyond S9; and
// how far beyond, in dB rounded to tens (0 when the model's scale does not say).
struct SMeter {
  int panel;
  int overS9;
};
SMeter sMeterOnPanelScale(RadioModel model, int raw);
// The SWR on the panel's scale: sixths of the ratio above 1:1, 30 for 6:1 and more.
int swrOnPanelScale(RadioModel model, int raw);

// The width form for the panel's mode (1 LSB .. 5 FM, its ModeTable's numbering).
const WidthForm& widthForm(RadioModel model, int panelMode);
// The command that sets widthHz in the panel's mode, or nothing when the radio cannot take that
// width there.
std::optional<std::string> widthCommand(RadioModel model, int panelMode, int widthHz);

}  // namespace orvane

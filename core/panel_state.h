// SPDX-License-Identifier: GPL-3.0-or-later
// The one record of everything the panel knows: settings from the configuration file, what it last
// sent to the radio, what the radio last answered, and the texts shared between the modules.
// Every module reads and writes it; nothing else holds state.
#pragma once

#include <array>
#include <cstdint>

#include "core/text.h"

namespace orvane {

inline constexpr int kBandCount = 13;
inline constexpr int kModeCount = 5;
inline constexpr int kChannelCount = 10;
// A memory channel whose first character is this is empty.
inline constexpr char kEmptyChannel[] = "9";
// bandIndex for a frequency outside every band.
inline constexpr int kOutOfBand = 99;
// entryMHz while no direct entry has been made in this run.
inline constexpr int kNoEntry = 999;

// A mode of the radio outside ModeTable, which only another program (through the rig server) sets;
// modeIndex then holds the panel's nearest mode, from which the mode key goes on.
enum OtherMode : std::int32_t {
  kNoOtherMode = 0,
  kFskMode = 1,         // RTTY, shown "FSK"
  kCwReverseMode = 2,   // CW on the other sideband, shown "CW-R"
  kFskReverseMode = 3,  // RTTY with mark and space swapped, shown "FSK-R"
};

struct ModeEntry {
  Text command;     // mode-select command, e.g. "MD2"
  Text screenText;  // label at the mode position, e.g. "USB "
};

struct PanelState {
  // Program texts.
  Text version;
  Text banner;
  Text creditLine;
  Text clipDir;

  // Settings read once from the configuration file.
  std::int32_t comPort = 0;
  std::int32_t baudRate = 0;
  std::int32_t powerWatts = 0;
  std::int32_t swrWording = 0;
  Text topBand;
  std::int32_t powerSwitch = 0;
  std::int32_t debugLog = 0;
  std::int32_t configMissing = 0;
  std::int32_t running = 0;

  // Tables; index 0 is unused so that the band and mode numbers of the radio's manual apply.
  std::array<Text, kBandCount + 1> bandTable{};
  std::array<ModeEntry, kModeCount + 1> modeTable{};
  std::array<Text, kChannelCount> memoryChannels{};

  // The exchange with the radio.
  Text commandText;
  ReplyText replyText;
  std::int32_t pollPending = 0;
  std::int32_t pollMeterNext = 0;
  std::int32_t missedPolls = 0;
  // 1 while a frequency poll has gone out whose answer has not been taken yet.
  std::int32_t frequencyPollOutstanding = 0;
  // 1 when a frequency command went out after that poll: its answer, still to come, holds the
  // frequency from before the command.
  std::int32_t frequencyAnswerStale = 0;
  std::int32_t radioConnected = 0;
  // The radio on the line as its answer to "ID" named it (a RadioModel of link/radio_models.h): 0,
  // unknown, until it has answered, and again from every new connection on.
  std::int32_t radioModel = 0;
  // 1 from a connection until the radio has said which it is; the questions "ID" still to ask
  // meanwhile; and 1 when the last poll was such a question (they take turns with the others).
  std::int32_t identityAwaited = 0;
  std::int32_t identityQuestions = 0;
  std::int32_t identityAskedLast = 0;
  // The model in whose forms the radio last had the start state (a RadioModel).
  std::int32_t startStateModel = 0;
  std::int32_t sMeter = 0;
  // How far the S-meter is beyond S9, in dB rounded to tens: 0 when it is not, or when the radio's
  // scale does not tell.
  std::int32_t sMeterOverS9 = 0;
  Text swrText;
  // Ticks since the port was found closed or hung up, or since the last try to open it again.
  std::int32_t reopenTicks = 0;
  // 1 once the port's device has refused the configured speed and format: it is not tried again.
  std::int32_t portRefusedSettings = 0;

  // Frequency and VFOs.
  std::int32_t frequencyHz = 0;
  Text frequencyText;
  Text lastFreqReply;
  Text vfoAReply;
  Text vfoBReply;
  std::int32_t splitState = 0;

  // What the panel last set on the radio.
  std::int32_t bandIndex = 0;
  std::int32_t modeIndex = 0;
  // kNoOtherMode, or the mode of OtherMode the radio is in (modeIndex is then the nearest).
  std::int32_t otherMode = kNoOtherMode;
  std::int32_t afGain = 0;
  std::int32_t rfGain = 0;
  std::int32_t filterWidth = 0;
  std::int32_t preampOn = 0;
  std::int32_t attenuatorOn = 0;
  std::int32_t blankerOn = 0;
  std::int32_t noiseReductionOn = 0;
  std::int32_t notchOn = 0;

  // Keyboard.
  std::int32_t lastKey = 0;
  std::int32_t keyHeld = 0;
  std::int32_t entryState = 0;
  std::int32_t tuning = 0;

  // Direct frequency entry and memory channels.
  std::int32_t entryMHz = 0;
  std::int32_t entryArmed = 0;
  std::int32_t entryPointSeen = 0;
  std::int32_t entryFraction = 0;
  Text entryFractionZeros;
  std::int32_t channelAction = 0;

  // 1 when "memory.dat" is there but could not be read at start: the file is then left exactly as
  // it is, at start and at shut-down, rather than replaced by what this run knows.
  std::int32_t memoryFileKept = 0;
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/announcer.h"

#include <array>
#include <utility>

#include "speech/phrases.h"

namespace orvane {

namespace {
constexpr char kRadioPauseClip[] = "delay";
}  // namespace

std::string Announcer::clipPath(std::string_view name) const {
  std::string path = state_.clipDir.str();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  path += name;
  if (name.find('.') == std::string_view::npos) path += ".wav";
  return path;
}

std::optional<std::string> Announcer::locate(std::string_view name) const {
  return files_.findFile(clipPath(name));
}

void Announcer::playClip(std::string_view name) {
  if (service_ != nullptr) return collect(name, false);
  sound_.stop();
  if (const auto path = locate(name)) sound_.playBlocking(*path);
}

void Announcer::playClipNoWait(std::string_view name) {
  if (service_ != nullptr) return collect(name, true);
  sound_.stop();
  if (const auto path = locate(name)) sound_.playNoWait(*path);
}

void Announcer::pauseForRadio() {
  const bool audible = service_ == nullptr;
  finishPhrase();
  if (audible) sound_.stop();
  if (const auto path = locate(kRadioPauseClip)) sound_.playPause(*path, audible);
}

void Announcer::speakThrough(SpeechService& service,
                             std::function<void(const std::string&)> serviceLost) {
  service_ = &service;
  serviceLost_ = std::move(serviceLost);
}

void Announcer::collect(std::string_view name, bool noWait) {
  phraseClips_.emplace_back(std::string(name), noWait);
  const std::optional<ClipWords> row = clipWords(name);
  if (!row) return;
  const std::string words =
      row->clip == "help" ? helpWords(builtInHelpFile()) : std::string(row->words);
  if (words.empty()) return;
  if (!phrase_.empty()) phrase_ += phraseBreak_ ? ", " : " ";
  phraseBreak_ = false;
  phrase_ += words;
  if (row->priority == SpeechPriority::Notice) phrasePriority_ = SpeechPriority::Notice;
}

void Announcer::finishPhrase() {
  const std::string phrase = std::exchange(phrase_, {});
  const auto clips = std::exchange(phraseClips_, {});
  const SpeechPriority priority = std::exchange(phrasePriority_, SpeechPriority::Message);
  phraseBreak_ = false;
  if (service_ == nullptr || phrase.empty()) return;
  const SpeechResult result = service_->say(phrase, priority);
  if (result == SpeechResult::Taken) return;
  SpeechService* const service = service_;
  // The clip set speaks this phrase, and every later one once the service is gone.
  service_ = nullptr;
  playCollectedClips(clips);
  if (result == SpeechResult::NotReady) {
    service_ = service;
    return;
  }
  if (serviceLost_) serviceLost_(service->whyNot());
}

void Announcer::playCollectedClips(const std::vector<std::pair<std::string, bool>>& clips) {
  for (const auto& [name, noWait] : clips) {
    if (noWait) {
      playClipNoWait(name);
    } else {
      playClip(name);
    }
  }
}

void Announcer::speakDigits(std::string_view text) {
  for (char c : text) playClip(std::string_view(&c, 1));
}

void Announcer::speakMode() {
  const PhrasePart part(*this);
  static constexpr std::array<std::string_view, kModeCount + 1> kModeClips = {
      "", "lsb.wav", "usb.wav", "cw.wav", "am.wav", "fm.wav"};
  // The radio's modes beyond the panel's five, which another program may choose: RTTY is said as
  // such, and a reversed mode as its mode followed by "reverse".
  switch (state_.otherMode) {
    case kFskMode:
      playClip("rtty");
      return;
    case kCwReverseMode:
      playClip("cw.wav");
      playClip("reverse");
      return;
    case kFskReverseMode:
      playClip("rtty");
      playClip("reverse");
      return;
    default:
      break;
  }
  if (state_.modeIndex >= 1 && state_.modeIndex <= kModeCount) {
    playClip(kModeClips[static_cast<std::size_t>(state_.modeIndex)]);
  }
}

void Announcer::speakFrequency() {
  const PhrasePart part(*this);
  const std::string f = state_.frequencyText.str();
  if (f.empty()) {
    playClip("nc");
    return;
  }
  const int point = findText(f, ".");
  if (state_.splitState == 1) playClip("vfob");
  for (int i = 1; i <= point - 1; ++i) playClip(midText(f, i, 1));
  if (rightText(f, 6) == "000000") {
    playClip("mhz");
    return;
  }
  playClip("point");
  // Decimals down to the 10 Hz digit; trailing zeros are not spoken.
  constexpr int kLastSpoken = 11;
  for (int i = point + 1; i <= kLastSpoken; ++i) {
    playClip(midText(f, i, 1));
    if (textToNumberCut(midText(f, i + 1, kLastSpoken - i)) == 0) {
      playClip("mhz");
      return;
    }
  }
  playClip("mhz");
}

void Announcer::speakFilterWidth() {
  const PhrasePart part(*this);
  const std::string digits = digitsOf(state_.filterWidth);
  playClip("bw");
  if (state_.filterWidth >= 100) {
    playClip(midText(digits, 1, 1));
    playClip("point");
    playClip(midText(digits, 2, 1));
  } else {
    playClip("0");
    playClip("point");
    playClip(midText(digits, 1, 1));
  }
  playClip("khz");
}

void Announcer::speakPower() {
  const PhrasePart part(*this);
  speakDigits(digitsOf(state_.powerWatts));
  playClip("watts");
}

void Announcer::speakBand() {
  const PhrasePart part(*this);
  static constexpr std::array<std::string_view, kBandCount + 1> kBandClips = {
      "", "160", "80", "60", "40", "30", "20", "17", "15", "12", "10", "6", "2", "70"};
  const int b = state_.bandIndex;
  if (b >= 1 && b <= kBandCount) {
    playClip(kBandClips[static_cast<std::size_t>(b)]);
  } else if (b == kOutOfBand) {
    playClip("un");
  }
  if (b < kOutOfBand) playClip("metres");
}

}  // namespace orvane

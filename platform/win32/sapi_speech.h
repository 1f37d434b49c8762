// SPDX-License-Identifier: GPL-3.0-or-later
// The system's speech service on Windows: SAPI 5, whose default voice and rate are what the
// operator chose in the Speech control panel (and what Narrator and many screen readers use).
// SAPI speaks asynchronously by itself, so no thread of ours waits for it.
//
// Two voices: readouts and answers on a voice of normal priority, each one purging what that voice
// still has to say, so the next key cuts off a readout still speaking; notices on a voice of alert
// priority, which nothing purges and which the normal voice waits for.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace orvane {

// One SAPI voice as the service uses it: COM's ISpVoice in the program, a fake in tests.
class SapiVoice {
 public:
  virtual ~SapiVoice() = default;
  // Queues text and returns at once; purgeFirst cuts off whatever this voice is saying and has
  // still to say. False when SAPI refused it.
  virtual bool speak(const std::wstring& text, bool purgeFirst) = 0;
  // SAPI's rate, -10 to 10. False when refused.
  virtual bool setRate(long rate) = 0;
};

// Makes a voice of alert or normal priority, or nullptr with the reason in whyNot.
using SapiVoiceMaker = std::function<std::unique_ptr<SapiVoice>(bool alert, std::string& whyNot)>;

// The COM voice (CoCreateInstance of SpVoice, on the calling thread's apartment).
std::unique_ptr<SapiVoice> makeSapiVoice(bool alert, std::string& whyNot);

class SapiSpeech final : public SpeechService {
 public:
  explicit SapiSpeech(SapiVoiceMaker maker = makeSapiVoice) : maker_(std::move(maker)) {}

  void start(const SpeechOptions& options) override;
  SpeechResult say(std::string_view text, SpeechPriority priority) override;
  std::string whyNot() const override { return whyNot_; }

  // SAPI's rate for the panel's: -100..100 on SAPI's -10..10, to the nearest step.
  static long sapiRate(int panelRate);

 private:
  void giveUp(const std::string& why);

  SapiVoiceMaker maker_;
  std::unique_ptr<SapiVoice> messages_;
  std::unique_ptr<SapiVoice> notices_;
  bool started_ = false;
  std::string whyNot_;
};

}  // namespace orvane

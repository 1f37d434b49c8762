// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/sapi_speech.h"

#include <cmath>
#include <cstdio>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_headers.h"
// After windows.h, which they build on.
#include <objbase.h>
#include <sapi.h>

namespace orvane {

namespace {

class ComVoice final : public SapiVoice {
 public:
  explicit ComVoice(ISpVoice* voice) : voice_(voice) {}
  ~ComVoice() override { voice_->Release(); }
  ComVoice(const ComVoice&) = delete;
  ComVoice& operator=(const ComVoice&) = delete;

  bool speak(const std::wstring& text, bool purgeFirst) override {
    DWORD flags = SPF_ASYNC | SPF_IS_NOT_XML;
    if (purgeFirst) flags |= SPF_PURGEBEFORESPEAK;
    return SUCCEEDED(voice_->Speak(text.c_str(), flags, nullptr));
  }
  bool setRate(long rate) override { return SUCCEEDED(voice_->SetRate(rate)); }

 private:
  ISpVoice* voice_;
};

std::string hresultText(const char* what, HRESULT result) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (0x%08lx)", what, static_cast<unsigned long>(result));
  return text;
}

}  // namespace

std::unique_ptr<SapiVoice> makeSapiVoice(bool alert, std::string& whyNot) {
  // S_FALSE (already initialised on this thread) is as good; RPC_E_CHANGED_MODE means COM is up in
  // the other model, which SpVoice works in too.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) {
    whyNot = hresultText("starting COM", init);
    return nullptr;
  }
  ISpVoice* voice = nullptr;
  const HRESULT made = ::CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                          reinterpret_cast<void**>(&voice));
  if (FAILED(made) || voice == nullptr) {
    whyNot = hresultText("SAPI 5 (making an SpVoice)", made);
    return nullptr;
  }
  auto result = std::make_unique<ComVoice>(voice);
  if (alert && FAILED(voice->SetPriority(SPVPRI_ALERT))) {
    whyNot = "SAPI 5 refused an alert voice";
    return nullptr;
  }
  return result;
}

long SapiSpeech::sapiRate(int panelRate) {
  const long rate = std::lround(panelRate / 10.0);
  return rate < -10 ? -10 : (rate > 10 ? 10 : rate);
}

void SapiSpeech::start(const SpeechOptions& options) {
  if (started_) return;
  started_ = true;
  std::string why;
  messages_ = maker_(false, why);
  if (messages_) notices_ = maker_(true, why);
  if (!messages_ || !notices_) return giveUp(why.empty() ? "SAPI 5 is not available" : why);
  // The operator's own rate stays unless the panel was given one.
  if (options.rate && (!messages_->setRate(sapiRate(*options.rate)) ||
                       !notices_->setRate(sapiRate(*options.rate)))) {
    giveUp("SAPI 5 refused the speech rate");
  }
}

SpeechResult SapiSpeech::say(std::string_view text, SpeechPriority priority) {
  if (!started_) giveUp("SAPI 5 was never started");
  if (!whyNot_.empty()) return SpeechResult::Gone;
  const bool notice = priority == SpeechPriority::Notice;
  SapiVoice& voice = notice ? *notices_ : *messages_;
  if (!voice.speak(widen(text), !notice)) {
    giveUp("SAPI 5 refused a phrase");
    return SpeechResult::Gone;
  }
  return SpeechResult::Taken;
}

// Told once; the panel speaks with its clip set from then on.
void SapiSpeech::giveUp(const std::string& why) {
  if (!whyNot_.empty()) return;
  whyNot_ = why;
  messages_.reset();
  notices_.reset();
  std::fprintf(stderr, "orvane: speech service: %s; speaking with the clip set\n", why.c_str());
}

}  // namespace orvane

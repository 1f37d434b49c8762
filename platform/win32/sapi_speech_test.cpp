// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows speech service's logic on fake voices (Wine has no SAPI 5 voice to speak with), and
// the real COM voice asked for under whatever SAPI the system has: it must answer at once either
// way, with a reason when it cannot speak.
#include "platform/win32/sapi_speech.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

struct Spoken {
  bool alert;
  std::wstring text;
  bool purged;
  bool operator==(const Spoken&) const = default;
};

class FakeVoice final : public SapiVoice {
 public:
  FakeVoice(bool alert, std::vector<Spoken>& log, std::vector<long>& rates, bool& refuse)
      : alert_(alert), log_(log), rates_(rates), refuse_(refuse) {}
  bool speak(const std::wstring& text, bool purgeFirst) override {
    if (refuse_) return false;
    log_.push_back({alert_, text, purgeFirst});
    return true;
  }
  bool setRate(long rate) override {
    rates_.push_back(rate);
    return true;
  }

 private:
  bool alert_;
  std::vector<Spoken>& log_;
  std::vector<long>& rates_;
  bool& refuse_;
};

class SapiSpeechTest : public ::testing::Test {
 protected:
  SapiSpeech speech{[this](bool alert, std::string& whyNot) -> std::unique_ptr<SapiVoice> {
    if (!available) {
      whyNot = "no voice here";
      return nullptr;
    }
    return std::make_unique<FakeVoice>(alert, spoken, rates, refuse);
  }};
  bool available = true;
  bool refuse = false;
  std::vector<Spoken> spoken;
  std::vector<long> rates;
};

TEST_F(SapiSpeechTest, MessagesCutEachOtherNoticesAreNeverCut) {
  speech.start({});
  EXPECT_EQ(speech.say("L S B, one four point two megahertz", SpeechPriority::Message),
            SpeechResult::Taken);
  EXPECT_EQ(speech.say("not connected", SpeechPriority::Notice), SpeechResult::Taken);
  EXPECT_EQ(speech.say("preamp on", SpeechPriority::Message), SpeechResult::Taken);
  const std::vector<Spoken> expected = {
      {false, L"L S B, one four point two megahertz", true},
      {true, L"not connected", false},
      {false, L"preamp on", true},
  };
  EXPECT_EQ(spoken, expected);
  EXPECT_TRUE(rates.empty());  // the operator's own rate
  EXPECT_EQ(speech.whyNot(), "");
}

TEST_F(SapiSpeechTest, ThePanelsRateOnSapisScale) {
  speech.start({.rate = -40});
  EXPECT_EQ(rates, (std::vector<long>{-4, -4}));
  struct Case {
    int panel;
    long sapi;
  };
  for (const Case c :
       {Case{0, 0}, Case{100, 10}, Case{-100, -10}, Case{55, 6}, Case{-54, -5}, Case{4, 0}}) {
    EXPECT_EQ(SapiSpeech::sapiRate(c.panel), c.sapi) << c.panel;
  }
}

TEST_F(SapiSpeechTest, NoVoiceMeansGoneWithTheReason) {
  available = false;
  speech.start({});
  EXPECT_EQ(speech.say("connected", SpeechPriority::Notice), SpeechResult::Gone);
  EXPECT_EQ(speech.whyNot(), "no voice here");
}

TEST_F(SapiSpeechTest, AVoiceThatRefusesIsGoneForGood) {
  speech.start({});
  refuse = true;
  EXPECT_EQ(speech.say("band, forty meters", SpeechPriority::Message), SpeechResult::Gone);
  refuse = false;
  EXPECT_EQ(speech.say("band, forty meters", SpeechPriority::Message), SpeechResult::Gone);
  EXPECT_EQ(speech.whyNot(), "SAPI 5 refused a phrase");
  EXPECT_TRUE(spoken.empty());
}

TEST(SapiSpeechReal, AnswersAtOnceWithAReasonWhenItCannotSpeak) {
  SapiSpeech speech;
  speech.start({});
  const SpeechResult result = speech.say("okay", SpeechPriority::Message);
  EXPECT_NE(result, SpeechResult::NotReady);
  EXPECT_EQ(result == SpeechResult::Gone, !speech.whyNot().empty());
}

}  // namespace
}  // namespace orvane

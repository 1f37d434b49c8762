// SPDX-License-Identifier: GPL-3.0-or-later
// The model table's lookups and scales: what the radio's answers mean on the panel's scales, and
// how an argument is written into each model's form.
#include "link/radio_models.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(RadioModels, TheIdentityAnswerNamesTheModelAndNothingElseDoes) {
  const struct {
    const char* answer;
    RadioModel model;
  } cases[] = {
      {"ID019;", RadioModel::Ts2000},
      {"ID020;", RadioModel::Ts480},
      {"ID021;", RadioModel::Ts590s},
      {"ID022;", RadioModel::Ts990s},
      {"ID023;", RadioModel::Ts590sg},
      {"ID024;", RadioModel::Ts890s},
      {"ID024;SM0035;", RadioModel::Ts890s},
      // behind the refusal of a command the radio does not take, or a late poll answer
      {"?;ID021;", RadioModel::Ts590s},
      {"FA00007100000;?;ID020;", RadioModel::Ts480},
      {"?;ID02", RadioModel::Unknown},
      // a TS-570D or another maker's radio that answers like one: not in the table
      {"ID017;", RadioModel::Unknown},
      {"ID000;", RadioModel::Unknown},
      // damaged or cut answers, and a refusal
      {"ID02;", RadioModel::Unknown},
      {"ID0241;", RadioModel::Unknown},
      {"IDX21;", RadioModel::Unknown},
      {"ID021", RadioModel::Unknown},
      {"?;", RadioModel::Unknown},
      {"", RadioModel::Unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(modelOfIdentity(c.answer), c.model);
  }
  EXPECT_EQ(identityDigits("ID017;"), "017");
  EXPECT_EQ(identityDigits("ID17;"), "");
}

TEST(RadioModels, ArgumentsAreWrittenIntoEachModelsForm) {
  const struct {
    RadioModel model;
    CatAction action;
    std::int64_t argument;
    const char* command;
  } cases[] = {
      {RadioModel::Unknown, CatAction::Mode, 5, "MD5"},
      {RadioModel::Ts990s, CatAction::Mode, 1, "OM01"},
      {RadioModel::Ts990s, CatAction::Mode, 4, "OM04"},
      {RadioModel::Unknown, CatAction::Power, 5, "PC005"},
      {RadioModel::Ts990s, CatAction::Power, 100, "PC100"},
      // The TS-480's RF gain runs to 100: the panel's 0..255 is stretched to it, rounded.
      {RadioModel::Ts480, CatAction::RfGain, 255, "RG100"},
      {RadioModel::Ts480, CatAction::RfGain, 235, "RG092"},
      {RadioModel::Ts480, CatAction::RfGain, 128, "RG050"},
      {RadioModel::Ts480, CatAction::RfGain, 15, "RG006"},
      {RadioModel::Ts480, CatAction::RfGain, 0, "RG000"},
      {RadioModel::Ts590s, CatAction::RfGain, 235, "RG235"},
      {RadioModel::Ts990s, CatAction::RfGain, 235, "RG0235"},
      {RadioModel::Unknown, CatAction::AfGain, 50, "AG0050"},
      {RadioModel::Ts890s, CatAction::AfGain, 50, "AG050"},
      // Nothing negative reaches the radio.
      {RadioModel::Unknown, CatAction::RfGain, -20, "RG000"},
      {RadioModel::Unknown, CatAction::FrequencyB, 7050000, "FB00007050000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(catCommand(c.model, c.action, c.argument), c.command);
  }
}

// The actions the panel and its rig server use exist on every model, and a model that is not one
// of the table's rows gets the panel's own forms.
TEST(RadioModels, EveryModelHasEveryActionAndAnUnlistedModelIsTreatedAsUnknown) {
  for (int m = 0; m < kRadioModelCount; ++m) {
    for (int a = 0; a < kCatActionCount; ++a) {
      SCOPED_TRACE(testing::Message() << "model " << m << ", action " << a);
      const auto command = catCommand(static_cast<RadioModel>(m), static_cast<CatAction>(a), 1);
      ASSERT_TRUE(command.has_value());
      EXPECT_GE(command->size(), 2u);
    }
  }
  const auto stranger = static_cast<RadioModel>(99);
  EXPECT_EQ(catCommand(stranger, CatAction::NotchOn), "NT10");
  EXPECT_EQ(modelInfo(stranger).name, "unknown");
}

TEST(RadioModels, MeterAnswersAreFoundWhereTheModelPutsThem) {
  const MeterForm& own = sMeterForm(RadioModel::Unknown);
  const MeterForm& ts890 = sMeterForm(RadioModel::Ts890s);
  const MeterForm& ts590Swr = swrForm(RadioModel::Ts590s);
  const MeterForm& ts890Swr = swrForm(RadioModel::Ts890s);
  const struct {
    const MeterForm* form;
    const char* text;
    std::optional<int> reading;
  } cases[] = {
      {&own, "SM00015;", 15},
      {&own, "SM00031;", std::nullopt},  // beyond the scale: noise
      {&own, "SM0035;", std::nullopt},   // the TS-890's answer is not the panel's own
      {&ts890, "SM0035;", 35},
      {&ts890, "SM0070;", 70},
      {&ts890, "SM0071;", std::nullopt},
      {&ts890, "SM00035;", std::nullopt},
      // every meter of the TS-590 in one answer; SWR first
      {&ts590Swr, "RM10003;RM20012;RM30000;", 3},
      // the TS-890's switched-on meters: ALC first, the SWR after it
      {&ts890Swr, "RM10005;RM20023;", 23},
      {&ts890Swr, "RM10005;", std::nullopt},
      // an answer cut at the end of a read does not count
      {&ts890Swr, "RM10005;RM2002", std::nullopt},
      {&ts890Swr, "RM20023", std::nullopt},
      {&ts890Swr, "RM1000X;RM20023;", 23},
      {&ts890Swr, "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(meterReading(*c.form, c.text), c.reading);
  }
}

// S9 and S9+20 read as "9" and "9 plus 20" on every model's scale; the panel's own radio keeps
// the reading as the panel always took it.
TEST(RadioModels, SMeterReadingsMapToThePanelsScale) {
  const struct {
    RadioModel model;
    int raw;
    int panel;
    int overS9;
  } cases[] = {
      {RadioModel::Unknown, 15, 15, 0},  {RadioModel::Unknown, 30, 30, 0},
      {RadioModel::Ts2000, 27, 27, 0},   {RadioModel::Ts2000, 30, 30, 0},
      {RadioModel::Ts890s, 0, 0, 0},     {RadioModel::Ts890s, 19, 15, 0},  // S5
      {RadioModel::Ts890s, 35, 27, 0},   {RadioModel::Ts890s, 37, 27, 0},  // S9 and 3 dB
      {RadioModel::Ts890s, 41, 30, 10},  {RadioModel::Ts890s, 48, 30, 20},
      {RadioModel::Ts890s, 59, 30, 40},  {RadioModel::Ts890s, 70, 30, 60},
      {RadioModel::Ts990s, 35, 27, 0},   {RadioModel::Ts990s, 70, 30, 60},
      {RadioModel::Ts990s, 11, 9, 0},  // S3
      {RadioModel::Ts480, 11, 27, 0},    {RadioModel::Ts480, 14, 30, 20},
      {RadioModel::Ts480, 0, 0, 0},      {RadioModel::Ts590s, 15, 27, 0},
      {RadioModel::Ts590sg, 20, 30, 20}, {RadioModel::Ts590sg, 25, 30, 40},
      {RadioModel::Ts590s, 9, 15, 0},  // S5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << modelInfo(c.model).name << " " << c.raw);
    const SMeter m = sMeterOnPanelScale(c.model, c.raw);
    EXPECT_EQ(m.panel, c.panel);
    EXPECT_EQ(m.overS9, c.overS9);
  }
}

// The panel speaks the SWR in sixths above 1:1: 2:1 is 6, 3:1 is 12, 6:1 and more 30.
TEST(RadioModels, SwrReadingsMapToThePanelsScale) {
  const struct {
    RadioModel model;
    int raw;
    int panel;
  } cases[] = {
      {RadioModel::Unknown, 15, 15}, {RadioModel::Ts2000, 6, 6},   {RadioModel::Ts480, 8, 6},
      {RadioModel::Ts480, 0, 0},     {RadioModel::Ts480, 20, 30},  {RadioModel::Ts590s, 12, 6},
      {RadioModel::Ts590sg, 18, 12}, {RadioModel::Ts890s, 23, 6},  {RadioModel::Ts890s, 11, 3},
      {RadioModel::Ts890s, 35, 12},  {RadioModel::Ts890s, 70, 30}, {RadioModel::Ts990s, 36, 12},
      {RadioModel::Ts990s, 43, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << modelInfo(c.model).name << " " << c.raw);
    EXPECT_EQ(swrOnPanelScale(c.model, c.raw), c.panel);
  }
}

// The same width in hertz on every model, in the radio's own form, or nothing where the radio
// cannot take it in that mode. Modes are the panel's: 1 LSB, 2 USB, 3 CW, 4 AM, 5 FM.
TEST(RadioModels, FilterWidthsGoOutInHertzOrAsTheRadiosTableNumber) {
  const struct {
    RadioModel model;
    int mode;
    int hz;
    std::optional<std::string> command;
  } cases[] = {
      {RadioModel::Unknown, 1, 2400, "BW0240"},    {RadioModel::Unknown, 5, 500, "BW0050"},
      {RadioModel::Ts590s, 1, 2400, "SH07"},       {RadioModel::Ts590sg, 2, 1000, "SH00"},
      {RadioModel::Ts590s, 2, 2500, std::nullopt}, {RadioModel::Ts590s, 3, 500, "FW0500"},
      {RadioModel::Ts590s, 3, 2500, "FW2500"},     {RadioModel::Ts590s, 3, 700, std::nullopt},
      {RadioModel::Ts590s, 4, 3000, "SH01"},       {RadioModel::Ts590s, 4, 2400, std::nullopt},
      {RadioModel::Ts590s, 5, 2400, std::nullopt}, {RadioModel::Ts480, 1, 3000, "SH10"},
      {RadioModel::Ts480, 3, 2500, std::nullopt},  {RadioModel::Ts480, 3, 2000, "FW2000"},
      {RadioModel::Ts2000, 1, 1200, std::nullopt}, {RadioModel::Ts2000, 1, 1400, "SH00"},
      {RadioModel::Ts2000, 2, 2400, "SH05"},       {RadioModel::Ts890s, 3, 500, "BW0050"},
      {RadioModel::Ts990s, 1, 3000, "BW0300"},     {RadioModel::Ts590s, 0, 2400, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << modelInfo(c.model).name << " mode " << c.mode << " " << c.hz);
    EXPECT_EQ(widthCommand(c.model, c.mode, c.hz), c.command);
  }
}

}  // namespace
}  // namespace orvane

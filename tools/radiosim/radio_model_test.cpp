// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated radio's logic in simulated time: no pty, no clock, every moment chosen by the test.
#include "radio_model.h"

#include <gtest/gtest.h>

#include <string>

namespace radiosim {
namespace {

// A meter answer's reading: "RM10014;" gives 14.
int reading(const std::optional<std::string>& answer) {
  return std::stoi(answer.value().substr(3, 4));
}

// Whether the tuner answer says a run is on: "AC111;" has its run digit at position 4.
bool runOn(const std::optional<std::string>& answer) {
  return answer.value().at(4) == '1';
}

// A reading of 1:1 and a tuner that is still running never meet, however close to the run's end
// the two questions come: a client that waits for the SWR to come down and then asks whether the
// run has ended must hear that it has.
TEST(RadioModelTuner, TheSwrReachesOneToOneExactlyWhenTheRunEnds) {
  for (const int antennaSwr : {1, 2, 7, 20, 30}) {
    SCOPED_TRACE(antennaSwr);
    RadioModel radio;
    radio.setAntennaSwr(antennaSwr);
    radio.handle("RM1", 0.0);
    radio.handle("AC111", 1.0);
    int last = antennaSwr;
    for (double t = 1.0; t < 1.0 + RadioModel::kTunerRunSeconds + 0.5; t += 0.001) {
      const int swr = reading(radio.handle("RM", t));
      const bool running = runOn(radio.handle("AC", t));
      ASSERT_LE(swr, last) << "at " << t;
      ASSERT_EQ(swr == 0, !running) << "at " << t << ": SWR " << swr;
      last = swr;
    }
    EXPECT_EQ(last, 0);
    // The match stays after the run.
    EXPECT_EQ(reading(radio.handle("RM", 10.0)), 0);
  }
}

TEST(RadioModelTuner, StoppedHalfWayKeepsTheMatchFoundSoFar) {
  RadioModel radio;
  radio.setAntennaSwr(20);
  radio.handle("AC111", 0.0);
  radio.handle("AC110", RadioModel::kTunerRunSeconds / 2);
  EXPECT_EQ(reading(radio.handle("RM", 5.0)), 10);
  EXPECT_FALSE(runOn(radio.handle("AC", 5.0)));
}

// The IF answer's 29th character is the transmitter: what a CAT client reads for its PTT state.
char ifTransmitDigit(RadioModel& radio) {
  return radio.handle("IF", 0).value().at(28);
}

TEST(RadioModelTransmit, TxKeysAndRxReleasesInEveryFormTheRadioTakes) {
  RadioModel radio;
  EXPECT_EQ(ifTransmitDigit(radio), '0');
  const struct {
    const char* command;
    int form;
  } keyings[] = {{"TX", -1}, {"TX0", 0}, {"TX1", 1}, {"TX2", 2}};
  for (const auto& k : keyings) {
    SCOPED_TRACE(k.command);
    EXPECT_EQ(radio.handle(k.command, 0), std::nullopt);
    EXPECT_TRUE(radio.state().transmitting);
    EXPECT_EQ(radio.state().transmitForm, k.form);
    EXPECT_EQ(ifTransmitDigit(radio), '1');
    EXPECT_EQ(radio.handle("RX", 0), std::nullopt);
    EXPECT_FALSE(radio.state().transmitting);
    EXPECT_EQ(ifTransmitDigit(radio), '0');
  }
  for (const char* bad : {"TX3", "TX11", "TXA", "RX0"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(radio.handle(bad, 0), "?;");
    EXPECT_FALSE(radio.state().transmitting);
  }
}

TEST(RadioModelTransmit, SwitchedOffItStopsTransmittingAndCannotBeKeyed) {
  RadioModel radio;
  radio.handle("TX", 0);
  radio.handle("PS0", 0);
  EXPECT_FALSE(radio.state().transmitting);
  EXPECT_FALSE(radio.setTransmit(true));
  EXPECT_EQ(radio.handle("TX", 0), std::nullopt);  // not heard at all while off
  radio.handle("PS1", 0);
  EXPECT_FALSE(radio.state().transmitting);
  EXPECT_TRUE(radio.setTransmit(true));
  EXPECT_EQ(ifTransmitDigit(radio), '1');
  radio.setPower(false);
  EXPECT_FALSE(radio.state().transmitting);
}

// Each model as a CAT client meets it: a script of commands and what each is answered ("" for a
// set that is taken silently), in order, on one radio.
struct Exchange {
  const char* command;
  const char* answer;
};

void expectExchanges(Model model, std::initializer_list<Exchange> script) {
  RadioModel radio(model);
  radio.setSignal(radio.sMeterFullScale() / 2);
  for (const Exchange& e : script) {
    SCOPED_TRACE(e.command);
    EXPECT_EQ(radio.handle(e.command, 0).value_or(""), e.answer);
  }
}

TEST(RadioModelModels, TheTs2000TakesThePanelsOwnFormsAndTheDspsWidths) {
  expectExchanges(
      Model::Ts2000,
      {{"ID", "ID019;"},   {"SM0", "SM00015;"}, {"SM", "?;"},         {"RM1", ""},
       {"RM", "RM10000;"}, {"PA00", ""},        {"PA1", ""},          {"PA", "PA10;"},
       {"RA01", ""},       {"RA", "RA0100;"},   {"NB1", ""},          {"NT1", ""},
       {"NT10", ""},       {"AG0050", ""},      {"RG255", ""},        {"PS9", ""},
       {"PS1", ""},        {"BW0240", "?;"},    {"MD2", ""},          {"SH05", ""},
       {"SH12", "?;"},     {"FW0001", ""},      {"MD3", ""},          {"SH05", "?;"},
       {"FW0500", ""},     {"FW0700", "?;"},    {"FW", "FW0500;"},    {"SA", "SA0000000        ;"},
       {"OM01", "?;"},     {"TB1", "?;"},       {"FA00145000000", ""}});
}

TEST(RadioModelModels, TheTs480ReadsItsMetersAllAtOnceOnScalesOfTwenty) {
  expectExchanges(Model::Ts480, {{"ID", "ID020;"},
                                 {"SM0", "SM00010;"},
                                 {"RM1", ""},
                                 {"RM", "RM10000;RM20000;RM30000;"},
                                 {"RG100", ""},
                                 {"RG101", "?;"},
                                 {"RG", "RG100;"},
                                 {"PA00", "?;"},
                                 {"PA0", ""},
                                 {"PS9", "?;"},
                                 {"MD1", ""},
                                 {"SH13", ""},
                                 {"SH14", "?;"},
                                 {"SA", "?;"},
                                 {"FA00145000000", "?;"}});
}

TEST(RadioModelModels, TheTs590TakesFwOnlyInCwAndFskAndNamesItsFirmware) {
  for (const Model m : {Model::Ts590s, Model::Ts590sg}) {
    expectExchanges(m, {{"SM0", "SM00015;"},
                        {"RM", "RM10000;RM20000;RM30000;"},
                        {"MD2", ""},
                        {"FW0000", "?;"},
                        {"SH13", ""},
                        {"MD3", ""},
                        {"FW2500", ""},
                        {"FW0700", "?;"},
                        {"MD6", ""},
                        {"FW0250", ""},
                        {"FV", "FV1.10;"},
                        {"DA", "DA0;"},
                        {"BW0240", "?;"}});
  }
  expectExchanges(Model::Ts590s, {{"ID", "ID021;"}});
  expectExchanges(Model::Ts590sg, {{"ID", "ID023;"}});
}

TEST(RadioModelModels, TheTs890HasItsOwnSMeterBlankersAttenuatorAndSwitchedMeters) {
  expectExchanges(Model::Ts890s, {{"ID", "ID024;"},
                                  {"SM", "SM0035;"},
                                  {"SM0", "?;"},
                                  {"NB1", "NB10;"},
                                  {"NB11", ""},
                                  {"NB1", "NB11;"},
                                  {"NB21", ""},
                                  {"NB2", "NB21;"},
                                  {"NB0", "?;"},
                                  {"RA3", ""},
                                  {"RA", "RA3;"},
                                  {"RA01", "?;"},
                                  {"AG050", ""},
                                  {"AG0050", "?;"},
                                  {"AG", "AG050;"},
                                  // ALC is on from the start; the SWR meter is switched on
                                  {"RM", "RM10000;"},
                                  {"RM1", "?;"},
                                  {"RM21", ""},
                                  {"RM", "RM10000;RM20000;"},
                                  {"RM10", ""},
                                  {"RM", "RM20000;"},
                                  {"TB1", ""},
                                  {"FT", "FT1;"},
                                  {"PA", "PA0;"},
                                  {"BW0240", ""}});
}

TEST(RadioModelModels, TheTs990ChoosesItsReceiverWithCbModeWithOmAndSplitsWithTb) {
  expectExchanges(Model::Ts990s, {{"ID", "ID022;"},
                                  {"MD1", "?;"},
                                  {"FR0", "?;"},
                                  {"FT1", "?;"},
                                  {"OM01", ""},
                                  {"OM0", "OM01;"},
                                  {"IF", "IF00014200000     +000000000010000000;"},
                                  {"CB0", ""},
                                  {"TB1", ""},
                                  {"TB", "TB1;"},
                                  {"CB", "CB0;"},
                                  {"RG0128", ""},
                                  {"RG128", "?;"},
                                  {"RG0", "RG0128;"},
                                  {"AG0050", ""},
                                  {"AG0", "AG0050;"},
                                  {"RA02", ""},
                                  {"RA0", "RA02;"},
                                  {"SM0", "SM00026;"},  // the attenuator pushes the reading down
                                  {"RA00", ""},
                                  {"SM0", "SM00035;"},
                                  {"PC200", ""},
                                  {"PC", "PC200;"},
                                  {"NT1", ""}});
}

// The meters' controls and the drift use the TS-2000's 0..30; every model holds them within its
// own scale.
TEST(RadioModelModels, SignalsAndSwrStayWithinEachModelsScale) {
  for (const Model m : {Model::Ts2000, Model::Ts480, Model::Ts590s, Model::Ts890s, Model::Ts990s}) {
    RadioModel radio(m);
    SCOPED_TRACE(std::string(radio.name()));
    radio.setSignal(1000);
    EXPECT_EQ(radio.sMeterReading(), radio.sMeterFullScale());
    radio.setSignal(-5);
    EXPECT_EQ(radio.sMeterReading(), 0);
    radio.setAntennaSwr(1000);
    EXPECT_EQ(radio.swrReading(), radio.swrFullScale());
  }
  EXPECT_EQ(modelNamed("ts590sg"), Model::Ts590sg);
  EXPECT_EQ(modelNamed("TS-590SG"), std::nullopt);
  EXPECT_EQ(modelNames(), "ts2000|ts480|ts590s|ts590sg|ts890s|ts990s");
}

}  // namespace
}  // namespace radiosim

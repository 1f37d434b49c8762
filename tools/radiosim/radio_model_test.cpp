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

}  // namespace
}  // namespace radiosim

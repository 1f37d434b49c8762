// SPDX-License-Identifier: GPL-3.0-or-later
// The panel and the radio that names itself: asked once each connection, named aloud when it is not
// the panel's own TS-2000, given the start state again in its own forms, and then every key in
// those forms. A radio that does not answer, or one the panel does not know, gets the forms the
// panel has always sent, and the polls never wait for the answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int K(char c) {
  return vk::letter(c);
}

// Switching on and off, so that the power-off at exit is on the wire too.
constexpr char kSwitchingConfig[] =
    "port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 1\r\ndebug 1\r\n";

// The TS-890 and TS-990 read their meters in forms of their own, and refuse the panel's.
void answerLikeTheModel(test::ScriptedRadio& radio) {
  if (radio.identity == "024") {
    radio.answers["SM0;"] = "?;";
    radio.answers["SM;"] = "SM0048;";
    radio.answers["RM;"] = "RM10005;RM20023;";
  } else if (radio.identity == "022") {
    radio.answers["SM0;"] = "SM00048;";
    radio.answers["RM;"] = "RM10005;RM20023;";
  }
}

struct ModelCase {
  const char* name;
  std::string identity;            // "" never answers; "017" a radio the panel does not know
  std::vector<std::string> named;  // what is said after "connected"
  // The start state's commands that go out again once it has named itself.
  std::vector<std::string> startAgain;
  std::vector<std::string> keys;  // the commands of the key script, in order
};

std::ostream& operator<<(std::ostream& os, const ModelCase& c) {
  return os << c.name;
}

// F1..F5, M, A Up, R Down, W Up Up, P Up, T T, Q with switching on: every key that sends.
const std::vector<int> kKeyScript = {vk::kF1, vk::kF1 + 1, vk::kF1 + 2, vk::kF1 + 3, vk::kF1 + 4,
                                     K('M'),  K('A'),      vk::kUp,     K('R'),      vk::kDown,
                                     K('W'),  vk::kUp,     vk::kUp,     K('P'),      vk::kUp,
                                     K('T'),  K('T'),      K('Q')};

// The key script's commands in the panel's own forms.
const std::vector<std::string> kOwnForms = {"PA1",    "RA01",  "NB1",    "NR1",    "NT10",  "MD2",
                                            "AG0060", "RG235", "BW0250", "BW0260", "PC100", "RM1",
                                            "AC111",  "RM1",   "AC110",  "PS9"};

// The TS-590S and TS-590SG take the same forms.
const std::vector<std::string> kTs590Forms = {"PA1", "RA01",   "NB1",   "NR1",   "NT10",
                                              "MD2", "AG0060", "RG235", "SH08",  "PC100",
                                              "RM1", "AC111",  "RM1",   "AC110", "PS0"};

class EveryModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(EveryModel, IsAskedNamedGivenTheStartStateAgainAndDrivenInItsOwnForms) {
  const ModelCase& c = GetParam();
  PanelHarness h(kSwitchingConfig);
  h.radio.identity = c.identity;
  answerLikeTheModel(h.radio);
  h.fake.window.queueTicks(5);
  std::size_t keysStart = 0;
  h.fake.window.beforeEachEvent = [&](const WindowEvent& e) {
    if (keysStart == 0 && e.kind == WindowEventKind::KeyDown) keysStart = h.mark();
  };
  for (int k : kKeyScript) h.fake.window.queueKey(k);
  h.run();

  // Between "connected" and the first key: what is said, and what goes out besides the polls.
  std::vector<std::string> beforeKeys = h.storyFrom(0);
  beforeKeys.resize(beforeKeys.size() - h.storyFrom(keysStart).size());
  const auto connected = std::find(beforeKeys.begin(), beforeKeys.end(), "connected");
  ASSERT_NE(connected, beforeKeys.end());
  std::vector<std::string> said;
  std::vector<std::string> sentAgain;
  for (auto line = connected + 1; line != beforeKeys.end(); ++line) {
    if (line->starts_with("> ")) {
      sentAgain.push_back(line->substr(2, line->size() - 3));
    } else if (!line->starts_with("print")) {
      said.push_back(*line);
    }
  }
  EXPECT_THAT(said, ElementsAreArray(c.named));
  EXPECT_THAT(sentAgain, ElementsAreArray(c.startAgain));

  std::vector<std::string> wire = h.wireFrom(keysStart);
  for (std::string& command : wire) command.pop_back();  // the ";"
  EXPECT_THAT(wire, ElementsAreArray(c.keys));
}

INSTANTIATE_TEST_SUITE_P(
    Models, EveryModel,
    ::testing::Values(
        // The hidden edge: no answer, or an identity not in the table, and the forms of today.
        ModelCase{"silent_to_id", "", {}, {}, kOwnForms},
        ModelCase{"unknown_identity", "017", {}, {}, kOwnForms},
        // The panel's own radio: not named, nothing sent again; Hamlib's notch and the DSP's
        // high cut, whose 2.5 kHz it does not have.
        ModelCase{"ts2000",
                  "019",
                  {},
                  {},
                  {"PA1", "RA01", "NB1", "NR1", "NT1", "MD2", "AG0060", "RG235", "SH06", "PC100",
                   "RM1", "AC111", "RM1", "AC110", "PS9"}},
        ModelCase{"ts480",
                  "020",
                  {"ts480"},
                  {"PA0", "RG100"},
                  {"PA1", "RA01", "NB1", "NR1", "NT10", "MD2", "AG0060", "RG092", "SH08", "PC100",
                   "RM1", "AC111", "RM1", "AC110", "PS0"}},
        ModelCase{"ts590s", "021", {"ts590s"}, {"PA0"}, kTs590Forms},
        ModelCase{"ts590sg", "023", {"ts590sg"}, {"PA0"}, kTs590Forms},
        ModelCase{"ts890s",
                  "024",
                  {"ts890s"},
                  {"RA0", "NB10", "AG050"},
                  {"PA1", "RA1", "NB11", "NR1", "NT10", "MD2", "AG060", "RG235", "BW0250", "BW0260",
                   "PC100", "RM21", "AC111", "RM21", "AC110", "PS0"}},
        ModelCase{"ts990s",
                  "022",
                  {"ts990s"},
                  {"OM01", "PA0", "CB0", "RG0255"},
                  {"PA1", "RA01", "NB1", "NR1", "NT1", "OM02", "AG0060", "RG0235", "BW0250",
                   "BW0260", "PC100", "RM21", "AC111", "RM21", "AC110", "PS0"}}),
    [](const auto& p) { return std::string(p.param.name); });

// The question goes out in place of a poll and nothing waits for its answer: a radio that never
// answers is asked three times, every other poll, each question costing one silent tick, and then
// the frequency and the meter are polled as before, in the panel's own forms.
TEST(RadioIdentity, PollsGoOnAfterQuestionsThatAreNeverAnswered) {
  PanelHarness h;
  h.radio.identity.clear();
  h.fake.window.queueTicks(16);
  h.run();
  std::vector<std::string> wire = h.wireFrom(0, /*withPolls=*/true);
  wire.erase(wire.begin(), wire.begin() + 9);  // the start state
  EXPECT_THAT(wire, ElementsAre("FA;", "ID;", "SM0;", "ID;", "FA;", "ID;", "SM0;", "FA;", "SM0;",
                                "FA;", "SM0;", "FA;", "SM0;"));
  EXPECT_EQ(h.state().radioModel, 0);
  EXPECT_EQ(h.state().missedPolls, 0);
}

// A slow radio: its answer comes after the question has been asked again, and the second answer
// after that. The radio is named once, and its start state sent again once.
TEST(RadioIdentity, ASecondAnswerNamesTheRadioNoSecondTime) {
  PanelHarness h;
  h.radio.identity = "024";
  answerLikeTheModel(h.radio);
  h.radio.answers["ID;"] = "";  // the answers come late, by hand
  h.atTicks({{4, [&] { h.fake.serial.feed(3, "ID024;"); }},
             {6, [&] { h.fake.serial.feed(3, "ID024;"); }}});
  h.fake.window.queueTicks(10);
  h.run();
  std::vector<std::string> story = h.storyFrom(0);
  EXPECT_EQ(std::count(story.begin(), story.end(), "ts890s"), 1);
  EXPECT_EQ(std::count(story.begin(), story.end(), "> NB10;"), 1);
}

// A radio that refuses a command of the start state answers "?;", which may come in the same read
// as its answer to the question: the answer is found behind it.
TEST(RadioIdentity, TheNameIsFoundBehindTheRefusalOfAStartCommand) {
  PanelHarness h;
  h.radio.identity = "021";
  h.radio.answers["ID;"] = "?;ID021;";
  h.fake.window.queueTicks(5);
  h.run();
  EXPECT_EQ(h.state().radioModel, static_cast<std::int32_t>(RadioModel::Ts590s));
}

// Once named, the meters are polled and read in the radio's forms: the TS-890's "SM" and its SWR
// as meter 2 among the meters switched on, both on its 0..70 scales.
TEST(RadioIdentity, MetersAreReadOnTheNamedRadiosScales) {
  PanelHarness h;
  h.radio.identity = "024";
  answerLikeTheModel(h.radio);
  h.fake.window.queueTicks(5);
  h.queueKeys({K('S'), K('T')});
  h.fake.window.queueTicks(4);
  h.queueKeys({K('S'), K('T')});
  const std::vector<std::string> story = h.runFromFirstKey(/*withPolls=*/true, false);
  EXPECT_THAT(story, ElementsAre("s", "9", "plus", "20", "tune", "> RM21;", "on", "> AC111;",
                                 "> FA;", "> RM;", "> FA;", "> RM;", "SWR", "2", "point", "0", "21",
                                 "tune", "> RM21;", "off", "> AC110;"));
}

TEST(RadioIdentity, SMeterBeyondS9IsSpokenWithItsDecibelsWhereTheScaleTellsThem) {
  const struct {
    const char* identity;
    const char* answer;
    std::vector<std::string> heard;
  } cases[] = {
      {"024", "SM0035;", {"s", "9"}},
      {"024", "SM0070;", {"s", "9", "plus", "60"}},
      {"024", "SM0053;", {"s", "9", "plus", "30"}},
      {"022", "SM00057;", {"s", "9", "plus", "40"}},
      {"020", "SM00014;", {"s", "9", "plus", "20"}},
      // The panel's own radio: its top reading as it always was.
      {"019", "SM00030;", {"s", "9", "plus"}},
      {"019", "SM00015;", {"s", "5"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    PanelHarness h;
    h.radio.identity = c.identity;
    answerLikeTheModel(h.radio);
    h.radio.answers[c.identity == std::string("024") ? "SM;" : "SM0;"] = c.answer;
    h.fake.window.queueTicks(5);
    h.queueKeys({K('S')});
    EXPECT_THAT(h.runFromFirstKey(false, false), ElementsAreArray(c.heard));
  }
}

// Another radio may be on the line after a loss: it is asked again, its predecessor's forms are
// dropped until it answers, and it is named.
TEST(RadioIdentity, AfterALossTheRadioIsAskedAgainAndMayBeAnother) {
  PanelHarness h;
  h.radio.identity = "021";
  h.atTicks({{6, [&] { h.radio.silent = true; }}, {50, [&] {
                                                     h.radio.silent = false;
                                                     h.radio.identity = "024";
                                                     answerLikeTheModel(h.radio);
                                                   }}});
  h.fake.window.queueTicks(60);
  h.queueKeys({vk::kF1 + 2});
  h.run();
  std::vector<std::string> story = h.storyFrom(0);
  std::erase_if(story, [](const std::string& line) {
    return line.starts_with("print") || line.starts_with("window.") ||
           (line.starts_with("> ") && line != "> NB11;" && line != "> NB1;" && line != "> NB10;");
  });
  EXPECT_THAT(story, ElementsAre("ts", "1", "point", "9", "connected", "ts590s", "nc", "connected",
                                 "ts890s", "> NB10;", "nb", "on", "> NB11;", "delay"));
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The words the speech service is given for each clip, and the spoken help.
#include "speech/phrases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "speech/vocabulary.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Clips that are no speech of their own: a pause, and the help clip, spoken from the help file.
bool wordless(std::string_view clip) {
  return clip == "delay" || clip == "help";
}

TEST(ClipWords, EveryClipOfThePanelHasWords) {
  for (std::string_view name : kClipVocabulary) {
    SCOPED_TRACE(name);
    const auto row = clipWords(name);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->words.empty(), wordless(row->clip));
  }
}

// The clip generator's word list names every clip the set holds, including clips that another
// part of the panel has just added: each needs a row, or the service would leave it unsaid.
TEST(ClipWords, EveryClipOfTheGeneratorsWordListHasARow) {
  std::ifstream file(std::string(ORVANE_SOURCE_DIR) + "/tools/clips/words.txt");
  ASSERT_TRUE(file.is_open());
  std::string line;
  int clips = 0;
  while (std::getline(file, line)) {
    if (line.empty() || line.front() == '#') continue;
    const std::string name = line.substr(0, line.find_first_of(" \t"));
    SCOPED_TRACE(name);
    EXPECT_TRUE(clipWords(name).has_value());
    ++clips;
  }
  EXPECT_GE(clips, static_cast<int>(kClipVocabulary.size()) - 1);
}

TEST(ClipWords, NamesAsThePanelPlaysThem) {
  struct Case {
    std::string_view name;
    std::optional<std::string_view> words;
  };
  const Case cases[] = {
      {"on", "on"},
      {"on.wav", "on"},
      {"ON.WAV", "on"},
      {"Power", "power"},
      {"SWR", "S W R"},
      {"EF", "enter frequency"},
      {"usb.wav", "U S B"},
      {"nc", "not connected"},
      {"ton", "tuner on"},
      {"70", "seventy centi"},
      {" ", std::nullopt},
      {"", std::nullopt},
      {".wav", std::nullopt},
      {"no-such-clip", std::nullopt},
      {"on.wav.wav", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto row = clipWords(c.name);
    ASSERT_EQ(row.has_value(), c.words.has_value());
    if (row) {
      EXPECT_EQ(row->words, *c.words);
    }
  }
}

// The state of the link to the radio, the transmitter keyed or unkeyed by another program, and the
// panel's first and last words are never cut off; everything else gives way to the next key.
TEST(ClipWords, OnlyLinkStateTransmitterAndFirstAndLastWordsAreNotices) {
  std::vector<std::string_view> notices;
  for (const ClipWords& row : clipWordsTable()) {
    if (row.priority == SpeechPriority::Notice) notices.push_back(row.clip);
  }
  EXPECT_THAT(notices, ::testing::UnorderedElementsAre("connected", "nc", "transmit", "receive",
                                                       "ts", "cfgnf", "quit"));
}

TEST(HelpWords, LinesJoinedAndCommentsLeftOut) {
  EXPECT_EQ(helpWords("# about\r\nKeys.\r\n\r\n  F, frequency.  \n#Q, hidden\nQ, quit."),
            "Keys. F, frequency. Q, quit.");
  EXPECT_EQ(helpWords(""), "");
  EXPECT_EQ(helpWords("# only a comment"), "");
}

TEST(HelpWords, TheBuiltInHelpIsTheHelpFile) {
  std::ifstream file(std::string(ORVANE_SOURCE_DIR) + "/tools/clips/help.txt");
  std::stringstream contents;
  contents << file.rdbuf();
  EXPECT_EQ(builtInHelpFile(), contents.str());
  const std::string words = helpWords(builtInHelpFile());
  EXPECT_THAT(words, HasSubstr("Q, quit."));
  EXPECT_THAT(words, Not(HasSubstr("#")));
}

}  // namespace
}  // namespace orvane

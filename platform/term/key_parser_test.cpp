// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/key_parser.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/keycodes.h"
#include "platform/term/repeat_filter.h"

namespace orvane::term {
namespace {

using std::chrono::milliseconds;

const KeyClock::time_point kStart{};

KeyClock::time_point at(int ms) {
  return kStart + milliseconds(ms);
}

std::vector<int> codes(const std::vector<TypedKey>& keys) {
  std::vector<int> result;
  for (const TypedKey& key : keys) result.push_back(key.key);
  return result;
}

// What one chunk of bytes gives, with nothing typed after it.
std::vector<int> keysOf(std::string_view bytes) {
  KeyParser parser;
  std::vector<TypedKey> keys;
  parser.feed(bytes, at(0), keys);
  parser.expire(at(1000), keys);
  return codes(keys);
}

struct SequenceCase {
  const char* what;
  const char* bytes;
  std::vector<int> expected;
};

const int kF1 = vk::kF1;
const int kEsc = vk::kEscape;

const SequenceCase kSequences[] = {
    // Characters
    {"letters in either case", "fF", {'F', 'F'}},
    {"digits", "09", {'0', '9'}},
    {"Enter as CR and as LF", "\r\n", {vk::kEnter, vk::kEnter}},
    {"full stop", ".", {vk::kFullStop}},
    {"equals and plus are one key", "=+", {vk::kEqualsPlus, vk::kEqualsPlus}},
    {"minus", "-", {vk::kMinus}},
    {"slash and space", "/ ", {vk::kSlash, vk::kSpace}},
    {"Backspace as DEL and as Ctrl-H", "\x7f\b", {8, 8}},
    {"Ctrl with a letter is the letter", "\x06\x11", {'F', 'Q'}},
    {"Ctrl-C", "\x03", {kInterruptKey}},
    {"characters that are another key on another layout", "!&_?\xc3\xa9", {}},
    // xterm and its followers (normal and application cursor modes)
    {"xterm arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {vk::kUp, vk::kDown, vk::kRight, vk::kLeft}},
    {"xterm application-mode arrows", "\x1bOA\x1bOD", {vk::kUp, vk::kLeft}},
    {"Page Up and Page Down", "\x1b[5~\x1b[6~", {vk::kPageUp, vk::kPageDown}},
    {"xterm F1..F4", "\x1bOP\x1bOQ\x1bOR\x1bOS", {kF1, kF1 + 1, kF1 + 2, kF1 + 3}},
    {"xterm F5 and F6", "\x1b[15~\x1b[17~", {kF1 + 4, kF1 + 5}},
    {"xterm F12", "\x1b[24~", {vk::kF12}},
    {"F10 is a system key", "\x1b[21~", {}},
    {"Ctrl with an arrow", "\x1b[1;5C", {vk::kRight}},
    {"Shift with F1", "\x1b[1;2P", {kF1}},
    {"Ctrl with F5", "\x1b[15;5~", {kF1 + 4}},
    {"Alt with an arrow gives nothing", "\x1b[1;3A", {}},
    {"Alt with F5 gives nothing", "\x1b[15;3~", {}},
    {"Alt with a letter gives nothing, the letter alone its key", "\x1btt", {'T'}},
    {"modifier straight after O", "\x1bO5P", {kF1}},
    {"keypad Enter in application mode", "\x1bOM", {vk::kEnter}},
    // The Linux console
    {"console F1..F5",
     "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
     {kF1, kF1 + 1, kF1 + 2, kF1 + 3, kF1 + 4}},
    {"console F6", "\x1b[17~", {kF1 + 5}},
    {"console Home and End", "\x1b[1~\x1b[4~", {36, 35}},
    // rxvt and VT220
    {"rxvt F1..F5",
     "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
     {kF1, kF1 + 1, kF1 + 2, kF1 + 3, kF1 + 4}},
    {"rxvt Ctrl and Shift with a numbered key", "\x1b[5^\x1b[6$", {vk::kPageUp, vk::kPageDown}},
    {"rxvt Shift with an arrow", "\x1b[a", {vk::kUp}},
    // What is not a key
    {"unknown sequence read whole", "\x1b[200~q", {'Q'}},
    {"a terminal's report read whole", "\x1b[?1;2cq", {'Q'}},
    {"unknown final after O", "\x1bOzq", {'Q'}},
    {"overlong sequence read whole", "\x1b[11111111111111111111111111111111111111~q", {'Q'}},
    {"a control character cuts a sequence off and counts", "\x1b[1\x03", {kInterruptKey}},
    {"Escape twice", "\x1b\x1b", {kEsc, kEsc}},
};

TEST(KeyParser, SequencesAndCharactersGiveTheWindowsKeyCodes) {
  for (const SequenceCase& c : kSequences) {
    EXPECT_EQ(keysOf(c.bytes), c.expected) << c.what;
  }
}

TEST(KeyParser, LoneEscapeIsTheEscapeKeyOnceItsWaitIsOver) {
  KeyParser parser;
  std::vector<TypedKey> keys;
  parser.feed("\x1b", at(0), keys);
  parser.expire(at(99), keys);
  EXPECT_TRUE(keys.empty()) << "still waiting for the rest of a sequence";
  ASSERT_EQ(parser.deadline(), at(100));
  parser.expire(at(100), keys);
  ASSERT_EQ(codes(keys), std::vector<int>{kEsc});
  EXPECT_EQ(keys[0].at, at(0)) << "the Escape key counts from when it came";
  EXPECT_FALSE(parser.deadline());
}

TEST(KeyParser, LoneEscapeDoesNotSwallowTheNextKey) {
  // Typed after the wait, even a byte that would begin a sequence is a key of its own.
  for (const auto& [next, expected] : {std::pair<const char*, std::vector<int>>{"t", {kEsc, 'T'}},
                                       {"O", {kEsc, 'O'}},
                                       {"[", {kEsc}}}) {
    KeyParser parser;
    std::vector<TypedKey> keys;
    parser.feed("\x1b", at(0), keys);
    parser.feed(next, at(250), keys);
    parser.expire(at(1000), keys);
    EXPECT_EQ(codes(keys), expected) << next;
  }
}

TEST(KeyParser, SequenceSplitAcrossReadsIsOneKey) {
  KeyParser parser;
  std::vector<TypedKey> keys;
  parser.feed("\x1b", at(0), keys);
  parser.feed("[1", at(30), keys);
  parser.feed("5", at(60), keys);
  parser.feed("~f", at(90), keys);
  EXPECT_EQ(codes(keys), (std::vector<int>{kF1 + 4, 'F'}));
}

TEST(KeyParser, SequenceCutOffByItsWaitGivesNothing) {
  KeyParser parser;
  std::vector<TypedKey> keys;
  parser.feed("\x1b[", at(0), keys);
  parser.feed("q", at(150), keys);
  EXPECT_EQ(codes(keys), std::vector<int>{'Q'});
}

// --- Held keys -------------------------------------------------------------------------------

struct Arrival {
  int key;
  int ms;
};

// A key held down: pressed at `from`, then repeated after `delay` every `period`, `repeats` times.
std::vector<Arrival> held(int key, int from, int delay, int period, int repeats) {
  std::vector<Arrival> arrivals{{key, from}};
  for (int i = 0; i < repeats; ++i) arrivals.push_back({key, from + delay + i * period});
  return arrivals;
}

// The presses a run of arrivals gives, everything decided a second after the last.
std::vector<int> pressesOf(const std::vector<Arrival>& arrivals) {
  RepeatFilter filter;
  std::vector<int> presses;
  for (const Arrival& a : arrivals) filter.push(TypedKey{a.key, at(a.ms)}, presses);
  filter.expire(at(arrivals.back().ms + 1000), presses);
  return presses;
}

TEST(RepeatFilter, HeldKeyIsOnePressAtTheUsualRepeatSettings) {
  // Linux console 250 ms / 30 per second; X server 660 ms / 25; GNOME 500 ms / 33.
  for (const auto& [delay, period] : {std::pair{250, 33}, {660, 40}, {500, 30}}) {
    EXPECT_EQ(pressesOf(held('M', 0, delay, period, 12)), std::vector<int>{'M'})
        << delay << " ms, every " << period << " ms";
  }
}

TEST(RepeatFilter, SameKeyPressedAgainCountsAgain) {
  EXPECT_EQ(pressesOf({{'0', 0}, {'0', 150}, {'0', 300}}), (std::vector<int>{'0', '0', '0'}));
  // Released after a hold, pressed again.
  std::vector<Arrival> twice = held(vk::kUp, 0, 250, 33, 5);
  twice.push_back({vk::kUp, 600});
  EXPECT_EQ(pressesOf(twice), (std::vector<int>{vk::kUp, vk::kUp}));
}

TEST(RepeatFilter, PressOfTheSameKeyWaitsToBeToldFromTheFirstRepeat) {
  RepeatFilter filter;
  std::vector<int> presses;
  filter.push(TypedKey{'0', at(0)}, presses);
  filter.push(TypedKey{'0', at(200)}, presses);
  EXPECT_EQ(presses, std::vector<int>{'0'});
  EXPECT_EQ(filter.deadline(), at(200) + RepeatFilter::kRepeatGap);
  filter.expire(at(279), presses);
  EXPECT_EQ(presses.size(), 1u);
  filter.expire(at(280), presses);
  EXPECT_EQ(presses, (std::vector<int>{'0', '0'}));
}

TEST(RepeatFilter, AnotherKeyKeepsTheOrder) {
  // "0" "0" "." typed quickly, and a key pressed while another one was repeating.
  EXPECT_EQ(pressesOf({{'0', 0}, {'0', 150}, {vk::kFullStop, 170}}),
            (std::vector<int>{'0', '0', vk::kFullStop}));
  std::vector<Arrival> rolled = held(vk::kRight, 0, 500, 30, 4);
  rolled.push_back({vk::kUp, 610});
  EXPECT_EQ(pressesOf(rolled), (std::vector<int>{vk::kRight, vk::kUp}));
}

TEST(RepeatFilter, WithoutRepeatsEveryKeyIsAPressAtOnce) {
  RepeatFilter filter(milliseconds(0));
  std::vector<int> presses;
  for (int ms : {0, 1, 2}) filter.push(TypedKey{'0', at(ms)}, presses);
  EXPECT_EQ(presses, (std::vector<int>{'0', '0', '0'}));
  EXPECT_FALSE(filter.deadline());
}

}  // namespace
}  // namespace orvane::term

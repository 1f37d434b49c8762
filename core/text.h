// SPDX-License-Identifier: GPL-3.0-or-later
// Texts and numbers as the panel handles them: bounded texts, 1-based text operations, and the
// lenient text-to-number conversion used for the configuration file and the radio's answers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// A text that never holds more than Max characters: every assignment keeps the first Max
// characters and drops the rest, so an overlong radio answer or configuration line can never
// grow a field beyond what the rest of the panel expects.
template <std::size_t Max>
class BoundedText {
 public:
  static constexpr std::size_t kMax = Max;

  BoundedText() = default;
  BoundedText(std::string_view s) : s_(s.substr(0, std::min(s.size(), Max))) {}  // NOLINT
  BoundedText(const char* s) : BoundedText(std::string_view(s)) {}               // NOLINT
  BoundedText(const std::string& s) : BoundedText(std::string_view(s)) {}        // NOLINT

  BoundedText& operator=(std::string_view s) {
    s_.assign(s.substr(0, std::min(s.size(), Max)));
    return *this;
  }
  BoundedText& operator=(const char* s) { return *this = std::string_view(s); }
  BoundedText& operator=(const std::string& s) { return *this = std::string_view(s); }
  BoundedText& operator+=(std::string_view s) { return *this = s_ + std::string(s); }

  const std::string& str() const { return s_; }
  operator std::string_view() const { return s_; }  // NOLINT
  bool empty() const { return s_.empty(); }
  std::size_t size() const { return s_.size(); }
  void clear() { s_.clear(); }

  friend bool operator==(const BoundedText& a, std::string_view b) { return a.s_ == b; }

 private:
  std::string s_;
};

// Ordinary texts of the panel state hold at most 254 characters.
using Text = BoundedText<254>;
// The text of the last read from the radio holds up to 255 bytes.
using ReplyText = BoundedText<255>;

// The first n characters (all of them when the text is shorter; none for n <= 0).
std::string leftText(std::string_view s, int n);
// The last n characters (the whole text when it is shorter; none for n <= 0).
std::string rightText(std::string_view s, int n);
// n characters from 1-based position p: empty when p lies beyond the end, cut at the end.
std::string midText(std::string_view s, int p, int n);
// From 1-based position p to the end.
std::string midText(std::string_view s, int p);
// 1-based position of needle within s, 0 when absent.
int findText(std::string_view s, std::string_view needle);

// The first count lines of a text whose lines end in CR LF, LF or CR. Lines missing at the end
// are empty; every line is cut to maxLength characters.
std::vector<std::string> firstLines(std::string_view contents, int count, std::size_t maxLength);

// The lenient conversion: leading blanks and tabs skipped, an optional "-", digits, an optional
// "." with fraction digits; it stops at the first other character and gives 0 without a leading
// digit. A value beyond the 32-bit range saturates at INT32_MIN or INT32_MAX.
std::int32_t textToNumberCut(std::string_view s);      // fraction cut off
std::int32_t textToNumberRounded(std::string_view s);  // nearest whole number, halves to even

// Whether the text is one or more decimal digits and nothing else.
bool allDigits(std::string_view s);
// "FA" or "FB" and the frequency in hertz as 11 digits: the frequency command the radio takes and
// the frequency it answers. The only text a remembered VFO, band slot or channel may hold.
bool isFrequencyCommand(std::string_view s);

// A whole number as text: one blank (or "-") followed by its decimal digits, e.g. " 42", "-7".
std::string numberToText(std::int64_t value);
// The decimal digits of value without sign or leading zeros: 100 -> "100", 0 -> "0".
std::string digitsOf(std::int64_t value);
// The value in decimal, zero-padded on the left to width digits ("-" first when negative).
// A wider value is not cut: the caller sees all its digits.
std::string zeroPadded(std::int64_t value, int width);

}  // namespace orvane

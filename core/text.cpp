// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text.h"

#include <algorithm>
#include <limits>

namespace orvane {

std::string leftText(std::string_view s, int n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, std::min<std::size_t>(s.size(), static_cast<std::size_t>(n))));
}

std::string rightText(std::string_view s, int n) {
  if (n <= 0) return {};
  const auto count = std::min<std::size_t>(s.size(), static_cast<std::size_t>(n));
  return std::string(s.substr(s.size() - count));
}

std::string midText(std::string_view s, int p, int n) {
  if (p < 1 || n <= 0 || static_cast<std::size_t>(p) > s.size()) return {};
  return std::string(s.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n)));
}

std::string midText(std::string_view s, int p) {
  if (p < 1 || static_cast<std::size_t>(p) > s.size()) return {};
  return std::string(s.substr(static_cast<std::size_t>(p - 1)));
}

int findText(std::string_view s, std::string_view needle) {
  const auto at = s.find(needle);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::vector<std::string> firstLines(std::string_view contents, int count, std::size_t maxLength) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (static_cast<int>(lines.size()) < count && i < contents.size()) {
    const std::size_t found = contents.find_first_of("\r\n", i);
    const std::size_t stop = found == std::string_view::npos ? contents.size() : found;
    lines.emplace_back(contents.substr(i, std::min(stop - i, maxLength)));
    if (stop == contents.size()) break;
    i = stop + 1;
    if (contents[stop] == '\r' && i < contents.size() && contents[i] == '\n') ++i;
  }
  lines.resize(static_cast<std::size_t>(count));
  return lines;
}

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The parts of a converted number before it is fitted into 32 bits. The whole part saturates
// well above the 32-bit range so that later clamping still sees "too large".
struct ParsedNumber {
  bool negative = false;
  std::int64_t whole = 0;
  int fractionVsHalf = 0;  // -1 below one half, 0 exactly one half, +1 above
};

ParsedNumber parseNumber(std::string_view s) {
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  ParsedNumber n;
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i < s.size() && s[i] == '-') {
    n.negative = true;
    ++i;
  }
  if (i >= s.size() || !isDigit(s[i])) return ParsedNumber{};
  while (i < s.size() && isDigit(s[i])) {
    n.whole = std::min(kCap, n.whole * 10 + (s[i] - '0'));
    ++i;
  }
  n.fractionVsHalf = -1;
  if (i < s.size() && s[i] == '.') {
    ++i;
    const std::size_t first = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    const std::string_view fraction = s.substr(first, i - first);
    if (!fraction.empty()) {
      if (fraction[0] > '5') {
        n.fractionVsHalf = 1;
      } else if (fraction[0] == '5') {
        n.fractionVsHalf =
            fraction.substr(1).find_first_not_of('0') == std::string_view::npos ? 0 : 1;
      }
    }
  }
  return n;
}

std::int32_t saturate(bool negative, std::int64_t magnitude) {
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::int32_t textToNumberCut(std::string_view s) {
  const ParsedNumber n = parseNumber(s);
  return saturate(n.negative, n.whole);
}

std::int32_t textToNumberRounded(std::string_view s) {
  const ParsedNumber n = parseNumber(s);
  std::int64_t magnitude = n.whole;
  if (n.fractionVsHalf > 0 || (n.fractionVsHalf == 0 && magnitude % 2 == 1)) ++magnitude;
  return saturate(n.negative, magnitude);
}

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

bool isFrequencyCommand(std::string_view s) {
  constexpr std::size_t kLength = 13;
  const std::string_view prefix = s.substr(0, 2);
  return s.size() == kLength && (prefix == "FA" || prefix == "FB") && allDigits(s.substr(2));
}

std::string numberToText(std::int64_t value) {
  return (value < 0 ? "-" : " ") + digitsOf(value);
}

std::string digitsOf(std::int64_t value) {
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return std::to_string(magnitude);
}

std::string zeroPadded(std::int64_t value, int width) {
  std::string digits = digitsOf(value);
  const int sign = value < 0 ? 1 : 0;
  if (static_cast<int>(digits.size()) + sign < width) {
    digits.insert(0, static_cast<std::size_t>(width - sign) - digits.size(), '0');
  }
  return (value < 0 ? "-" : "") + digits;
}

}  // namespace orvane

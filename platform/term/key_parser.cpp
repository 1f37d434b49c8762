// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/key_parser.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/keycodes.h"

namespace orvane::term {
namespace {

constexpr char kEsc = '\x1b';
// Sequences longer than this are no key any terminal sends; the rest is read and dropped.
constexpr std::size_t kLongestSequence = 32;
constexpr int kClearKey = 12;  // the keypad's 5 with Num Lock off
constexpr int kTab = 9;
constexpr int kBackspace = 8;
constexpr int kHome = 36;
constexpr int kEnd = 35;
constexpr int kInsert = 45;
constexpr int kDelete = 46;

constexpr int functionKey(int n) {
  return vk::kF1 + n - 1;
}

// The numbered keys of "ESC [ n ~" (xterm, VT220, the Linux console, rxvt). rxvt ends the same
// numbers with "^", "$" or "@" when Ctrl, Shift or both are held. F10 (21) is left out: a system
// key, which the window does not deliver either.
constexpr auto kNumberedKeys = std::to_array<std::pair<int, int>>({
    {1, kHome},
    {2, kInsert},
    {3, kDelete},
    {4, kEnd},
    {5, vk::kPageUp},
    {6, vk::kPageDown},
    {7, kHome},
    {8, kEnd},
    {11, functionKey(1)},
    {12, functionKey(2)},
    {13, functionKey(3)},
    {14, functionKey(4)},
    {15, functionKey(5)},
    {17, functionKey(6)},
    {18, functionKey(7)},
    {19, functionKey(8)},
    {20, functionKey(9)},
    {23, functionKey(11)},
    {24, functionKey(12)},
});

// Keys whose sequence ends in a letter, after "ESC [" (CSI) or "ESC O" (SS3).
struct FinalKey {
  char final;
  int key;
};

constexpr auto kCsiFinals = std::to_array<FinalKey>({
    {'A', vk::kUp},
    {'B', vk::kDown},
    {'C', vk::kRight},
    {'D', vk::kLeft},
    {'H', kHome},
    {'F', kEnd},
    {'E', kClearKey},       // xterm's keypad 5
    {'G', kClearKey},       // the Linux console's keypad 5
    {'P', functionKey(1)},  // xterm's F1..F4 with a modifier
    {'Q', functionKey(2)},
    {'R', functionKey(3)},
    {'S', functionKey(4)},
    {'Z', kTab},     // Shift+Tab
    {'a', vk::kUp},  // rxvt: Shift with an arrow
    {'b', vk::kDown},
    {'c', vk::kRight},
    {'d', vk::kLeft},
});

// After "ESC O": the function keys and arrows of xterm's application modes, and the keypad in
// application keypad mode (which the panel never asks for, but a terminal may be left in).
constexpr auto kSs3Finals = std::to_array<FinalKey>({
    {'P', functionKey(1)},
    {'Q', functionKey(2)},
    {'R', functionKey(3)},
    {'S', functionKey(4)},
    {'A', vk::kUp},
    {'B', vk::kDown},
    {'C', vk::kRight},
    {'D', vk::kLeft},
    {'a', vk::kUp},
    {'b', vk::kDown},
    {'c', vk::kRight},
    {'d', vk::kLeft},
    {'H', kHome},
    {'F', kEnd},
    {'E', kClearKey},
    {'M', vk::kEnter},
    {'j', 106},
    {'k', 107},
    {'m', 109},
    {'n', 110},
    {'o', 111},
    {'p', vk::kNumpad0},
    {'q', vk::kNumpad0 + 1},
    {'r', vk::kNumpad0 + 2},
    {'s', vk::kNumpad0 + 3},
    {'t', vk::kNumpad0 + 4},
    {'u', vk::kNumpad0 + 5},
    {'v', vk::kNumpad0 + 6},
    {'w', vk::kNumpad0 + 7},
    {'x', vk::kNumpad0 + 8},
    {'y', vk::kNumpad0 + 9},
});

template <std::size_t N>
std::optional<int> finalKey(const std::array<FinalKey, N>& table, char final) {
  for (const FinalKey& row : table) {
    if (row.final == final) return row.key;
  }
  return std::nullopt;
}

std::optional<int> numberedKey(int number) {
  for (const auto& [n, key] : kNumberedKeys) {
    if (n == number) return key;
  }
  return std::nullopt;
}

// The numbers of a parameter text "n;m": absent or empty numbers are 1, as the terminals mean.
std::vector<int> parameters(std::string_view body) {
  std::vector<int> numbers;
  while (true) {
    const std::size_t end = body.find(';');
    const std::string_view field = body.substr(0, end);
    int value = 1;
    if (!field.empty()) std::from_chars(field.data(), field.data() + field.size(), value);
    numbers.push_back(value);
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 1);
  }
  return numbers;
}

// xterm's modifier parameter: 1 + Shift 1 + Alt 2 + Ctrl 4 + Meta 8.
bool withAlt(int modifier) {
  return modifier > 1 && ((modifier - 1) & (2 | 8)) != 0;
}

bool onlyParameters(std::string_view body) {
  for (char c : body) {
    if ((c < '0' || c > '9') && c != ';') return false;
  }
  return true;
}

std::optional<int> csiKey(std::string_view body, char final) {
  // Private parameters ("?", ">", ...) and intermediates belong to reports, not to keys.
  if (!onlyParameters(body)) return std::nullopt;
  const std::vector<int> numbers = parameters(body);
  if (numbers.size() > 1 && withAlt(numbers[1])) return std::nullopt;
  if (final == '~' || final == '^' || final == '$' || final == '@') return numberedKey(numbers[0]);
  return finalKey(kCsiFinals, final);
}

std::optional<int> ss3Key(std::string_view body, char final) {
  if (!onlyParameters(body)) return std::nullopt;
  // Some terminals put the modifier straight after "O" ("ESC O 5 P"), others as "1;5".
  const std::vector<int> numbers = parameters(body);
  if (!body.empty() && withAlt(numbers.back())) return std::nullopt;
  return finalKey(kSs3Finals, final);
}

std::optional<int> sequenceKey(std::string_view sequence, char final) {
  // sequence: ESC, the introducer and what came before the final byte.
  if (sequence == "\x1b[[") {
    // The Linux console's F1..F5.
    if (final >= 'A' && final <= 'E') return functionKey(final - 'A' + 1);
    return std::nullopt;
  }
  const std::string_view body = sequence.substr(2);
  return sequence[1] == '[' ? csiKey(body, final) : ss3Key(body, final);
}

// The key of one byte that is not part of a sequence.
std::optional<int> plainKey(unsigned char byte) {
  switch (byte) {
    case 3:
      return kInterruptKey;
    case 8:
    case 127:
      return kBackspace;
    case 9:
      return kTab;
    case 10:
    case 13:
      return vk::kEnter;
    case ' ':
      return vk::kSpace;
    case '=':
    case '+':
      return vk::kEqualsPlus;
    case '-':
      return vk::kMinus;
    case '.':
      return vk::kFullStop;
    case ',':
      return 188;
    case '/':
      return vk::kSlash;
    default:
      break;
  }
  if (byte >= 1 && byte <= 26) return 'A' + byte - 1;  // Ctrl with a letter, as in the window
  if (byte >= 'a' && byte <= 'z') return vk::letter(static_cast<char>(byte));
  if (byte >= 'A' && byte <= 'Z') return byte;
  if (byte >= '0' && byte <= '9') return byte;
  return std::nullopt;
}

bool isFinalByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0x7e;
}

bool isParameterOrIntermediate(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x3f;
}

}  // namespace

void KeyParser::feed(std::string_view bytes, KeyClock::time_point at, std::vector<TypedKey>& out) {
  expire(at, out);
  for (char byte : bytes) takeByte(byte, at, out);
}

void KeyParser::expire(KeyClock::time_point now, std::vector<TypedKey>& out) {
  if (partial_.empty() || now - lastByteAt_ < kEscapeWait) return;
  endSequence(partial_ == "\x1b" ? std::optional<int>(vk::kEscape) : std::nullopt, lastByteAt_,
              out);
}

std::optional<KeyClock::time_point> KeyParser::deadline() const {
  if (partial_.empty()) return std::nullopt;
  return lastByteAt_ + kEscapeWait;
}

void KeyParser::takeByte(char byte, KeyClock::time_point at, std::vector<TypedKey>& out) {
  if (!partial_.empty()) {
    continueSequence(byte, at, out);
    return;
  }
  if (byte == kEsc) {
    partial_.assign(1, kEsc);
    lastByteAt_ = at;
    return;
  }
  if (auto key = plainKey(static_cast<unsigned char>(byte))) out.push_back(TypedKey{*key, at});
}

void KeyParser::continueSequence(char byte, KeyClock::time_point at, std::vector<TypedKey>& out) {
  const auto b = static_cast<unsigned char>(byte);
  if (partial_.size() == 1 && byte != '[' && byte != 'O') {
    // Alt with a key: the terminal writes Escape and the key's character in one go, so they
    // arrive together, where a person typing Escape and then a key is tens of milliseconds apart.
    // It gives nothing, as in the window: Alt-T must not start the tuner.
    if (at == lastByteAt_ && b >= 0x20 && b <= 0x7e) {
      endSequence(std::nullopt, at, out);
      return;
    }
    // Escape, then a key that begins no sequence: Escape was a key of its own, and the next key
    // is never swallowed by it.
    endSequence(vk::kEscape, lastByteAt_, out);
    takeByte(byte, at, out);
    return;
  }
  lastByteAt_ = at;
  const bool linuxFunctionKey = partial_ == "\x1b[[";
  if (partial_.size() == 1 || (partial_ == "\x1b[" && byte == '[')) {
    partial_ += byte;
    return;
  }
  // rxvt ends a Shift-modified numbered key with "$", which is otherwise an intermediate byte.
  const bool rxvtShift = byte == '$' && partial_[1] == '[' && partial_.size() > 2;
  if (isFinalByte(b) || rxvtShift) {
    const bool whole = partial_.size() < kLongestSequence;
    endSequence(whole ? sequenceKey(partial_, byte) : std::nullopt, at, out);
    return;
  }
  if (isParameterOrIntermediate(b) && !linuxFunctionKey) {
    if (partial_.size() < kLongestSequence) partial_ += byte;
    return;
  }
  // A control character inside a sequence cuts it off; the character is a key of its own (Enter,
  // Ctrl-C, a new Escape).
  endSequence(std::nullopt, at, out);
  takeByte(byte, at, out);
}

void KeyParser::endSequence(std::optional<int> key, KeyClock::time_point at,
                            std::vector<TypedKey>& out) {
  partial_.clear();
  if (key) out.push_back(TypedKey{*key, at});
}

}  // namespace orvane::term

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigserver/protocol.h"

#include <array>
#include <cctype>

namespace orvane::rig {

namespace {

struct CommandRow {
  char shortName;  // 0: only the long form
  std::string_view longName;
  int argCount;
  Command command;
};

constexpr auto kCommands = std::to_array<CommandRow>({
    {'f', "get_freq", 0, Command::GetFreq},
    {'F', "set_freq", 1, Command::SetFreq},
    {'m', "get_mode", 0, Command::GetMode},
    {'M', "set_mode", 2, Command::SetMode},
    {'v', "get_vfo", 0, Command::GetVfo},
    {'V', "set_vfo", 1, Command::SetVfo},
    {'s', "get_split_vfo", 0, Command::GetSplitVfo},
    {'S', "set_split_vfo", 2, Command::SetSplitVfo},
    {'i', "get_split_freq", 0, Command::GetSplitFreq},
    {'I', "set_split_freq", 1, Command::SetSplitFreq},
    {'x', "get_split_mode", 0, Command::GetSplitMode},
    {'X', "set_split_mode", 2, Command::SetSplitMode},
    {'t', "get_ptt", 0, Command::GetPtt},
    {'T', "set_ptt", 1, Command::SetPtt},
    {'l', "get_level", 1, Command::GetLevel},
    {0, "get_powerstat", 0, Command::GetPowerstat},
    {0, "get_lock_mode", 0, Command::GetLockMode},
    {0, "chk_vfo", 0, Command::ChkVfo},
    {0, "dump_state", 0, Command::DumpState},
    {'1', "dump_caps", 0, Command::DumpCaps},
    {'q', "quit", 0, Command::Quit},
    {'Q', "quit", 0, Command::Quit},
});

const CommandRow* findShort(char c) {
  for (const CommandRow& row : kCommands) {
    if (row.shortName == c) return &row;
  }
  return nullptr;
}

const CommandRow* findLong(std::string_view name) {
  for (const CommandRow& row : kCommands) {
    if (row.longName == name) return &row;
  }
  return nullptr;
}

// A printable character other than the blank: what words are made of.
bool isWordChar(char c) {
  return c > ' ' && c < 0x7f;
}

// Reads requests from a line, word by word.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  bool atEnd() {
    skipGaps();
    return pos_ >= line_.size();
  }
  char peek() const { return line_[pos_]; }
  char take() { return line_[pos_++]; }
  bool nextIsWordChar() const { return pos_ < line_.size() && isWordChar(line_[pos_]); }
  std::string word() {
    skipGaps();
    const std::size_t start = pos_;
    while (nextIsWordChar()) ++pos_;
    return std::string(line_.substr(start, pos_ - start));
  }
  void skipRest() { pos_ = line_.size(); }

 private:
  void skipGaps() {
    while (pos_ < line_.size() && !isWordChar(line_[pos_])) ++pos_;
  }

  std::string_view line_;
  std::size_t pos_ = 0;
};

// A punctuation character before a command asks for the extended answer; the backslash starts a
// long name and the underscore is a command of its own.
bool isSeparatorPrefix(char c) {
  return std::ispunct(static_cast<unsigned char>(c)) != 0 && c != '\\' && c != '_';
}

}  // namespace

std::vector<Request> parseLine(std::string_view line) {
  std::vector<Request> requests;
  LineReader in(line);
  while (!in.atEnd()) {
    Request request;
    if (isSeparatorPrefix(in.peek())) {
      // "+" is the extended answer with its lines as lines.
      const char prefix = in.take();
      request.separator = prefix == '+' ? '\n' : prefix;
      if (!in.nextIsWordChar()) continue;  // a lone punctuation character asks for nothing
    }
    const CommandRow* row = nullptr;
    if (in.peek() == '\\') {
      in.take();
      request.name = in.word();
      row = findLong(request.name);
    } else {
      const char c = in.take();
      request.name = std::string(1, c);
      row = findShort(c);
    }
    if (row == nullptr) {
      in.skipRest();
      requests.push_back(std::move(request));
      break;
    }
    request.command = row->command;
    request.name = std::string(row->longName);
    for (int i = 0; i < row->argCount; ++i) {
      std::string arg = in.word();
      if (arg.empty()) {
        request.argsMissing = true;
        break;
      }
      request.args.push_back(std::move(arg));
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

namespace {

// The first line of an extended answer: the command's name, and the arguments it was given.
std::string extendedHeader(const Request& request) {
  std::string header = request.name + ":";
  for (const std::string& arg : request.args) header += " " + arg;
  return header;
}

std::string statusLine(int code) {
  return "RPRT " + std::to_string(code);
}

}  // namespace

std::string answerValues(const Request& request, const std::vector<Field>& values) {
  std::string out;
  if (request.separator == 0) {
    for (const Field& field : values) out += field.value + "\n";
    return out;
  }
  const char sep = request.separator;
  out = extendedHeader(request) + sep;
  for (const Field& field : values) {
    out += field.label.empty() ? field.value : std::string(field.label) + ": " + field.value;
    out += sep;
  }
  return out + statusLine(kOk) + "\n";
}

std::string answerStatus(const Request& request, int code) {
  if (request.separator == 0 || request.command == Command::Quit) return statusLine(code) + "\n";
  return extendedHeader(request) + request.separator + statusLine(code) + "\n";
}

bool isVfoName(std::string_view name) {
  static constexpr auto kNames = std::to_array<std::string_view>(
      {"VFOA", "VFOB", "VFOC", "currVFO", "VFO", "MEM", "Main", "Sub", "TX", "RX", "MainA", "MainB",
       "SubA", "SubB", "None"});
  for (std::string_view known : kNames) {
    if (known == name) return true;
  }
  return false;
}

}  // namespace orvane::rig

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/status_screen.h"

#include <utility>

namespace orvane::term {
namespace {

constexpr std::string_view kEraseToEnd = "\x1b[K";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

StatusScreen::StatusScreen(ScreenLayout layout, Mode mode,
                           std::function<void(std::string_view)> write)
    : layout_(std::move(layout)),
      mode_(mode),
      write_(std::move(write)),
      cells_(layout_.fields.size()) {}

void StatusScreen::setPrintPosition(int x, int y) {
  target_ = Target::None;
  column_ = 0;
  for (const ScreenSpot& spot : layout_.headings) {
    if (spot.x == x && spot.y == y) target_ = Target::Heading;
  }
  for (std::size_t i = 0; i < layout_.fields.size(); ++i) {
    if (layout_.fields[i].spot.x == x && layout_.fields[i].spot.y == y) {
      target_ = Target::Field;
      field_ = i;
    }
  }
}

void StatusScreen::print(std::string_view text) {
  if (target_ == Target::Heading) {
    writeHeading(text);
    // A print never starts a new line: what follows on it is no heading of its own.
    target_ = Target::None;
    return;
  }
  if (target_ != Target::Field) return;
  std::string& cells = cells_[field_];
  if (cells.size() < column_ + text.size()) cells.resize(column_ + text.size(), ' ');
  cells.replace(column_, text.size(), text);
  column_ += text.size();
  showStatus();
}

void StatusScreen::finish() {
  if (mode_ == Mode::InPlace && statusWritten_) write_("\r\n");
  statusWritten_ = false;
}

std::string StatusScreen::statusLine() const {
  std::string line;
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const std::string_view field = trimmed(cells_[i]);
    line += field;
    if (field.size() < layout_.fields[i].width) {
      line.append(layout_.fields[i].width - field.size(), ' ');
    }
  }
  line.erase(line.find_last_not_of(' ') + 1);  // all of it when it is all blanks
  return line;
}

void StatusScreen::writeHeading(std::string_view text) {
  const std::string line(trimmed(text));
  if (mode_ == Mode::Lines) {
    write_(line + "\n");
    return;
  }
  // Above the status line, which is written again below it.
  write_(statusWritten_ ? "\r" + line + std::string(kEraseToEnd) + "\r\n" : line + "\r\n");
  if (statusWritten_) write_("\r" + shown_ + std::string(kEraseToEnd));
}

void StatusScreen::showStatus() {
  std::string line = statusLine();
  // The radio's answers print the same frequency and S-meter ten times a second; a screen reader
  // or a braille display is told only of a change.
  if (line == shown_) return;
  shown_ = std::move(line);
  if (mode_ == Mode::Lines) {
    write_(shown_ + "\n");
  } else {
    write_("\r" + shown_ + std::string(kEraseToEnd));
    statusWritten_ = true;
  }
}

}  // namespace orvane::term

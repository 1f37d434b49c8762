// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows, as text for a terminal, a console screen reader or a braille display:
// the fixed texts (title and help) once, one line each, and then one status line with the
// radio's state, written again only when something on it changes. The panel prints its texts at
// pixel positions of the window; the layout says which positions are which.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::term {

struct ScreenSpot {
  int x = 0;
  int y = 0;
};

struct StatusField {
  ScreenSpot spot;
  std::size_t width = 0;  // columns it takes at least on the status line (0: as long as it is)
};

struct ScreenLayout {
  // Prints starting here are fixed texts: each is written once as a line of its own.
  std::vector<ScreenSpot> headings;
  // Prints starting here fill the status line's fields, in this order. Prints anywhere else are
  // not shown.
  std::vector<StatusField> fields;
};

class StatusScreen {
 public:
  // How the text reaches the operator. InPlace: the status line is rewritten where it stands
  // (carriage return, the line, erase to its end), so the cursor never jumps and a braille
  // display follows one line. Lines: every change is a line of its own, for a file, a pipe or a
  // terminal that cannot erase.
  enum class Mode { InPlace, Lines };

  StatusScreen(ScreenLayout layout, Mode mode, std::function<void(std::string_view)> write);

  void setPrintPosition(int x, int y);
  // Like the window, a print covers the cells it is drawn on and leaves a longer earlier text's
  // tail standing, and the next print without a new position goes on where this one ended.
  void print(std::string_view text);
  // Ends the status line, so whatever is written after the panel starts on a line of its own.
  void finish();

  // Each field with its blanks at both ends taken away, and padded to its width; the line with
  // its blanks at the end taken away.
  std::string statusLine() const;

 private:
  enum class Target { None, Heading, Field };
  void writeHeading(std::string_view text);
  void showStatus();

  ScreenLayout layout_;
  Mode mode_;
  std::function<void(std::string_view)> write_;
  std::vector<std::string> cells_;  // per field, what the window would show there
  Target target_ = Target::None;
  std::size_t field_ = 0;
  std::size_t column_ = 0;
  std::string shown_;  // the status line as last written
  bool statusWritten_ = false;
};

}  // namespace orvane::term

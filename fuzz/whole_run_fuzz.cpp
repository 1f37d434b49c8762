// SPDX-License-Identifier: GPL-3.0-or-later
// Whole runs: any stream of keys, ticks and radio bytes through the window event handler. The
// input reads as a script, one operation per character:
//   a key character (see keyCode)   a key press, down and up
//   ","                             a timer tick
//   "\"bytes\""                     bytes the radio sends (up to the next "\"")
//   "*" / "_"                       the radio starts answering polls as a Kenwood does / goes quiet
//   "#"                             a close request
//   "~" X / "`" X                   key down / key up with the code of the byte X, whatever it is
// Other characters are ignored, so seeds can be written with spaces between the steps.
#include <cstdint>
#include <string_view>

#include "fuzz/checked_panel.h"

namespace {

using orvane::WindowEventKind;

void queueScript(orvane::fuzz::CheckedPanel& panel, std::string_view script) {
  for (std::size_t i = 0; i < script.size(); ++i) {
    const char c = script[i];
    if (orvane::fuzz::keyCode(c) >= 0) {
      panel.queueKeys(std::string_view(&c, 1));
    } else if (c == ',') {
      panel.queueTick();
    } else if (c == '"') {
      const std::size_t close = std::min(script.find('"', i + 1), script.size());
      panel.radioSends(std::string(script.substr(i + 1, close - i - 1)));
      i = close;
    } else if (c == '*' || c == '_') {
      panel.beforeNextEvent([&panel, c] { panel.h.radio.silent = c == '_'; });
    } else if (c == '#') {
      panel.queue({WindowEventKind::CloseRequest, 0});
    } else if ((c == '~' || c == '`') && i + 1 < script.size()) {
      const int code = static_cast<unsigned char>(script[++i]);
      panel.queue({c == '~' ? WindowEventKind::KeyDown : WindowEventKind::KeyUp, code});
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvane::fuzz::CheckedPanel panel;
  panel.h.radio.silent = true;
  queueScript(panel, std::string_view(reinterpret_cast<const char*>(data), size));
  panel.run();
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/checked_panel.h"

#include "platform/keycodes.h"

namespace orvane::fuzz {

int keyCode(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
  if (c >= 'a' && c <= 'f') return vk::kF1 + (c - 'a');
  switch (c) {
    case '.':
      return vk::kFullStop;
    case '\n':
      return vk::kEnter;
    case '^':
      return vk::kUp;
    case 'v':
      return vk::kDown;
    case '<':
      return vk::kLeft;
    case '>':
      return vk::kRight;
    case '[':
      return vk::kPageUp;
    case ']':
      return vk::kPageDown;
    case '+':
      return vk::kEqualsPlus;
    case '-':
      return vk::kMinus;
    case '/':
      return vk::kSlash;
    default:
      return -1;
  }
}

CheckedPanel::CheckedPanel(std::string config) : h(std::move(config)) {
  h.fake.serial.onWrite(3, [this](std::string_view bytes) {
    checkNow();
    wire_.write(bytes);
    if (!h.radio.silent) h.fake.serial.feed(3, h.radio.answer(bytes));
  });
  h.fake.window.beforeEachEvent = [this](const WindowEvent&) {
    checkNow();
    if (delivered_ < before_.size()) {
      for (const auto& action : before_[delivered_]) action();
    }
    ++delivered_;
  };
}

void CheckedPanel::queue(WindowEvent e) {
  before_.push_back(std::move(pending_));
  pending_.clear();
  h.fake.window.queueEvent(e);
}

void CheckedPanel::queueKeys(std::string_view keys) {
  for (char c : keys) {
    const int code = keyCode(c);
    if (code < 0) continue;
    queue({WindowEventKind::KeyDown, code});
    queue({WindowEventKind::KeyUp, code});
  }
}

void CheckedPanel::radioSends(std::string bytes) {
  beforeNextEvent([this, bytes = std::move(bytes)] { h.fake.serial.feed(3, bytes); });
}

void CheckedPanel::checkNow() {
  // The state only exists once the program runs.
  if (!h.panel) return;
  checkState(h.state());
}

void CheckedPanel::run() {
  // Whatever is still pending happens before one last tick.
  if (!pending_.empty()) queueTick();
  h.run();
  checkNow();
  wire_.finish();
}

}  // namespace orvane::fuzz

// SPDX-License-Identifier: GPL-3.0-or-later
// A machine without a network, for programs that never serve or reach a rig server: every listen
// and connect is refused with a reason, and no activity ever comes.
#pragma once

#include "platform/platform.h"

namespace orvane {

class NoNetwork final : public Network {
 public:
  std::unique_ptr<Listener> listen(const std::string&, int, std::string& whyNot) override {
    whyNot = "no network in this program";
    return nullptr;
  }
  std::unique_ptr<Connection> connect(const std::string&, int, std::string& whyNot) override {
    whyNot = "no network in this program";
    return nullptr;
  }
  void setActivityHandler(std::function<void()>) override {}
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The system's speech service on Linux: speech-dispatcher, which the desktop's and the console's
// screen readers speak through, so the panel speaks in the voice, language, rate, pitch and volume
// the operator has set up there (spd-conf, ~/.config/speech-dispatcher/speechd.conf).
//
// libspeechd's calls wait for the daemon's answer over a socket. A worker thread owns the
// connection and makes every call; the panel's thread hands it one phrase at a time and waits a
// bounded time for the daemon to have taken it (a few milliseconds as a rule). A daemon that is
// missing, dies or stops answering is given up for the rest of the run after at most that bound,
// said once on standard error; the panel then speaks with its clip set. While the connection is
// still being made (speech-dispatcher started on demand takes a moment), phrases are left to the
// clip set, so the panel never starts late.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace orvane {

class SpeechDispatcher final : public SpeechService {
 public:
  struct Limits {
    // How long a phrase waits for a connection being made before the clip set says it instead.
    std::chrono::milliseconds ready{300};
    // How long the connection may take in all (speech-dispatcher may be started for it on
    // demand) before the service is given up.
    std::chrono::milliseconds connect{5000};
    // How long a phrase waits for the daemon to take it.
    std::chrono::milliseconds answer{1000};
  };

  SpeechDispatcher() : SpeechDispatcher(Limits{}) {}
  explicit SpeechDispatcher(Limits limits);
  ~SpeechDispatcher() override;
  SpeechDispatcher(const SpeechDispatcher&) = delete;
  SpeechDispatcher& operator=(const SpeechDispatcher&) = delete;

  void start(const SpeechOptions& options) override;
  // A Message is said at speech-dispatcher's priority "text", which a newer text cancels: the
  // next key's phrase cuts off a readout still speaking. A Notice is said at "important", which
  // nothing cuts off and which later texts wait for.
  SpeechResult say(std::string_view text, SpeechPriority priority) override;
  std::string whyNot() const override;

  // The daemon's rate for the panel's rate: both run from -100 to 100.
  static int daemonRate(int panelRate) { return panelRate; }

 private:
  struct Shared;
  // The worker: connects, then hands over one phrase at a time until it is stopped or the daemon
  // is gone.
  static void work(const std::shared_ptr<Shared>& shared, const SpeechOptions& options);
  // Called with the shared mutex held: the service is gone for the rest of the run.
  static void giveUp(Shared& shared, const std::string& why);

  Limits limits_;
  // Kept alive by the worker too: a worker stuck in a call to a hung daemon is let go at the end
  // and may outlive this object.
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/speechd/speech_dispatcher.h"

#include <libspeechd.h>
#include <signal.h>
#include <sys/socket.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <utility>

namespace orvane {

struct SpeechDispatcher::Shared {
  enum class Phase { Idle, Connecting, Ready, Gone };

  std::mutex mutex;
  std::condition_variable changed;
  Phase phase = Phase::Idle;
  std::chrono::steady_clock::time_point started;
  std::string whyNot;
  bool stopping = false;
  bool workerDone = false;
  // The phrase the worker is to hand over, and what came of it.
  std::optional<std::pair<std::string, SPDPriority>> phrase;
  bool answered = false;
  // The connection's socket, to be shut down when the daemon hangs so that the worker returns.
  int socket = -1;
};

namespace {

// What libspeechd says when it cannot connect runs over several lines (how autospawning went): the
// first one tells the operator enough.
std::string firstLine(const char* text) {
  if (text == nullptr) return "no reason given";
  std::string line(text);
  const auto end = line.find('\n');
  if (end != std::string::npos) line.resize(end);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '.'))
    line.pop_back();
  return line.empty() ? "no reason given" : line;
}

}  // namespace

SpeechDispatcher::SpeechDispatcher(Limits limits)
    : limits_(limits), shared_(std::make_shared<Shared>()) {}

SpeechDispatcher::~SpeechDispatcher() {
  if (!worker_.joinable()) return;
  std::unique_lock lock(shared_->mutex);
  shared_->stopping = true;
  shared_->changed.notify_all();
  // A worker waiting for a daemon that does not answer is not waited for: the connection goes
  // with the program.
  if (shared_->changed.wait_for(lock, limits_.answer, [this] { return shared_->workerDone; })) {
    lock.unlock();
    worker_.join();
  } else {
    if (shared_->socket >= 0) ::shutdown(shared_->socket, SHUT_RDWR);
    lock.unlock();
    worker_.detach();
  }
}

void SpeechDispatcher::start(const SpeechOptions& options) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->phase != Shared::Phase::Idle) return;
    shared_->phase = Shared::Phase::Connecting;
    shared_->started = std::chrono::steady_clock::now();
  }
  worker_ = std::thread([shared = shared_, options] { work(shared, options); });
}

SpeechResult SpeechDispatcher::say(std::string_view text, SpeechPriority priority) {
  using Phase = Shared::Phase;
  Shared& shared = *shared_;
  std::unique_lock lock(shared.mutex);
  if (shared.phase == Phase::Idle) giveUp(shared, "speech-dispatcher was never started");
  if (shared.phase == Phase::Connecting && !shared.changed.wait_for(lock, limits_.ready, [&] {
        return shared.phase != Phase::Connecting;
      })) {
    if (std::chrono::steady_clock::now() - shared.started < limits_.connect) {
      return SpeechResult::NotReady;
    }
    giveUp(shared, "speech-dispatcher did not answer within " +
                       std::to_string(limits_.connect.count()) + " ms");
  }
  if (shared.phase != Phase::Ready) return SpeechResult::Gone;

  shared.phrase.emplace(std::string(text),
                        priority == SpeechPriority::Notice ? SPD_IMPORTANT : SPD_TEXT);
  shared.answered = false;
  shared.changed.notify_all();
  if (!shared.changed.wait_for(lock, limits_.answer, [&] { return shared.answered; })) {
    giveUp(shared, "speech-dispatcher did not take a phrase within " +
                       std::to_string(limits_.answer.count()) + " ms");
  }
  return shared.phase == Phase::Ready ? SpeechResult::Taken : SpeechResult::Gone;
}

std::string SpeechDispatcher::whyNot() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->phase == Shared::Phase::Gone ? shared_->whyNot : std::string();
}

// The reason is told once, whichever thread finds it; a worker stuck in a call returns when its
// socket is shut down, and ends.
void SpeechDispatcher::giveUp(Shared& shared, const std::string& why) {
  if (shared.phase == Shared::Phase::Gone) return;
  shared.phase = Shared::Phase::Gone;
  shared.whyNot = why;
  shared.stopping = true;
  if (shared.socket >= 0) ::shutdown(shared.socket, SHUT_RDWR);
  shared.changed.notify_all();
  std::fprintf(stderr, "orvane: speech service: %s; speaking with the clip set\n", why.c_str());
}

void SpeechDispatcher::work(const std::shared_ptr<Shared>& shared, const SpeechOptions& options) {
  using Phase = Shared::Phase;
  // A daemon that has gone makes the next write fail; the signal that would come with it must not
  // end the panel.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

  // speech-dispatcher is started on demand where it serves by default, as for every desktop
  // client. A daemon named by SPEECHD_ADDRESS must be there already: starting one could only fail,
  // and slowly (its configuration names its own socket).
  const char* address = std::getenv("SPEECHD_ADDRESS");
  const int autospawn = address == nullptr || *address == '\0' ? 1 : 0;
  char* error = nullptr;
  SPDConnection* connection =
      spd_open2("orvane", "main", nullptr, SPD_MODE_SINGLE, nullptr, autospawn, &error);
  std::unique_lock lock(shared->mutex);
  if (connection == nullptr) {
    giveUp(*shared, "speech-dispatcher cannot be reached: " + firstLine(error));
  } else if (shared->phase == Phase::Connecting) {
    shared->socket = connection->socket;
    lock.unlock();
    const bool rateSet =
        !options.rate ||
        spd_set_voice_rate(connection, SpeechDispatcher::daemonRate(*options.rate)) == 0;
    lock.lock();
    if (shared->phase == Phase::Connecting) {
      if (rateSet) {
        shared->phase = Phase::Ready;
      } else {
        giveUp(*shared, "speech-dispatcher refused the speech rate");
      }
    }
  }
  std::free(error);
  shared->changed.notify_all();

  while (connection != nullptr) {
    shared->changed.wait(lock, [&] { return shared->stopping || shared->phrase.has_value(); });
    if (shared->stopping) break;
    const auto [text, priority] = *std::exchange(shared->phrase, std::nullopt);
    lock.unlock();
    const bool taken = spd_say(connection, priority, text.c_str()) > 0;
    lock.lock();
    shared->answered = true;
    if (!taken) {
      giveUp(*shared, "speech-dispatcher closed the connection");
      break;
    }
    shared->changed.notify_all();
  }
  shared->socket = -1;
  lock.unlock();
  if (connection != nullptr) spd_close(connection);
  lock.lock();
  shared->workerDone = true;
  shared->changed.notify_all();
}

}  // namespace orvane

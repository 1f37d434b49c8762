// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigclient/rig_line.h"

#include <algorithm>
#include <utility>

namespace orvane::rigclient {

namespace {

// A command of the link's is a few characters; anything this long without ";" is not one.
constexpr std::size_t kLongestCommand = 64;
constexpr std::size_t kReceiveChunk = 4096;

std::string wattsText(double watts) {
  return std::to_string(static_cast<long long>(watts + 0.5)) + " W";
}

}  // namespace

Session::Session(std::unique_ptr<Connection> connection, double maxWatts, LogLine log)
    : connection_(std::move(connection)), maxWatts_(maxWatts), log_(std::move(log)) {}

void Session::lose(std::string_view why) {
  if (gone_) return;
  gone_ = true;
  if (log_) log_(why);
  inFlight_.clear();
}

void Session::serve() {
  if (gone_) return;
  // Bytes that came before the server closed are still taken.
  while (true) {
    const std::string bytes = connection_->receive(kReceiveChunk);
    if (bytes.empty()) break;
    reader_.add(bytes);
    if (reader_.lost()) return lose("the server sent what no rig server sends; dropped");
    while (std::optional<Answer> answer = reader_.next()) take(*answer);
  }
  const Connection::Status status = connection_->status();
  if (status == Connection::Status::Closed) {
    return lose(asked_ ? "the server closed the connection" : "the server cannot be reached");
  }
  if (status == Connection::Status::Open && !asked_) askCapabilities();
}

void Session::askCapabilities() {
  asked_ = true;
  send({"+\\dump_caps", "dump_caps", Reply::None});
}

void Session::send(const Request& request) {
  if (gone_) return;
  if (!connection_->send(request.text + "\n")) return lose("the server takes no more requests");
  inFlight_.push_back(request);
  if (request.reply == Reply::None && log_ && request.name != "dump_caps") {
    log_(">" + request.text);
  }
}

void Session::take(const Answer& answer) {
  const auto match = std::find_if(inFlight_.begin(), inFlight_.end(),
                                  [&answer](const Request& r) { return r.name == answer.name; });
  if (match == inFlight_.end()) return;  // nobody asked: noise
  silentPolls_ = 0;
  // Answers come in order: a request before this one will get none any more.
  const Request request = *match;
  inFlight_.erase(inFlight_.begin(), match + 1);
  if (answer.status != kOk && log_) {
    log_("<" + request.text + " RPRT " + std::to_string(answer.status));
  }
  if (request.name == "dump_caps") {
    if (answer.status != kOk) return lose("the server told nothing of the radio");
    translator_.emplace(parseCaps(answer.lines), maxWatts_);
    if (log_) {
      log_("the radio is " + translator_->caps().model + ", full power " +
           wattsText(translator_->fullPowerWatts()));
    }
    send(Translator::modeRequest());
    return;
  }
  if (!translator_) return;
  if (std::optional<std::string> kenwood = translator_->kenwoodAnswer(request.reply, answer)) {
    if (toLink_.size() + kenwood->size() <= kMaxWaiting) toLink_ += *kenwood;
  }
}

std::size_t Session::write(std::string_view bytes) {
  if (gone_ || !translator_) return 0;
  for (char c : bytes) {
    if (c != ';') {
      fromLink_ += c;
      if (fromLink_.size() > kLongestCommand) fromLink_.clear();
      continue;
    }
    const std::string command = std::exchange(fromLink_, {});
    carryOut(command);
    if (gone_) return 0;
  }
  return bytes.size();
}

void Session::carryOut(std::string_view command) {
  std::string immediate;
  const std::vector<Request> requests = translator_->translate(command, immediate);
  toLink_ += immediate;
  for (const Request& request : requests) {
    if (request.reply != Reply::None) {
      if (!inFlight_.empty() && ++silentPolls_ > kSilentPolls) {
        return lose("the server stopped answering; dropped");
      }
      const auto reads = std::count_if(inFlight_.begin(), inFlight_.end(),
                                       [](const Request& r) { return r.reply != Reply::None; });
      if (static_cast<std::size_t>(reads) >= kMaxReadsInFlight) continue;
    }
    send(request);
  }
}

std::string Session::read(std::size_t maxCount) {
  serve();
  const std::size_t n = std::min(maxCount, toLink_.size());
  std::string bytes = toLink_.substr(0, n);
  toLink_.erase(0, n);
  return bytes;
}

std::size_t Session::waiting() {
  serve();
  return toLink_.size();
}

bool Session::canCarryOut(std::string_view command) const {
  return translator_ && translator_->canCarryOut(command);
}

bool RigServerLine::readLineFormat(SerialLineFormat& format) {
  format = format_;
  return true;
}

bool RigServerLine::writeLineFormat(const SerialLineFormat& format) {
  format_ = format;
  return true;
}

RigServerPorts::RigServerPorts(Network& network, std::string host, int port, double maxWatts)
    : network_(network), host_(std::move(host)), port_(port), maxWatts_(maxWatts) {}

void RigServerPorts::note(const std::string& text) {
  // A server that stays away would otherwise fill the log with the same line every second.
  if (text == lastNote_) return;
  lastNote_ = text;
  if (log_) log_(text);
}

std::unique_ptr<SerialDevice> RigServerPorts::open(int /*portNumber*/) {
  if (pending_ && pending_->ready() && !pending_->gone()) {
    std::shared_ptr<Session> session = std::move(pending_);
    live_ = session;
    lastNote_.clear();
    return std::make_unique<RigServerLine>(std::move(session));
  }
  if (pending_ && !pending_->gone() && ++triesWhilePending_ < kOpenTries) return nullptr;
  if (pending_ && !pending_->gone()) note("no answer from " + where() + "; trying again");
  startConnecting();
  return nullptr;
}

void RigServerPorts::startConnecting() {
  pending_.reset();
  pendingWasReady_ = false;
  triesWhilePending_ = 0;
  std::string whyNot;
  std::unique_ptr<Connection> connection = network_.connect(host_, port_, whyNot);
  if (!connection) {
    note("cannot reach " + where() + ": " + whyNot);
    return;
  }
  note("connecting to " + where());
  // The requests and refusals of an open line all go to the log; what happens to a line being
  // opened again and again only when it changes.
  pending_ =
      std::make_shared<Session>(std::move(connection), maxWatts_, [this](std::string_view t) {
        if (!t.empty() && (t.front() == '>' || t.front() == '<')) {
          if (log_) log_(t);
        } else {
          note(std::string(t));
        }
      });
  activity();
}

void RigServerPorts::activity() {
  if (const std::shared_ptr<Session> live = live_.lock()) live->serve();
  if (!pending_) return;
  pending_->serve();
  if (pending_->ready() && !pendingWasReady_) {
    pendingWasReady_ = true;
    if (ready_) ready_();
  }
}

}  // namespace orvane::rigclient

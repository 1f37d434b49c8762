// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigserver/rig_server.h"

#include <algorithm>
#include <utility>

#include "core/settings.h"
#include "core/text.h"
#include "rigserver/cat_forms.h"
#include "rigserver/rig_caps.h"

namespace orvane {

using rig::Command;
using rig::Field;

namespace {

constexpr int kProtocolError = -8;  // RIG_EPROTO: the radio answered something else

// A frequency as the protocol writes it: whole hertz, perhaps with a fraction ("14074000.5").
// Nothing for anything else, or a frequency the radio's command cannot carry.
std::optional<std::int64_t> hertzIn(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (whole.empty() || whole.size() > 10 || !allDigits(whole) ||
      (!fraction.empty() && !allDigits(fraction))) {
    return std::nullopt;
  }
  std::int64_t hz = 0;
  for (char c : whole) hz = hz * 10 + (c - '0');
  if (!fraction.empty() && fraction[0] >= '5') ++hz;
  if (hz < rig::cat::kLowestHz || hz > rig::cat::kHighestHz) return std::nullopt;
  return hz;
}

// A passband in hertz: a whole number, perhaps negative ("-1": leave the filter as it is).
std::optional<std::int32_t> passbandIn(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 9 || !allDigits(digits)) return std::nullopt;
  std::int32_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return negative ? -value : value;
}

// The filter width (tens of hertz) for a passband, or nothing when the width control has none so
// narrow or so wide. 0 ("the mode's normal width") and below leave the filter as it is.
std::optional<std::int32_t> widthFor(std::int32_t passband) {
  const std::int32_t width = (passband + 5) / 10;
  if (width < LevelControl::kNarrowestWidth || width > LevelControl::kWidestWidth) {
    return std::nullopt;
  }
  return width;
}

// Hamlib's STRENGTH of the TS-2000: decibels relative to S9, from the S-meter's 0..30, 0 dB at 15
// and 3.6 dB a step, cut toward zero (measured on Hamlib's own driver).
int strengthOf(int sMeter) {
  return (sMeter - 15) * 18 / 5;
}

bool isVfoA(std::string_view vfo) {
  return vfo == "VFOA" || vfo == "currVFO" || vfo == "VFO" || vfo == "Main" || vfo == "MainA" ||
         vfo == "RX";
}

bool isVfoB(std::string_view vfo) {
  return vfo == "VFOB" || vfo == "Sub" || vfo == "MainB" || vfo == "TX";
}

}  // namespace

RigServer::RigServer(Network& network, Parts parts) : network_(network), parts_(parts) {}

RigServer::~RigServer() {
  shutDown();
}

std::optional<std::string> RigServer::start(const std::optional<std::string>& setting) {
  if (!setting || *setting == "off") return std::nullopt;
  HostAndPort where{kDefaultAddress, kDefaultPort};
  if (*setting != "on") {
    const std::optional<HostAndPort> given = parseHostAndPort(*setting, where);
    if (!given) return "rig server: cannot read the address \"" + *setting + "\"";
    where = *given;
  }
  const std::string name = where.host + ":" + std::to_string(where.port);
  std::string whyNot;
  listener_ = network_.listen(where.host, where.port, whyNot);
  if (!listener_) {
    log("cannot listen on " + name + ": " + whyNot);
    return "rig server: cannot listen on " + name + ": " + whyNot + "; going on without it";
  }
  log("listening on " + listener_->localName());
  network_.setActivityHandler([this] { activity(); });
  parts_.link.setReadObserver([this](std::string_view bytes) { return radioRead(bytes); });
  return std::nullopt;
}

void RigServer::shutDown() {
  if (keyedBy_ != 0) {
    // Before anything else the panel does on its way out: the radio must not stay on the air.
    parts_.link.sendClientCommand(rig::cat::receive(model()));
    keyedBy_ = 0;
  }
  if (listener_ == nullptr && sessions_.empty()) return;
  for (auto& session : sessions_) log("client " + session->peer + " left");
  sessions_.clear();
  readOrder_.clear();
  listener_.reset();
  network_.setActivityHandler({});
  parts_.link.setReadObserver({});
}

// ----- clients coming and going

void RigServer::activity() {
  if (listener_ == nullptr) return;
  acceptClients();
  for (auto& session : sessions_) receive(*session, kReceiveBudget);
  closeFinished();
}

void RigServer::acceptClients() {
  while (std::unique_ptr<Connection> connection = listener_->accept()) {
    const std::string peer = connection->peerName();
    if (sessions_.size() >= kMaxClients) {
      log("client " + peer + " refused: " + std::to_string(kMaxClients) + " clients already");
      continue;  // closed as it goes out of scope
    }
    auto session = std::make_unique<Session>();
    session->id = nextId_++;
    session->connection = std::move(connection);
    session->peer = peer;
    log("client " + peer + " arrived");
    sessions_.push_back(std::move(session));
  }
}

void RigServer::receive(Session& session, std::size_t budget) {
  while (session.dropReason.empty() && !session.quit) {
    const std::size_t chunk = std::min<std::size_t>(budget, 4096);
    if (chunk == 0) return;
    const std::string bytes = session.connection->receive(chunk);
    if (bytes.empty()) break;
    budget -= bytes.size();
    session.input += bytes;
    if (session.input.size() > kMaxUnread) {
      drop(session, "sends faster than the radio answers");
      return;
    }
    serve(session);
  }
  if (session.connection->status() == Connection::Status::Closed && session.dropReason.empty()) {
    session.quit = true;
  }
}

void RigServer::drop(Session& session, std::string reason) {
  if (session.dropReason.empty()) session.dropReason = std::move(reason);
}

void RigServer::closeFinished() {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    Session& session = **it;
    if (!session.quit && session.dropReason.empty()) {
      ++it;
      continue;
    }
    log("client " + session.peer +
        (session.dropReason.empty() ? " left" : " dropped: " + session.dropReason));
    std::erase(readOrder_, session.id);
    const bool keyed = keyedBy_ == session.id;
    it = sessions_.erase(it);
    // The program that keyed the radio is gone: nobody is left to unkey it.
    if (keyed) unkey();
  }
}

RigServer::Session* RigServer::sessionWithId(int id) {
  for (auto& session : sessions_) {
    if (session->id == id) return session.get();
  }
  return nullptr;
}

// ----- requests in order

void RigServer::serve(Session& session) {
  while (session.dropReason.empty() && !session.quit && !session.waiting) {
    if (!session.requests.empty()) {
      const Request request = std::move(session.requests.front());
      session.requests.pop_front();
      execute(session, request);
      continue;
    }
    if (!takeLine(session)) break;
  }
  flush(session);
}

bool RigServer::takeLine(Session& session) {
  std::string& input = session.input;
  std::size_t end = input.find('\n');
  if (session.skippingLongLine) {
    if (end == std::string::npos) {
      input.clear();
      return false;
    }
    input.erase(0, end + 1);
    session.skippingLongLine = false;
    end = input.find('\n');
  }
  if (end == std::string::npos && input.size() <= kMaxLine) return false;
  if (end == std::string::npos || end > kMaxLine) {
    // Nothing this long is a request: refused once, and the rest of it passed over.
    session.output += "RPRT " + std::to_string(rig::kInvalidArgument) + "\n";
    session.skippingLongLine = end == std::string::npos;
    input.erase(0, end == std::string::npos ? input.size() : end + 1);
    return true;
  }
  std::string_view line(input.data(), end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  session.silentTicks = 0;
  for (Request& request : rig::parseLine(line)) session.requests.push_back(std::move(request));
  input.erase(0, end + 1);
  return true;
}

void RigServer::flush(Session& session) {
  if (session.output.empty()) return;
  if (!session.connection->send(session.output)) drop(session, "does not read its answers");
  session.output.clear();
}

void RigServer::execute(Session& session, const Request& request) {
  std::string& out = session.output;
  const PanelState& state = parts_.state;
  const bool split = state.splitState > 0;
  if (request.argsMissing) {
    out += rig::answerStatus(request, rig::kInvalidArgument);
    return;
  }
  switch (request.command) {
    case Command::GetFreq:
      return getFrequency(session, request);
    case Command::GetSplitFreq:
      // Without split the transmitter is on the receive frequency; in split the panel polls B.
      if (state.radioConnected == 0) {
        return readRadio(session, request, rig::cat::readFrequency(split ? 'B' : 'A'));
      }
      out += rig::answerValues(request, {{"TX Frequency", std::to_string(state.frequencyHz)}});
      return;
    case Command::SetFreq:
      return setFrequency(session, request, 'A');
    case Command::SetSplitFreq:
      return setFrequency(session, request, 'B');
    case Command::GetMode:
      return getMode(session, request, false);
    case Command::GetSplitMode:
      return getMode(session, request, true);
    case Command::SetMode:
      return setMode(session, request);
    case Command::SetSplitMode:
      return setSplitMode(session, request);
    case Command::GetVfo:
      // The panel keeps the radio receiving on VFO A; split transmits on B.
      out += rig::answerValues(request, {{"VFO", "VFOA"}});
      return;
    case Command::SetVfo:
      return setVfo(session, request);
    case Command::GetSplitVfo:
      out += rig::answerValues(request,
                               {{"Split", split ? "1" : "0"}, {"TX VFO", split ? "VFOB" : "VFOA"}});
      return;
    case Command::SetSplitVfo:
      return setSplit(session, request);
    case Command::GetPtt:
      out += rig::answerValues(request, {{"PTT", transmitting() ? "1" : "0"}});
      return;
    case Command::SetPtt:
      return setPtt(session, request);
    case Command::GetLevel:
      return getLevel(session, request);
    case Command::GetPowerstat:
      return getPowerstat(session, request);
    case Command::GetLockMode:
      // Hamlib's network client asks after every frequency set. Nothing here locks the panel;
      // rigctld 4.5 adds its status line to the plain answer too.
      out += request.separator == 0 ? "0\nRPRT 0\n" : rig::answerValues(request, {{"Locked", "0"}});
      return;
    case Command::ChkVfo:
      // rigctld's own form: no command line and no status in the extended answer.
      out += request.separator == 0 ? "0\n" : "ChkVFO: 0\n";
      return;
    case Command::DumpState:
      out += rig::dumpState();
      return;
    case Command::DumpCaps:
      // "+\dump_caps" (a Hamlib client asking for the extended form, as the panel's own line to
      // a rig server does) gets rigctld's first line before the dump; the dump ends with the
      // status either way.
      if (request.separator != 0) out += request.name + ":" + request.separator;
      out += rig::dumpCaps();
      return;
    case Command::Quit:
      out += rig::answerStatus(request, rig::kOk);
      session.quit = true;
      return;
    case Command::Unknown:
      out += rig::answerStatus(request, rig::kNotImplemented);
      return;
  }
}

// ----- reads

void RigServer::getFrequency(Session& session, const Request& request) {
  const PanelState& state = parts_.state;
  // The panel polls VFO A, or B in split; the other, or a radio that is not answering, is asked.
  if (state.splitState > 0 || state.radioConnected == 0) {
    return readRadio(session, request, rig::cat::readFrequency('A'));
  }
  session.output += rig::answerValues(request, {{"Frequency", std::to_string(state.frequencyHz)}});
}

void RigServer::getMode(Session& session, const Request& request, bool split) {
  const PanelState& state = parts_.state;
  const rig::RadioMode* mode = rig::cat::modeOf(state.modeIndex, state.otherMode);
  if (mode == nullptr) {
    session.output += rig::answerStatus(request, kProtocolError);
    return;
  }
  const std::string passband = std::to_string(state.filterWidth * 10);
  if (split) {
    session.output += rig::answerValues(
        request, {{"TX Mode", std::string(mode->name)}, {"TX Passband", passband}});
  } else {
    session.output +=
        rig::answerValues(request, {{"Mode", std::string(mode->name)}, {"Passband", passband}});
  }
}

void RigServer::getLevel(Session& session, const Request& request) {
  // The only level the server serves, from the panel's own meter poll.
  if (request.args[0] != "STRENGTH") {
    session.output += rig::answerStatus(request, rig::kInvalidArgument);
    return;
  }
  session.output +=
      rig::answerValues(request, {{"", std::to_string(strengthOf(parts_.state.sMeter))}});
}

void RigServer::getPowerstat(Session& session, const Request& request) {
  // A radio that answers the polls is switched on; otherwise the radio itself is asked.
  if (parts_.state.radioConnected == 0) {
    return readRadio(session, request, rig::cat::readPower());
  }
  session.output += rig::answerValues(request, {{"Power Status", "1"}});
}

void RigServer::readRadio(Session& session, const Request& request, const std::string& read) {
  parts_.link.sendClientCommand(read);
  session.waiting = Waiting{request, std::string(rig::cat::answerPrefix(read))};
  readOrder_.push_back(session.id);
}

bool RigServer::radioRead(std::string_view bytes) {
  bool clients = false;
  for (int id : readOrder_) {
    const Session* session = sessionWithId(id);
    if (session != nullptr && session->waiting && bytes.substr(0, 2) == session->waiting->prefix) {
      clients = true;
    }
  }
  // Answers end with ";"; a read may hold several, or part of one.
  constexpr std::size_t kLongestAnswer = 64;
  for (char c : bytes) {
    if (c != ';') {
      partialAnswer_ += c;
      if (partialAnswer_.size() > kLongestAnswer) partialAnswer_.clear();  // noise
      continue;
    }
    const std::string answer = std::exchange(partialAnswer_, {});
    for (auto it = readOrder_.begin(); it != readOrder_.end(); ++it) {
      Session* session = sessionWithId(*it);
      if (session == nullptr || !session->waiting ||
          rig::cat::answerPrefix(answer) != session->waiting->prefix) {
        continue;
      }
      readOrder_.erase(it);
      answerRead(*session, answer);
      break;
    }
  }
  return clients;
}

void RigServer::answerRead(Session& session, std::string_view answer) {
  const Request request = std::move(session.waiting->request);
  session.waiting.reset();
  std::string& out = session.output;
  switch (request.command) {
    case Command::GetFreq:
    case Command::GetSplitFreq:
      if (const auto hz = rig::cat::frequencyIn(answer, answer.size() > 1 ? answer[1] : ' ')) {
        const std::string_view label =
            request.command == Command::GetFreq ? "Frequency" : "TX Frequency";
        out += rig::answerValues(request, {{label, std::to_string(*hz)}});
      } else {
        out += rig::answerStatus(request, kProtocolError);
      }
      break;
    case Command::GetPowerstat:
      if (const auto on = rig::cat::powerIn(answer)) {
        out += rig::answerValues(request, {{"Power Status", std::to_string(*on)}});
      } else {
        out += rig::answerStatus(request, kProtocolError);
      }
      break;
    default:
      out += rig::answerStatus(request, kProtocolError);
      break;
  }
  serve(session);
}

// ----- sets

int RigServer::setRefusal() const {
  const PanelState& state = parts_.state;
  // While the tuner runs the operator's own keys are refused too; a program waits for it.
  if (state.tuning == 1) return rig::kRejected;
  // A radio that does not answer takes nothing, as rigctld finds when it checks.
  if (state.radioConnected == 0) return rig::kTimedOut;
  return rig::kOk;
}

void RigServer::setFrequency(Session& session, const Request& request, char vfo) {
  const std::optional<std::int64_t> hz = hertzIn(request.args[0]);
  int code = hz ? setRefusal() : rig::kInvalidArgument;
  if (code == rig::kOk) {
    const std::string command = rig::cat::setFrequency(model(), vfo, *hz);
    parts_.link.sendClientCommand(command);
    parts_.frequency.frequencySetByClient(command);
  }
  session.output += rig::answerStatus(request, code);
}

void RigServer::setMode(Session& session, const Request& request) {
  const rig::RadioMode* mode = rig::cat::modeNamed(request.args[0]);
  const std::optional<std::int32_t> passband = passbandIn(request.args[1]);
  std::optional<std::int32_t> width;
  std::optional<std::string> widthCommand;
  if (mode && passband && *passband > 0) width = widthFor(*passband);
  if (width) widthCommand = rig::cat::setWidth(model(), *mode, *width);
  // A width the filter control or the radio cannot set refuses the whole request: nothing half
  // done.
  int code =
      mode && passband && (*passband <= 0 || widthCommand) ? setRefusal() : rig::kInvalidArgument;
  if (code == rig::kOk) {
    parts_.link.sendClientCommand(rig::cat::setMode(model(), *mode));
    parts_.mode.modeSetByClient(mode->modeIndex, mode->otherMode);
    if (widthCommand) {
      parts_.link.sendClientCommand(*widthCommand);
      parts_.levels.widthSetByClient(*width);
    }
  }
  session.output += rig::answerStatus(request, code);
}

void RigServer::setSplitMode(Session& session, const Request& request) {
  // The transmit VFO works in the receive VFO's mode: the radio changes one VFO's mode only by
  // switching to it, which would disturb the panel's polls. The same mode is no change at all.
  const PanelState& state = parts_.state;
  const rig::RadioMode* mode = rig::cat::modeNamed(request.args[0]);
  const std::optional<std::int32_t> passband = passbandIn(request.args[1]);
  int code = rig::kInvalidArgument;
  if (mode && passband) {
    const bool same = mode == rig::cat::modeOf(state.modeIndex, state.otherMode) &&
                      (*passband <= 0 || widthFor(*passband) == state.filterWidth);
    code = same ? rig::kOk : rig::kNotAvailable;
  }
  session.output += rig::answerStatus(request, code);
}

void RigServer::setVfo(Session& session, const Request& request) {
  // The panel keeps the radio receiving on VFO A (it polls and shows A, and split transmits on B):
  // choosing A is no change, and B is not offered.
  const std::string& vfo = request.args[0];
  int code = rig::kInvalidArgument;
  if (isVfoA(vfo)) {
    code = rig::kOk;
  } else if (rig::isVfoName(vfo)) {
    code = rig::kNotAvailable;
  }
  session.output += rig::answerStatus(request, code);
}

void RigServer::setSplit(Session& session, const Request& request) {
  const std::string& on = request.args[0];
  const std::string& txVfo = request.args[1];
  int code = rig::kInvalidArgument;
  if ((on == "0" || on == "1") && rig::isVfoName(txVfo)) {
    // Split here is the panel's split: receive on A, transmit on B.
    code = on == "1" && !isVfoB(txVfo) ? rig::kNotAvailable : setRefusal();
  }
  if (code == rig::kOk) {
    for (const std::string& command : rig::cat::setSplit(model(), on == "1")) {
      parts_.link.sendClientCommand(command);
    }
    parts_.frequency.splitSetByClient(on == "1");
  }
  session.output += rig::answerStatus(request, code);
}

void RigServer::setPtt(Session& session, const Request& request) {
  const std::string& ptt = request.args[0];
  int code = rig::kInvalidArgument;
  if (ptt == "0") {
    // Always sent, whatever the panel believes: receive is never refused.
    unkey();
    code = rig::kOk;
  } else if (ptt == "1" || ptt == "2" || ptt == "3") {
    // On, on with the microphone, on with the data input: the TS-2000 has one "TX" for all.
    code = setRefusal();
    if (code == rig::kOk) key(session.id);
  }
  session.output += rig::answerStatus(request, code);
}

// ----- transmitting

void RigServer::key(int sessionId) {
  if (keyedBy_ == 0) say("transmit");
  keyedBy_ = sessionId;
  parts_.link.sendClientCommand(rig::cat::transmit(model()));
}

void RigServer::unkey() {
  parts_.link.sendClientCommand(rig::cat::receive(model()));
  if (keyedBy_ != 0) say("receive");
  keyedBy_ = 0;
}

void RigServer::radioLost() {
  if (keyedBy_ == 0) return;
  unkey();
  receiveOwed_ = true;
}

void RigServer::linkBack() {
  if (!receiveOwed_) return;
  receiveOwed_ = false;
  parts_.link.sendClientCommand(rig::cat::receive(model()));
}

void RigServer::tick() {
  // Said here and nowhere else: the network is also served from inside clips.
  for (const std::string& clip : std::exchange(owedNotices_, {})) {
    parts_.announcer.playClip(clip);
  }
  if (listener_ == nullptr) return;
  for (auto& session : sessions_) {
    ++session->silentTicks;
    if (session->waiting && --session->waiting->ticksLeft <= 0) {
      // The radio did not answer in time: the session goes on without it.
      std::erase(readOrder_, session->id);
      const Request request = std::move(session->waiting->request);
      session->waiting.reset();
      session->output += rig::answerStatus(request, rig::kTimedOut);
      serve(*session);
    }
    if (keyedBy_ == session->id && session->silentTicks >= kSilentTicks) {
      log("client " + session->peer + " silent while transmitting");
      unkey();
    }
    receive(*session, kReceiveBudget);
  }
  closeFinished();
}

}  // namespace orvane

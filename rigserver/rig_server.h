// SPDX-License-Identifier: GPL-3.0-or-later
// The rig server: other programs on this machine (a logger, a digital-mode program, a cluster
// client) work the radio through the panel, which holds its only serial line, speaking Hamlib's
// network protocol. Each client is a session: its requests are answered in order, from what the
// panel knows freshly (the frequency and S-meter of its polls, the mode, filter and split it set)
// or, when the panel does not know, from the radio, while that session alone waits. Sets go to
// the radio as CAT commands on the same line as the panel's own, and the panel's state, screen
// and readouts follow them at once.
//
// Transmitting is the one thing a client must never leave behind: when the program that keyed
// the radio goes away or falls silent, when the radio link is lost, and when the panel ends, the
// server sends "RX". The operator hears "transmit" and "receive" once each time, spoken from the
// tick: the network is served from inside clips, where nothing may be spoken.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "platform/platform.h"
#include "rigserver/protocol.h"
#include "speech/announcer.h"
#include "tuning/frequency.h"
#include "tuning/levels.h"
#include "tuning/mode.h"

namespace orvane {

class RigServer {
  using Request = rig::Request;

 public:
  // What the server works through.
  struct Parts {
    PanelState& state;
    CatLink& link;
    Announcer& announcer;
    FrequencyControl& frequency;
    ModeControl& mode;
    LevelControl& levels;
  };

  static constexpr int kDefaultPort = 4532;
  static constexpr char kDefaultAddress[] = "127.0.0.1";
  static constexpr std::size_t kMaxClients = 16;
  // A request line longer than this is refused.
  static constexpr std::size_t kMaxLine = 1024;
  // Requests a client has sent and the server has not yet taken (it waits for the radio); more
  // is a flood, and the client is dropped.
  static constexpr std::size_t kMaxUnread = 64 * 1024;
  // Bytes taken from one client at one call; the rest waits for the next call or tick, so that a
  // client that floods cannot hold up the panel.
  static constexpr std::size_t kReceiveBudget = 16 * 1024;
  // Ticks (50 ms) a session waits for the radio's answer: about a second, as rigctld would.
  static constexpr int kRadioReadTicks = 20;
  // Ticks without any request from the program that keyed the radio after which it is taken to
  // have hung and the radio is put back to receive: ten seconds. Digital-mode programs ask for
  // the frequency and the transmit state every second or so, also while they transmit; an FT8
  // transmission is 12.6 s and a JT65 one 47 s, so nothing shorter than silence can end them.
  static constexpr int kSilentTicks = 200;

  RigServer(Network& network, Parts parts);
  ~RigServer();
  RigServer(const RigServer&) = delete;
  RigServer& operator=(const RigServer&) = delete;

  // Starts listening as the setting "rig-server" says: "off" or nothing does nothing; "on" is
  // 127.0.0.1:4532; a bare port or address fills in the other part. Returns why not, when it
  // could not listen (also written to the debug log); the panel then goes on without it.
  std::optional<std::string> start(const std::optional<std::string>& setting);

  // The network's activity handler: new clients, requests, clients gone. Never speaks, never
  // waits for the radio.
  void activity();
  // At the start of every tick: the notices owed are spoken, answers that did not come are given
  // up, a silent program that keyed the radio is unkeyed, and what is left of the requests is
  // served.
  void tick();
  // Every read from the radio, before the panel routes it. True when it begins with an answer
  // a client is waiting for (the panel then leaves it alone).
  bool radioRead(std::string_view bytes);
  // The radio link was lost: a keyed transmitter is unkeyed at once, and again when the link
  // comes back (linkBack), before anything else is sent.
  void radioLost();
  void linkBack();
  // The panel ends: "RX" first when a client keyed the radio, then every client is closed.
  void shutDown();

  bool listening() const { return listener_ != nullptr; }
  std::size_t clientCount() const { return sessions_.size(); }
  bool transmitting() const { return keyedBy_ != 0; }

 private:
  struct Waiting {
    Request request;
    std::string prefix;  // the two letters of the answer it waits for
    int ticksLeft = kRadioReadTicks;
  };
  struct Session {
    int id = 0;
    std::unique_ptr<Connection> connection;
    std::string peer;
    std::string input;             // received, not yet taken as requests
    std::deque<Request> requests;  // taken, not yet answered
    std::optional<Waiting> waiting;
    std::string output;  // answers not yet handed to the connection
    int silentTicks = 0;
    bool skippingLongLine = false;
    bool quit = false;
    std::string dropReason;  // set when the session is to be closed
  };

  void acceptClients();
  void receive(Session& session, std::size_t budget);
  void serve(Session& session);
  bool takeLine(Session& session);
  void execute(Session& session, const Request& request);
  void flush(Session& session);
  void closeFinished();
  void drop(Session& session, std::string reason);

  // Request handlers; each appends its answer to the session's output or starts a radio read.
  void getFrequency(Session& session, const Request& request);
  void setFrequency(Session& session, const Request& request, char vfo);
  void getMode(Session& session, const Request& request, bool split);
  void setMode(Session& session, const Request& request);
  void setSplitMode(Session& session, const Request& request);
  void setVfo(Session& session, const Request& request);
  void setSplit(Session& session, const Request& request);
  void setPtt(Session& session, const Request& request);
  void getLevel(Session& session, const Request& request);
  void getPowerstat(Session& session, const Request& request);
  // Why a set cannot be carried out now (kOk when it can). Receive is never refused.
  int setRefusal() const;
  void readRadio(Session& session, const Request& request, const std::string& read);
  void answerRead(Session& session, std::string_view answer);

  void key(int sessionId);
  void unkey();
  void say(std::string_view clip) { owedNotices_.emplace_back(clip); }
  void log(const std::string& text) { parts_.link.writeDebugLine("NET=" + text); }
  Session* sessionWithId(int id);

  Network& network_;
  Parts parts_;
  std::unique_ptr<Listener> listener_;
  std::vector<std::unique_ptr<Session>> sessions_;
  int nextId_ = 1;
  // The session that keyed the radio, 0 when none has.
  int keyedBy_ = 0;
  // The link was lost while a client had keyed: "RX" goes first when it is back.
  bool receiveOwed_ = false;
  std::vector<std::string> owedNotices_;
  // Sessions waiting for the radio, in the order their reads went out.
  std::deque<int> readOrder_;
  // The radio's bytes since the last ";".
  std::string partialAnswer_;
};

}  // namespace orvane

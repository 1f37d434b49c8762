// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel.h"

#include <algorithm>

#include "core/config.h"
#include "screen/screen_map.h"

namespace orvane {

namespace {

constexpr char kCreditLine[] = "spoken control for Kenwood TS transceivers";

const std::array<const char*, kBandCount + 1> kBandStartFrequencies = {"",
                                                                       "FA00001900000",
                                                                       "FA00003600000",
                                                                       "FA00005400000",
                                                                       "FA00007100000",
                                                                       "FA00010100000",
                                                                       "FA00014200000",
                                                                       "FA00018100000",
                                                                       "FA00021200000",
                                                                       "FA00024890000",
                                                                       "FA00028500000",
                                                                       "FA00050150000",
                                                                       "FA00145000000",
                                                                       "FA00432000000"};

// AM is "MD5" and FM "MD4": the radio's own numbering differs from the panel's order.
const std::array<ModeEntry, kModeCount + 1> kModeStartTable = {{{"", ""},
                                                                {"MD1", "LSB "},
                                                                {"MD2", "USB "},
                                                                {"MD3", "CW   "},
                                                                {"MD5", "AM   "},
                                                                {"MD4", "FM   "}}};

constexpr int kStartBand = 4;  // 40 m

// The port number the link opens when the radio's line is a rig server, in place of the one in
// orvane.cfg, which is then not used: any number opens the server's line.
constexpr int kRigServerPortNumber = 1;

std::unique_ptr<rigclient::RigServerPorts> rigServerLine(Network& network,
                                                         const Settings& settings) {
  const std::optional<RigServerAddress> server = rigServerAddress(settings);
  if (!server) return nullptr;
  return std::make_unique<rigclient::RigServerPorts>(network, server->host, server->port,
                                                     rigFullPowerWatts(settings));
}

}  // namespace

Panel::Panel(Platform platform, Settings settings)
    : platform_(platform),
      settings_(std::move(settings)),
      rigServerLine_(rigServerLine(platform.network, settings_)),
      port_(rigServerLine_ ? static_cast<SerialPorts&>(*rigServerLine_) : platform.serial),
      log_(platform.files),
      announcer_(state_, platform.sound, platform.files),
      link_(state_, port_, platform.window, log_),
      toggles_(state_, link_, announcer_),
      mode_(state_, link_, announcer_, platform.window),
      frequency_(state_, link_, announcer_, platform.window),
      bands_(state_, link_, announcer_, mode_, toggles_),
      entry_(state_, link_, announcer_, toggles_),
      levels_(state_, link_, announcer_),
      meters_(state_, link_, announcer_),
      channels_(state_, link_, announcer_, mode_, toggles_),
      memory_(state_, platform.files),
      dispatcher_(state_, platform.window,
                  KeyDispatcher::Commands{link_, announcer_, frequency_, entry_, bands_, mode_,
                                          levels_, meters_, channels_, toggles_}),
      rigServer_(platform.network,
                 RigServer::Parts{state_, link_, announcer_, frequency_, mode_, levels_}) {
  link_.setFrequencyAnswerHandler([this] {
    // A radio answering again after a loss gets "RX" first if a client had keyed it.
    if (state_.radioConnected == 0) rigServer_.linkBack();
    frequency_.frequencyAnswer();
  });
  link_.setRadioLostHandler([this] {
    rigServer_.radioLost();
    announcer_.playClip("nc");
  });
  link_.setPortOpenedHandler([this] { portOpenedAgain(); });
  link_.setRadioIdentifiedHandler([this] { radioIdentified(); });
  if (rigServerLine_) {
    rigServerLine_->setLog(
        [this](std::string_view text) { link_.writeDebugLine("RIG=" + std::string(text)); });
    rigServerLine_->setReadyHandler([this] { link_.openAtNextTick(); });
    serveNetwork();
  }
}

void Panel::serveNetwork() {
  // The network has one activity handler, and two may need it: the radio's line to a rig server
  // and the panel's own rig server. The panel's own server sets its handler when it starts
  // listening; this one, set after it, serves both.
  platform_.network.setActivityHandler([this] {
    if (rigServerLine_) rigServerLine_->activity();
    rigServer_.activity();
  });
}

int Panel::run() {
  setProgramTexts();
  // Without a window no key can reach the panel and nothing would ever end it: it stops here,
  // before it touches the port or the memory file.
  if (!openMainWindow()) return kExitNoWindow;
  chooseSpeech();
  readConfiguration();
  announcer_.finishPhrase();
  initialisePanel();
  speakStartupAnnouncement();
  announcer_.finishPhrase();
  if (state_.configMissing == 1) {
    // Without a configuration there is no radio to talk to and nothing worth saving.
    log_.close();
    return 0;
  }
  startRigServer();
  platform_.window.startTimer(kPollTimer, kPollPeriodMs);
  state_.running = 1;
  runMessageLoop();
  platform_.window.stopTimer(kPollTimer);
  shutDown();
  return 0;
}

void Panel::setProgramTexts() {
  state_.version = kVersion;
  state_.banner = "*** Orvane V " + state_.version.str() + " ***";
  state_.creditLine = kCreditLine;
  state_.clipDir = "wave\\";
}

bool Panel::openMainWindow() {
  WindowSpec spec;
  spec.x = screen::kWindowX;
  spec.y = screen::kWindowY;
  spec.width = screen::kWindowWidth;
  spec.height = screen::kWindowHeight;
  spec.title = std::string(screen::kWindowTitle);
  return platform_.window.open(spec, [this](const WindowEvent& event) { windowEvent(event); });
}

void Panel::windowEvent(const WindowEvent& event) {
  // The rig server's notices ("transmit", "receive") come first at a tick, before the poll.
  if (event.kind == WindowEventKind::TimerTick) rigServer_.tick();
  dispatcher_.windowEventHandler(event);
}

void Panel::startRigServer() {
  const std::optional<std::string> problem = rigServer_.start(settings_.value("rig-server"));
  if (problem && reportProblem_) reportProblem_(*problem);
  if (rigServerLine_) serveNetwork();
}

// The clip set speaks unless the station asks for the system's speech service; the service is
// reached in the background, so a station without one starts as quickly as ever.
void Panel::chooseSpeech() {
  if (settings_.value(kSpeechSetting) != "system") return;
  SpeechOptions options;
  if (const auto rate = settings_.value(kSpeechRateSetting); rate && *rate != "off") {
    options.rate = parseSpeechRate(*rate);
  }
  platform_.speech.start(options);
  announcer_.speakThrough(platform_.speech, [this](const std::string& why) {
    log_.writeLine("speech service: " + why + "; the clip set speaks from now on");
  });
}

void Panel::readConfiguration() {
  const std::optional<std::string> contents = platform_.files.readFile(kConfigFileName);
  if (!contents) {
    announcer_.playClip("cfgnf");
    state_.configMissing = 1;
  }
  applyConfiguration(contents, state_);
  if (rigServerLine_) state_.comPort = kRigServerPortNumber;
}

void Panel::speakStartupAnnouncement() {
  for (const char* clip : {"ts", "1", "point", "9"}) announcer_.playClip(clip);
}

void Panel::runMessageLoop() {
  while (state_.running != 0) platform_.window.waitAndDispatch();
}

void Panel::shutDown() {
  rigServer_.shutDown();
  if (leftText(state_.lastFreqReply, 2) == "FA") bands_.bandMemoryStore();
  memory_.saveMemoryFile();
  platform_.window.close();
  if (state_.powerSwitch == 1) link_.sendAction(CatAction::PowerOff);
  announcer_.pauseForRadio();
  port_.closePort(state_.comPort);
  if (rigServerLine_) platform_.network.setActivityHandler({});
  log_.close();
}

void Panel::initialisePanel() {
  drawFixedTexts();
  if (state_.debugLog == 1) log_.open(state_.version.str(), platform_.clock.localNow());
  state_.commandText.clear();
  state_.replyText.clear();
  state_.swrText.clear();
  setStartValues();
  memory_.loadMemoryFile();
  openSerialPort();
  if (state_.powerSwitch == 1) switchRadioOn();
  sendStartState();
}

void Panel::drawFixedTexts() {
  Window& w = platform_.window;
  w.setPrintPosition(screen::kBanner.x, screen::kBanner.y);
  w.print(state_.banner.str() + "  " + state_.creditLine.str());
  w.setPrintPosition(screen::kHelpLine1.x, screen::kHelpLine1.y);
  w.print(screen::kHelpText1);
  w.setPrintPosition(screen::kHelpLine2.x, screen::kHelpLine2.y);
  w.print(screen::kHelpText2);
  w.setPrintPosition(screen::kHelpLine3.x, screen::kHelpLine3.y);
  w.print(screen::kHelpText3);
}

void Panel::setStartValues() {
  state_.bandIndex = kStartBand;
  state_.afGain = 50;
  state_.rfGain = 255;
  state_.filterWidth = 240;
  state_.entryMHz = kNoEntry;
  for (std::size_t band = 1; band <= kBandCount; ++band) {
    state_.bandTable[band] = kBandStartFrequencies[band];
  }
  state_.vfoAReply = state_.bandTable[kStartBand];
  state_.vfoBReply = state_.bandTable[kStartBand];
  state_.modeTable = kModeStartTable;
  state_.modeIndex = 1;
  for (Text& channel : state_.memoryChannels) channel = kEmptyChannel;
}

void Panel::openSerialPort() {
  startStateOwed_ = !link_.openRadioPort();
}

// A port missing at start (adapter not yet plugged in, a radio with its own USB port still
// switched off) is opened later by the poll. The radio then gets the start state it missed, so that
// it agrees with what the panel holds and shows; a radio that was only away keeps its settings.
void Panel::portOpenedAgain() {
  rigServer_.linkBack();
  if (!startStateOwed_) return;
  startStateOwed_ = false;
  if (state_.powerSwitch == 1) switchRadioOn();
  sendStartState();
}

void Panel::switchRadioOn() {
  // A radio that is switched off sleeps until something arrives on the line: the first command
  // only wakes its interface, and each pause lets it come up before the next one.
  link_.send("Poweron");
  announcer_.pauseForRadio();
  link_.sendAction(CatAction::PowerOn);
  announcer_.pauseForRadio();
}

void Panel::sendStartState() {
  const std::vector<std::string> forms = startStateForms(modelOnTheLine(state_));
  link_.send(forms[0]);
  platform_.window.setFont(screen::kLargeFace, screen::kLargePoints, screen::kLargeWeight);
  platform_.window.setPrintPosition(screen::kMode.x, screen::kMode.y);
  platform_.window.print("LSB ");
  link_.send(state_.bandTable[kStartBand]);
  for (std::size_t i = 1; i < forms.size(); ++i) link_.send(forms[i]);
  state_.startStateModel = state_.radioModel;
}

// The start state as the model takes it, with the panel's values: at start LSB, then preamplifier,
// attenuator and blanker off, the power, VFO A, AF gain 50 and RF gain 255 (the band's frequency
// comes between the first two and is the same on every model).
std::vector<std::string> Panel::startStateForms(RadioModel model) const {
  const std::size_t mode = static_cast<std::size_t>(std::clamp(state_.modeIndex, 1, kModeCount));
  const std::pair<CatAction, std::int64_t> steps[] = {
      {CatAction::Mode, ModeControl::kenwoodModeNumber(state_.modeTable[mode])},
      {state_.preampOn == 1 ? CatAction::PreampOn : CatAction::PreampOffAtStart, 0},
      {state_.attenuatorOn == 1 ? CatAction::AttenuatorOn : CatAction::AttenuatorOff, 0},
      {state_.blankerOn == 1 ? CatAction::BlankerOn : CatAction::BlankerOff, 0},
      {CatAction::Power, LevelControl::powerArgument(state_.powerWatts)},
      {CatAction::ReceiveOnVfoA, 0},
      {CatAction::AfGain, state_.afGain},
      {CatAction::RfGain, state_.rfGain}};
  std::vector<std::string> forms;
  for (const auto& [action, argument] : steps)
    forms.push_back(*catCommand(model, action, argument));
  return forms;
}

// The radio has named itself. A radio that is not the one the panel was written for is named once;
// and one that takes the start state in other forms than those it was sent in gets it again in its
// own, so that it holds what the panel holds: its answers to the first ones may well have been
// "?;".
void Panel::radioIdentified() {
  const RadioModel model = modelOnTheLine(state_);
  const ModelInfo& info = modelInfo(model);
  if (!info.clip.empty()) announcer_.playClip(info.clip);
  const RadioModel sentIn = static_cast<RadioModel>(state_.startStateModel);
  if (model == sentIn) return;
  const std::vector<std::string> before = startStateForms(sentIn);
  const std::vector<std::string> now = startStateForms(model);
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i] != before[i]) link_.send(now[i]);
  state_.startStateModel = state_.radioModel;
}

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/posix/serial_line.h"

namespace radiosim {
namespace {

// A command longer than this without its ";" is line noise, not a command.
constexpr std::size_t kLongestCommand = 64;
constexpr double kHousekeepingSeconds = BandDrift::kStepSeconds;
// Time without traffic after which the line counts as unused.
constexpr double kQuietSeconds = 1.0;
constexpr double kDefaultSplitPause = 0.12;

std::string escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (u > 0x20 && u < 0x7f) {
      out += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

std::string lineFormatText(const orvane::SerialLineFormat& f) {
  static constexpr char kParity[] = "NOEMS";
  const char parity = f.parity >= 0 && f.parity <= 4 ? kParity[f.parity] : '?';
  return std::to_string(f.baudRate) + " " + std::to_string(f.dataBits) + parity +
         std::to_string(f.stopBits);
}

timespec toTimespec(double seconds) {
  if (seconds < 0) seconds = 0;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
  return ts;
}

bool isHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The text of a control line with the log's escapes undone: \xNN is the byte NN, \\ a backslash.
// Nothing for a broken escape.
std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && isHexDigit(text[i + 2]) &&
               isHexDigit(text[i + 3])) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

// What follows the first `words` words of a control line and the blank after them.
std::string_view restAfterWords(std::string_view line, int words) {
  std::size_t at = 0;
  for (int w = 0; w < words; ++w) {
    at = line.find(' ', at);
    if (at == std::string_view::npos) return {};
    ++at;
  }
  return line.substr(at);
}

std::optional<long long> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return v;
}

}  // namespace

// ---- event log

bool EventLog::open(const std::string& path) {
  if (path.empty()) return true;
  if (path == "-") {
    toStdout_ = true;
    return true;
  }
  fd_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
  return fd_.valid();
}

// One write(2) per line, so a test reading the file never sees half a line and a killed radiosim
// leaves a complete log.
void EventLog::write(double seconds, std::string_view text) {
  const int fd = toStdout_ ? STDOUT_FILENO : fd_.get();
  if (fd < 0) return;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.6f ", seconds + offset_);
  const std::string line = stamp + std::string(text) + "\n";
  [[maybe_unused]] const ssize_t ignored = ::write(fd, line.data(), line.size());
}

// ---- setting up

Simulator::Simulator(Options options)
    : options_(std::move(options)),
      radio_(options_.model),
      started_(std::chrono::steady_clock::now()),
      drifting_(options_.drift) {
  radio_.tuneVfo(0, options_.startHz);
  radio_.tuneVfo(1, options_.startHz);
  radio_.setPower(!options_.startSwitchedOff);
  // steady_clock is CLOCK_MONOTONIC on Linux.
  if (options_.logMonotonic)
    log_.setClockOffset(std::chrono::duration<double>(started_.time_since_epoch()).count());
}

Simulator::~Simulator() {
  removeLink();
  if (fifoMade_) ::unlink(options_.controlPath.c_str());
}

// Only our own link: a second radiosim may have taken the name over since.
void Simulator::removeLink() {
  if (!linkMade_) return;
  linkMade_ = false;
  char target[256] = {};
  const ssize_t n = ::readlink(linkPath().c_str(), target, sizeof target - 1);
  if (n > 0 && std::string_view(target, static_cast<std::size_t>(n)) == slavePath_)
    ::unlink(linkPath().c_str());
}

std::string Simulator::linkPath() const {
  return options_.directory + "/com" + std::to_string(options_.port);
}

double Simulator::now() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

std::optional<std::string> Simulator::start() {
  if (!log_.open(options_.logPath)) return "cannot open the log " + options_.logPath;
  if (auto error = openLine()) return error;
  if (auto error = makeControlFifo()) return error;
  if (auto error = makeLink()) return error;
  log_.write(now(), "#radiosim " + std::string(radio_.name()) + " on " + slavePath_ + " as " +
                        linkPath() + ", " + std::to_string(options_.baud) + " baud");
  return std::nullopt;
}

std::optional<std::string> Simulator::openLine() {
  master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  char name[128] = {};
  if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0 ||
      ::ptsname_r(master_.get(), name, sizeof name) != 0) {
    return std::string("cannot make a pseudo-terminal");
  }
  slavePath_ = name;
  ::fcntl(master_.get(), F_SETFL, ::fcntl(master_.get(), F_GETFL) | O_NONBLOCK);
  slave_.reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!slave_) return "cannot open " + slavePath_;
  // The line as a serial adapter has it: raw, so nothing is echoed back to the radio before the
  // panel has set it up, at the radio's speed.
  if (!orvane::makeRawLine(slave_.get()) ||
      !orvane::writeTermiosFormat(slave_.get(), {options_.baud, 8, 0, 1})) {
    return "cannot set up " + slavePath_ + " at " + std::to_string(options_.baud) + " baud";
  }
  return std::nullopt;
}

void Simulator::unplug() {
  removeLink();
  master_.reset();
  slave_.reset();
  output_.clear();
  pendingCommand_.clear();
  plugged_ = false;
}

std::optional<std::string> Simulator::plugIn() {
  if (auto error = openLine()) return error;
  if (auto error = makeLink()) return error;
  plugged_ = true;
  log_.write(now(), "#plugged in on " + slavePath_ + " as " + linkPath());
  return std::nullopt;
}

std::optional<std::string> Simulator::makeControlFifo() {
  if (options_.controlPath.empty()) return std::nullopt;
  struct stat st {};
  if (::lstat(options_.controlPath.c_str(), &st) == 0) {
    if (!S_ISFIFO(st.st_mode)) return options_.controlPath + " exists and is not a FIFO";
  } else if (::mkfifo(options_.controlPath.c_str(), 0600) == 0) {
    fifoMade_ = true;
  } else {
    return "cannot make the FIFO " + options_.controlPath;
  }
  // Opened for writing too, so the FIFO never reports end of file when a writer goes away.
  controlFd_.reset(::open(options_.controlPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (!controlFd_) return "cannot open the FIFO " + options_.controlPath;
  return std::nullopt;
}

// The link replaces a stale link of an earlier run in one step, and never anything else.
std::optional<std::string> Simulator::makeLink() {
  const std::string link = linkPath();
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
    return link + " exists and is not a link";
  const std::string temp = options_.directory + "/.com" + std::to_string(options_.port) +
                           ".radiosim-" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(slavePath_.c_str(), temp.c_str()) != 0 ||
      ::rename(temp.c_str(), link.c_str()) != 0) {
    ::unlink(temp.c_str());
    return "cannot make the link " + link;
  }
  linkMade_ = true;
  return std::nullopt;
}

// ---- the line

// Start bit, data bits, parity bit and stop bits of the format the panel has set, at the radio's
// speed.
double Simulator::charSeconds() const {
  const auto f = orvane::readTermiosFormat(slave_.get());
  const int bits = f ? 1 + f->dataBits + (f->parity != 0 ? 1 : 0) + f->stopBits : 10;
  return bits / static_cast<double>(options_.baud);
}

// The radio's receiver only makes sense of characters sent at its speed and with its character
// format; stop bits do not matter to a receiver.
bool Simulator::lineFormatMatches(std::string& why) const {
  const auto f = orvane::readTermiosFormat(slave_.get());
  if (!f || (f->baudRate == options_.baud && f->dataBits == 8 && f->parity == 0)) return true;
  why = "line at " + lineFormatText(*f) + ", radio at " + std::to_string(options_.baud) + " 8N";
  return false;
}

void Simulator::receive(std::string_view bytes, double at) {
  lastTraffic_ = at;
  std::string why;
  if (!lineFormatMatches(why)) {
    log_.write(at, "#garbled " + std::to_string(bytes.size()) + " bytes: " + why);
    pendingCommand_.clear();
    return;
  }
  const double perChar = charSeconds();
  for (const char c : bytes) {
    receiveClock_ = std::max(receiveClock_, at) + perChar;
    if (c != ';') {
      pendingCommand_ += c;
      if (pendingCommand_.size() > kLongestCommand) {
        log_.write(at, "#junk " + escaped(pendingCommand_));
        pendingCommand_.clear();
      }
      continue;
    }
    const std::string command = std::exchange(pendingCommand_, {});
    takeCommand(command, receiveClock_);
  }
}

void Simulator::takeCommand(const std::string& command, double arrived) {
  log_.write(now(), command.empty() ? "#empty command" : escaped(command));
  const bool wasTransmitting = radio_.state().transmitting;
  const auto answer = radio_.handle(command, arrived);
  noteTransmitChange(wasTransmitting, now());
  // A form the model does not take is worth seeing in the log, not only on the line.
  if (answer == "?;") log_.write(now(), "#refused " + escaped(command));
  if (!answer || silent_) return;
  const auto replaced = answerOverrides_.find(command);
  sendAnswer(replaced != answerOverrides_.end() ? replaced->second : *answer, arrived);
}

// The answer starts after the radio's turnaround (plus any slowness asked for), once the line is
// free, and is handed over when its last character would have arrived at the panel.
void Simulator::sendAnswer(const std::string& answer, double arrived) {
  const double perChar = charSeconds();
  double start = std::max(arrived + options_.turnaroundMs / 1000.0 + slowSeconds_, transmitClock_);
  if (splitPause_ && answer.size() > 1) {
    const std::size_t half = answer.size() / 2;
    start += static_cast<double>(half) * perChar;
    output_.push_back({start, answer.substr(0, half)});
    start += *splitPause_;
    splitPause_.reset();
    transmitClock_ = start + static_cast<double>(answer.size() - half) * perChar;
    output_.push_back({transmitClock_, answer.substr(half)});
    return;
  }
  transmitClock_ = start + static_cast<double>(answer.size()) * perChar;
  output_.push_back({transmitClock_, answer});
}

void Simulator::sendRaw(const std::string& bytes, double at) {
  transmitClock_ = std::max(at, transmitClock_) + static_cast<double>(bytes.size()) * charSeconds();
  output_.push_back({transmitClock_, bytes});
}

void Simulator::flushDue(double at) {
  while (!output_.empty() && output_.front().due <= at) {
    const std::string& bytes = output_.front().bytes;
    const ssize_t n = ::write(master_.get(), bytes.data(), bytes.size());
    if (n < static_cast<ssize_t>(bytes.size())) {
      const std::size_t lost = bytes.size() - (n > 0 ? static_cast<std::size_t>(n) : 0);
      log_.write(at, "#lost " + std::to_string(lost) + " bytes: the line's input queue is full");
    }
    output_.pop_front();
    lastTraffic_ = at;
  }
}

// ---- control channel

void Simulator::readControl() {
  char buffer[1024];
  const ssize_t n = ::read(controlFd_.get(), buffer, sizeof buffer);
  if (n <= 0) return;
  pendingControl_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end = 0;
  while ((end = pendingControl_.find('\n')) != std::string::npos) {
    std::string line = pendingControl_.substr(0, end);
    pendingControl_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) control(line);
  }
}

std::string Simulator::transmitNote() const {
  const RadioState& s = radio_.state();
  if (!s.transmitting) return "#transmit off";
  if (s.transmitForm < 0) return "#transmit on";
  return "#transmit on TX" + std::to_string(s.transmitForm);
}

void Simulator::noteTransmitChange(bool wasTransmitting, double at) {
  if (radio_.state().transmitting != wasTransmitting) log_.write(at, transmitNote());
}

void Simulator::control(const std::string& line) {
  const double at = now();
  const bool wasTransmitting = radio_.state().transmitting;
  std::istringstream in(line);
  std::string verb, first, second;
  in >> verb >> first >> second;
  const auto number = parseNumber(second.empty() ? first : second);
  const auto text = unescaped(restAfterWords(line, verb == "answer" ? 2 : 1));
  bool ok = true;
  if (verb == "freq" && number && radio_.receives(*number)) {
    if (first == "a" || first == "b") {
      radio_.tuneVfo(first == "a" ? 0 : 1, *number);
    } else if (second.empty()) {
      radio_.tuneReceiveVfo(*number);
    } else {
      ok = false;
    }
  } else if (verb == "smeter" && number && second.empty()) {
    drifting_ = false;  // the signal set by hand stays where it was put
    radio_.setSignal(static_cast<int>(*number));
  } else if (verb == "drift" && (first == "on" || first == "off") && second.empty()) {
    drifting_ = first == "on";
  } else if (verb == "swr" && number && second.empty()) {
    radio_.setAntennaSwr(static_cast<int>(*number));
  } else if (verb == "silent" && (first == "on" || first == "off")) {
    silent_ = first == "on";
  } else if (verb == "power" && (first == "on" || first == "off")) {
    radio_.setPower(first == "on");
  } else if (verb == "transmit" && (first == "on" || first == "off") && second.empty()) {
    ok = radio_.setTransmit(first == "on");
  } else if (verb == "transmit" && first.empty()) {
    log_.write(at, "@" + line);
    log_.write(at, transmitNote());
    return;
  } else if (verb == "slow" && number && *number >= 0) {
    slowSeconds_ = static_cast<double>(*number) / 1000.0;
  } else if (verb == "split" && (first.empty() || (number && *number >= 0))) {
    splitPause_ = first.empty() ? kDefaultSplitPause : static_cast<double>(*number) / 1000.0;
  } else if (verb == "unplug" && first.empty() && plugged_) {
    unplug();
  } else if (verb == "plug" && first.empty() && !plugged_) {
    if (auto error = plugIn()) {
      log_.write(at, "#" + *error);
      ok = false;
    }
  } else if (verb == "answer" && !first.empty() && text) {
    if (text->empty()) {
      answerOverrides_.erase(first);
    } else {
      answerOverrides_[first] = *text;
    }
  } else if (verb == "quit" && first.empty()) {
    quit_ = true;
  } else if (!plugged_) {
    ok = false;  // nothing reaches a line that is not there
  } else if (verb == "noise" && (first.empty() || (number && *number > 0 && *number <= 65536))) {
    std::string bytes(first.empty() ? 16 : static_cast<std::size_t>(*number), '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& c : bytes) c = static_cast<char>(byte(noise_));
    sendRaw(bytes, at);
  } else if (verb == "burst" && (first.empty() || (number && *number > 0 && *number <= 65536))) {
    const std::size_t atLeast = first.empty() ? 300 : static_cast<std::size_t>(*number);
    const std::string answer = radio_.frequencyAnswer(radio_.split() ? 1 : 0);
    std::string bytes;
    while (bytes.size() < atLeast) bytes += answer;
    sendRaw(bytes, at);
  } else if (verb == "send" && text && !text->empty()) {
    sendRaw(*text, at);
  } else {
    ok = false;
  }
  log_.write(at, (ok ? "@" : "@? ") + line);
  noteTransmitChange(wasTransmitting, at);
}

// ---- housekeeping

// Whether any program holds a flock(2) lock on our side of the line, as the panel does while it
// has the port open. /proc/locks names the locked file by device and inode.
bool Simulator::lockHeldOnSlave() const {
  struct stat st {};
  if (::fstat(slave_.get(), &st) != 0) return true;
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  if (!locks) return true;
  std::string word;
  while (locks >> word)
    if (word == wanted) return true;
  return false;
}

// A real port that nobody has open forgets what arrives and any exclusive mode. Our pty lives on
// while we hold it, so once no program has it locked we do the forgetting: an exclusive mode left
// by a panel that died without closing would otherwise lock out the next panel, and answers nobody
// read would greet it. The panel takes its lock before it sets the exclusive mode, so an exclusive
// mode without a lock is one nobody holds any more.
void Simulator::housekeeping(double at) {
  radio_.advance(at);
  // The drift moves on the TS-2000's scale; other models show it on their own.
  if (drifting_)
    radio_.setSignal(static_cast<int>(std::lround(drift_.step() * radio_.sMeterFullScale() /
                                                  double{RadioModel::kTs2000MeterScale})));
  if (!plugged_ || lockHeldOnSlave()) return;
  int exclusive = 0;
  if (::ioctl(slave_.get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    ::ioctl(slave_.get(), TIOCNXCL);
    log_.write(at, "#cleared the exclusive mode of a program that has gone");
  }
  int unread = 0;
  if (at - lastTraffic_ >= kQuietSeconds && output_.empty() &&
      ::ioctl(slave_.get(), FIONREAD, &unread) == 0 && unread > 0) {
    ::tcflush(slave_.get(), TCIFLUSH);
    log_.write(at, "#dropped " + std::to_string(unread) + " bytes nobody read");
  }
}

// ---- the loop

void Simulator::run(int signalFd) {
  double nextHousekeeping = 0;
  double masterResting = 0;  // the master hung up: look again after this time
  while (!quit_) {
    double at = now();
    flushDue(at);
    if (at >= nextHousekeeping) {
      housekeeping(at);
      nextHousekeeping = at + kHousekeepingSeconds;
    }
    double wake = nextHousekeeping;
    if (!output_.empty()) wake = std::min(wake, output_.front().due);
    const bool watchMaster = at >= masterResting;
    if (!watchMaster) wake = std::min(wake, masterResting);

    pollfd fds[3] = {{signalFd, POLLIN, 0},
                     {watchMaster ? master_.get() : -1, POLLIN, 0},
                     {controlFd_ ? controlFd_.get() : -1, POLLIN, 0}};
    const timespec timeout = toTimespec(wake - at);
    if (::ppoll(fds, 3, &timeout, nullptr) < 0 && errno != EINTR) break;

    if ((fds[0].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      if (::read(signalFd, &info, sizeof info) > 0)
        log_.write(now(), "#signal " + std::to_string(info.ssi_signo) + ", stopping");
      break;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      char buffer[4096];
      const ssize_t n = ::read(master_.get(), buffer, sizeof buffer);
      if (n > 0) receive(std::string_view(buffer, static_cast<std::size_t>(n)), now());
    } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
      // Cannot happen while we hold the slave ourselves; if it does, do not spin on it.
      masterResting = now() + 0.1;
    }
    if ((fds[2].revents & POLLIN) != 0) readControl();
  }
  log_.write(now(), "#stopped");
}

}  // namespace radiosim

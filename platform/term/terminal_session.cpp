// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/terminal_session.h"

#include <fcntl.h>
#include <linux/kd.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

namespace orvane::term {
namespace {

// DECARM: the Linux console stops (and starts again) repeating a held key on this console alone.
// Terminal emulators ignore it: their keyboard's repeat belongs to the whole desktop.
constexpr char kRepeatOff[] = "\x1b[?8l";
constexpr char kRepeatOn[] = "\x1b[?8h";

constexpr std::array<int, 3> kCloseSignals{SIGTERM, SIGINT, SIGHUP};
constexpr std::array<int, 5> kCrashSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// What a signal handler needs to give the terminal back, and the handlers that were there before.
// Signal handlers see nothing but this; it is set before they are installed and cleared after
// they are gone, and only one session holds the terminal at a time.
struct HeldTerminal {
  bool held = false;
  int fd = -1;
  termios saved{};
  int controlFd = -1;  // >= 0 when the repeat mode must be switched back on
  int wakeFd = -1;
  std::array<struct sigaction, kCloseSignals.size()> closeBefore{};
  std::array<bool, kCloseSignals.size()> closeTaken{};
  std::array<struct sigaction, kCrashSignals.size()> crashBefore{};
  struct sigaction pipeBefore {};
};
HeldTerminal heldTerminal;
volatile std::sig_atomic_t closeSignalled = 0;

bool writeAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

// Only async-signal-safe calls: it also runs in the crash handler.
void giveTerminalBack(int when) {
  ::tcsetattr(heldTerminal.fd, when, &heldTerminal.saved);
  if (heldTerminal.controlFd >= 0)
    writeAll(heldTerminal.controlFd, kRepeatOn, sizeof kRepeatOn - 1);
}

void onCloseSignal(int) {
  const int savedErrno = errno;
  closeSignalled = 1;
  if (heldTerminal.wakeFd >= 0) wakeByte(heldTerminal.wakeFd, 's');
  errno = savedErrno;
}

// The terminal is given back before the crash goes on as it would have (a core dump, or the
// sanitizers' report): a console left in raw mode takes no command, not even "reset", typed blind.
void onCrash(int signal) {
  giveTerminalBack(TCSANOW);
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    if (kCrashSignals[i] == signal) ::sigaction(signal, &heldTerminal.crashBefore[i], nullptr);
  }
  // Blocked while this handler runs: it comes again as soon as the handler returns.
  ::raise(signal);
}

void catchSignals() {
  for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
    struct sigaction& before = heldTerminal.closeBefore[i];
    ::sigaction(kCloseSignals[i], nullptr, &before);
    // A signal ignored by whoever started the panel (nohup, a script's background job) stays so.
    heldTerminal.closeTaken[i] = before.sa_handler != SIG_IGN;
    if (!heldTerminal.closeTaken[i]) continue;
    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(kCloseSignals[i], &action, nullptr);
  }
  // The status line goes to standard output; a pipe whose reader has gone must not end the panel
  // before it has saved its memory.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &heldTerminal.pipeBefore);
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    ::sigaction(kCrashSignals[i], &action, &heldTerminal.crashBefore[i]);
  }
}

void releaseCloseSignals() {
  for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
    if (heldTerminal.closeTaken[i])
      ::sigaction(kCloseSignals[i], &heldTerminal.closeBefore[i], nullptr);
  }
  ::sigaction(SIGPIPE, &heldTerminal.pipeBefore, nullptr);
}

void releaseCrashSignals() {
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    ::sigaction(kCrashSignals[i], &heldTerminal.crashBefore[i], nullptr);
  }
}

// Every key as it is typed: no line editing, no echo, no signals from Ctrl-C, Ctrl-Z or Ctrl-\,
// no flow control from Ctrl-S and Ctrl-Q, CR as it comes. Output is left as it was, so a line
// still ends the way the terminal expects.
termios rawMode(termios mode) {
  mode.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return mode;
}

// The terminal on fd opened for writing: by its name, since standard output may go elsewhere, or
// else fd itself when it was opened for writing too (a service that systemd gives the console,
// whose user may not open it by name).
UniqueFd forWriting(int fd) {
  char name[256] = {};
  if (::ttyname_r(fd, name, sizeof name) == 0) {
    UniqueFd byName(::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (byName) return byName;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) != O_RDWR) return UniqueFd();
  return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

bool isLinuxConsole(int fd) {
  int mode = 0;
  return ::ioctl(fd, KDGKBMODE, &mode) == 0;
}

bool makePipe(UniqueFd& read, UniqueFd& write) {
  int fds[2] = {-1, -1};
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  read.reset(fds[0]);
  write.reset(fds[1]);
  return true;
}

}  // namespace

std::unique_ptr<TerminalSession> TerminalSession::start(int inFd, std::string& whyNot) {
  termios saved{};
  if (!::isatty(inFd) || ::tcgetattr(inFd, &saved) != 0) {
    whyNot = "standard input is not a terminal";
    return nullptr;
  }
  if (heldTerminal.held) {
    whyNot = "the terminal is in use by this program already";
    return nullptr;
  }
  std::unique_ptr<TerminalSession> session(new TerminalSession(inFd, saved));
  if (!session->takeOver(whyNot)) return nullptr;
  return session;
}

TerminalSession::TerminalSession(int inFd, const termios& saved) : inFd_(inFd), saved_(saved) {}

bool TerminalSession::takeOver(std::string& whyNot) {
  if (!makePipe(wakeRead_, wakeWrite_) || !makePipe(stopRead_, stopWrite_)) {
    whyNot = std::string("no pipe for the key reader: ") + std::strerror(errno);
    return false;
  }
  heldTerminal = HeldTerminal{};
  heldTerminal.held = true;
  heldTerminal.fd = inFd_;
  heldTerminal.saved = saved_;
  heldTerminal.wakeFd = wakeWrite_.get();
  closeSignalled = 0;
  catchSignals();
  const termios raw = rawMode(saved_);
  if (::tcsetattr(inFd_, TCSANOW, &raw) != 0) {
    whyNot = std::string("the terminal cannot be set up: ") + std::strerror(errno);
    releaseCloseSignals();
    releaseCrashSignals();
    heldTerminal = HeldTerminal{};
    return false;
  }
  turnRepeatsOff();
  reader_ = std::thread([this] { readKeys(); });
  taken_ = true;
  return true;
}

// On the Linux console a held key is then never repeated, and every key that arrives was pressed:
// keys typed ahead while the panel speaks are counted exactly.
void TerminalSession::turnRepeatsOff() {
  if (!isLinuxConsole(inFd_)) return;
  control_ = forWriting(inFd_);
  if (!control_ || !writeAll(control_.get(), kRepeatOff, sizeof kRepeatOff - 1)) return;
  heldTerminal.controlFd = control_.get();
  repeatsOff_ = true;
}

TerminalSession::~TerminalSession() {
  if (!taken_) return;
  writeAll(stopWrite_.get(), "x", 1);
  if (reader_.joinable()) reader_.join();
  releaseCloseSignals();
  // Keys typed after the end are dropped rather than left for the shell to run.
  giveTerminalBack(TCSAFLUSH);
  releaseCrashSignals();
  heldTerminal = HeldTerminal{};
}

// A thread of its own that only reads and notes the time: keys are handled on the program's one
// thread, but typed while that thread is busy (a clip speaking), they would otherwise all seem to
// arrive at the same moment afterwards, and a key typed twice could not be told from a key held.
void TerminalSession::readKeys() {
  std::array<char, 256> buffer{};
  while (true) {
    std::array<pollfd, 2> fds{{{inFd_, POLLIN, 0}, {stopRead_.get(), POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) return;
    const ssize_t n = ::read(inFd_, buffer.data(), buffer.size());
    const KeyClock::time_point at = KeyClock::now();
    if (n > 0) {
      {
        std::lock_guard lock(inputMutex_);
        input_.push_back(Chunk{std::string(buffer.data(), static_cast<std::size_t>(n)), at});
      }
      wake();
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    break;  // hung up (end of input, EIO): the terminal is gone
  }
  hungUp_ = true;
  wake();
}

void TerminalSession::wake() {
  wakeByte(wakeWrite_.get(), 'k');
}

bool TerminalSession::wait(int timeoutMs, int watchedFd) {
  // poll passes over a negative descriptor.
  std::array<pollfd, 2> fds{{{wakeRead_.get(), POLLIN, 0}, {watchedFd, POLLIN, 0}}};
  const bool woken = closeSignalled == 0 && ::poll(fds.data(), fds.size(), timeoutMs) > 0;
  std::array<char, 64> drain{};
  while (::read(wakeRead_.get(), drain.data(), drain.size()) > 0) {
  }
  return woken && (fds[1].revents & POLLIN) != 0;
}

std::vector<TerminalSession::Chunk> TerminalSession::takeInput() {
  std::lock_guard lock(inputMutex_);
  return std::exchange(input_, {});
}

bool TerminalSession::takeHangUp() {
  if (!hungUp_ || hangUpTaken_) return false;
  hangUpTaken_ = true;
  return true;
}

bool TerminalSession::takeCloseSignal() {
  if (closeSignalled == 0) return false;
  closeSignalled = 0;
  return true;
}

}  // namespace orvane::term

// SPDX-License-Identifier: GPL-3.0-or-later
// The services the panel needs from the machine it runs on. The logic sees only these interfaces;
// main builds the real ones (SDL2 and POSIX), the tests build the in-memory fakes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// ---------------------------------------------------------------------------------------------
// Window, events and timer

enum class WindowEventKind { CloseRequest, KeyDown, KeyUp, TimerTick };

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::CloseRequest;
  int key = 0;  // Windows virtual-key code for KeyDown and KeyUp, else 0
};

using WindowEventHandler = std::function<void(const WindowEvent&)>;

struct WindowSpec {
  int x = 0;
  int y = 0;
  int width = 0;  // outer size, frame and title bar included
  int height = 0;
  std::string title;
};

// The one main window: a fixed-size window with a persistent drawing surface, a print position and
// a current font. Every method is safe to call before open() and after close(); it then does
// nothing.
class Window {
 public:
  virtual ~Window() = default;

  // Creates and shows the window; its events go to handler from then on. Returns false when no
  // window could be made that the operator can see and type into (no display); the panel then
  // ends at once.
  virtual bool open(const WindowSpec& spec, WindowEventHandler handler) = 0;
  // Destroys the window; later prints and timers do nothing. Pending events are dropped.
  virtual void close() = 0;

  // Moves the print position (pixels from the top-left corner of the client area).
  virtual void setPrintPosition(int x, int y) = 0;
  // Draws text in black on opaque white cells at the print position in the current font, trailing
  // blanks included, and moves the print position to the end of the drawn text. Never wraps.
  virtual void print(std::string_view text) = 0;
  // Selects the font for every later print. weight follows the usual 100..900 scale (700 bold).
  virtual void setFont(std::string_view face, int points, int weight) = 0;

  // Starts (or restarts) periodic timer id. Ticks arrive as TimerTick events; at most one tick is
  // pending at a time, so ticks that fall due while the program is busy are not made up.
  virtual void startTimer(int id, int periodMs) = 0;
  virtual void stopTimer(int id) = 0;

  // Blocks until at least one event is pending, delivers every pending event to the handler in
  // order, and returns. Returns at once when the window is not open.
  virtual void waitAndDispatch() = 0;
};

// ---------------------------------------------------------------------------------------------
// Sound

// Plays WAV clips on the sound device. A clip that cannot be loaded, or a machine without a sound
// device, plays nothing and returns at once; nothing is ever reported to the operator.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Plays the file and returns when its last sample has been played. Returns false when nothing
  // could be played.
  virtual bool playBlocking(const std::string& path) = 0;
  // Starts the file and returns at once; it sounds until it ends or stop() is called.
  virtual bool playNoWait(const std::string& path) = 0;
  // Cuts off whatever is sounding at once. Does nothing when nothing sounds.
  virtual void stop() = 0;
  // Plays a clip that is a pause the radio needs rather than speech: at its recorded length
  // whatever pace the other clips are played at, sounding when audible, as silence of the same
  // length otherwise. Returns when it has ended; false, at once, when the clip cannot be played.
  virtual bool playPause(const std::string& path, bool audible) = 0;
};

// ---------------------------------------------------------------------------------------------
// Speech service: the system's own text-to-speech (speech-dispatcher, SAPI 5), speaking whole
// phrases in the voice, language, rate, pitch and volume the operator has set up there.

enum class SpeechPriority {
  Message,  // a readout or answer: the next message cuts it off, as a new key does in a screen
            // reader
  Notice,   // never cut off (the link lost, transmission starting): later messages wait for it
};

struct SpeechOptions {
  // The panel's own speaking rate on the service's scale, -100 (slowest) to 100 (fastest), 0 the
  // voice's normal rate; nothing leaves the rate the operator set up in the service untouched.
  std::optional<int> rate;
};

// What became of a phrase handed to the speech service.
enum class SpeechResult {
  Taken,     // the service will say it
  NotReady,  // the service is still being reached: this phrase is for the clip set, later ones
             // may be taken
  Gone,      // the service is missing, has gone or does not answer, for the rest of the run
};

class SpeechService {
 public:
  virtual ~SpeechService() = default;
  // Begins reaching the service and returns at once; nothing is spoken yet. Called once.
  virtual void start(const SpeechOptions& options) = 0;
  // Hands text (UTF-8, plain words) to the service and returns without waiting for the speech,
  // and never waits for the service longer than about a second. Once the service is Gone the
  // reason has been told once on standard error and stays in whyNot(), and every later call
  // returns Gone at once.
  virtual SpeechResult say(std::string_view text, SpeechPriority priority) = 0;
  // Why the service cannot speak; empty while it can.
  virtual std::string whyNot() const = 0;
};

// ---------------------------------------------------------------------------------------------
// Files (relative names are taken in the working directory)

// A file kept open for appending lines, such as the debug log. Each write reaches the file before
// it returns, so the log is complete up to the last line even if the program is killed.
class OutputFile {
 public:
  virtual ~OutputFile() = default;  // closes the file
  // Writes the text as it stands. Returns false when the write failed.
  virtual bool write(std::string_view text) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole contents of a file, or nothing when it cannot be opened or read.
  virtual std::optional<std::string> readFile(const std::string& name) = 0;
  // Whether anything at all has this name: a file (readable or not), a directory, a link (even
  // one that leads nowhere). Also true when that cannot be told (a directory that may not be
  // searched), so that a file that is there but unreadable is never taken for a missing one.
  virtual bool exists(const std::string& name) const = 0;
  // Creates the file for writing (an existing file is emptied). nullptr when it cannot be created.
  virtual std::unique_ptr<OutputFile> createFile(const std::string& name) = 0;
  // Replaces the file's contents as one step: the new contents are written to a temporary file,
  // flushed to the disk and renamed over the old file, so a crash or a full disk leaves either the
  // old file or the new one, never an empty or half-written one. Returns false on failure, and then
  // the old file is untouched.
  virtual bool replaceFile(const std::string& name, std::string_view contents) = 0;
  // The path of an existing regular file: path itself when it exists, else the one file in the same
  // directory whose name matches path's name ignoring letter case. Nothing when there is none.
  virtual std::optional<std::string> findFile(const std::string& path) = 0;
};

// ---------------------------------------------------------------------------------------------
// Clock

struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime localNow() = 0;
};

// ---------------------------------------------------------------------------------------------
// Serial devices

// Line settings as the panel sets them. parity uses the Windows codes (0 none, 1 odd, 2 even,
// 3 mark, 4 space); stopBits is 1 or 2.
struct SerialLineFormat {
  int baudRate = 0;
  int dataBits = 8;
  int parity = 0;
  int stopBits = 1;
};

// How reads wait. returnAtOnce: a read takes what is queued and never waits. Otherwise a read
// waits at most perByteMs for each byte asked for plus constantMs in all, and stops when the line
// has been quiet for intervalMs between two bytes.
struct SerialReadTimeouts {
  bool returnAtOnce = true;
  int intervalMs = 0;
  int perByteMs = 0;
  int constantMs = 0;
};

// One open serial device; destroying it closes the device and releases it for other programs.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // The line format the device has now. False when it cannot be read.
  virtual bool readLineFormat(SerialLineFormat& format) = 0;
  // Sets speed, data bits, parity and stop bits, keeping every other setting of the line. False
  // when the device refused them; the line then keeps its old format.
  virtual bool writeLineFormat(const SerialLineFormat& format) = 0;
  virtual void setReadTimeouts(const SerialReadTimeouts& timeouts) = 0;
  // Writes the bytes unchanged. Returns how many were written (0 on error).
  virtual std::size_t write(std::string_view bytes) = 0;
  // Takes up to maxCount bytes from the input queue, waiting only as the read time-outs allow.
  virtual std::string read(std::size_t maxCount) = 0;
  // Number of received bytes waiting. Also clears a pending line error (framing, parity, overrun,
  // break) so that reading goes on.
  virtual std::size_t bytesWaiting() = 0;
  // True once bytesWaiting, read or write has met a hang-up, an end of file or an I/O error that
  // means the line is gone (EIO, ENXIO, ENODEV): a USB adapter pulled out, the other end of a
  // pseudo-terminal closed. A full output queue or an empty input queue is no hang-up. The device
  // never recovers: from then on it reads and writes nothing, and must be closed and opened again.
  virtual bool hungUp() = 0;
  // Whether the radio on this line can carry out the command (its text without ";"), asked before
  // the panel tells the operator what a key will do. A serial line takes every command, whatever
  // the radio makes of it; a line that knows what its radio can do says no to what it would not
  // send.
  virtual bool canCarryOut(std::string_view command) {
    (void)command;
    return true;
  }
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens the device of port number (1..256) exclusively, as a raw line. nullptr when the device is
  // missing, already in use or cannot be set up.
  virtual std::unique_ptr<SerialDevice> open(int portNumber) = 0;
};

// ---------------------------------------------------------------------------------------------
// Network (TCP): the rig server that other programs reach the radio through, and the rig client
// that reaches a radio through another program's rig server. Nothing here ever waits: connections
// are non-blocking, and the program learns that something may be ready through the activity
// handler, which the platform calls on the program's own thread.

// One TCP connection, accepted by a Listener or started by Network::connect. Destroying it closes
// it; bytes still queued for sending are dropped.
class Connection {
 public:
  enum class Status {
    Connecting,  // an outgoing connection that is not yet established
    Open,        // bytes may flow both ways
    Closed,      // the peer closed its end, the connection failed, or it was never made
  };
  virtual ~Connection() = default;

  virtual Status status() = 0;
  // Takes up to maxCount bytes that have arrived, in order; empty when none have. Never waits.
  // Bytes that arrived before the peer closed are still returned after status() says Closed.
  virtual std::string receive(std::size_t maxCount) = 0;
  // Queues the bytes for sending and sends what the peer takes now; the rest goes as the peer
  // takes it. Returns false, and queues nothing, when the connection is closed or when more than
  // kMaxQueued bytes would then wait: a peer that does not read.
  virtual bool send(std::string_view bytes) = 0;
  // Bytes queued and not yet taken by the system.
  virtual std::size_t queued() const = 0;
  // The peer as "address:port", for the debug log.
  virtual std::string peerName() const = 0;

  static constexpr std::size_t kMaxQueued = 64 * 1024;
};

// A listening TCP socket. Destroying it stops listening; connections already accepted stay open.
class Listener {
 public:
  virtual ~Listener() = default;
  // The next connection waiting to be accepted, or nullptr when there is none. Never waits.
  virtual std::unique_ptr<Connection> accept() = 0;
  // The address and port listened on, "127.0.0.1:4532" (the port the system chose for port 0).
  virtual std::string localName() const = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // Listens on address (a numeric IPv4 or IPv6 address, or "localhost") and port (0: a free port
  // chosen by the system). nullptr, with the system's reason in whyNot, when it cannot (the port
  // is in use, the address is not this machine's, no network at all).
  virtual std::unique_ptr<Listener> listen(const std::string& address, int port,
                                           std::string& whyNot) = 0;
  // Starts a connection to host (a numeric address or a name) and port and returns at once, the
  // connection in Connecting state; a name that needs a slow lookup may make this wait for the
  // lookup. nullptr, with the reason in whyNot, when it cannot even be started.
  virtual std::unique_ptr<Connection> connect(const std::string& host, int port,
                                              std::string& whyNot) = 0;
  // The routine called on the program's thread whenever a listener or connection may have news:
  // a connection to accept, bytes arrived, an outgoing connection established or failed, a peer
  // gone. It is called from the wait for the next event and from the wait of a clip that plays to
  // its end, so the network is served while the panel speaks; the routine then looks at every
  // listener and connection of its own, none of which may block. News is told once: the routine
  // takes everything that is ready (accept until nullptr, receive until empty), since what it
  // leaves is not told again until something new happens. Spurious calls are allowed. The
  // routine must not start a clip: it may be running inside the wait of one, where a clip asked
  // for plays nothing (its play returns false) and stop() does nothing.
  virtual void setActivityHandler(std::function<void()> handler) = 0;
};

// ---------------------------------------------------------------------------------------------

// Everything the logic may use of the machine, handed to it once.
struct Platform {
  Window& window;
  SoundPlayer& sound;
  FileSystem& files;
  Clock& clock;
  SerialPorts& serial;
  Network& network;
  SpeechService& speech;
};

}  // namespace orvane

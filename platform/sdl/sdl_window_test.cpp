// SPDX-License-Identifier: GPL-3.0-or-later
// The window class on SDL's offscreen video driver: print semantics read back from the window's
// own surface, the timer, and event delivery. The same window on a real X display is tested by
// tests/sdl/window_test.sh.
#include "platform/sdl/sdl_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/keycodes.h"
#include "platform/posix/safety_net.h"
#include "platform/posix/unique_fd.h"

namespace orvane {
namespace {

const WindowSpec kSpec{350, 100, 950, 500, "*** Velomar Deck v1.9***"};

struct Recorder {
  std::vector<WindowEvent> events;
  WindowEventHandler handler() {
    return [this](const WindowEvent& e) { events.push_back(e); };
  }
};

// The window's pixels in an area, as 0xRRGGBB.
std::vector<Uint32> pixels(SdlWindow& window, SDL_Rect area) {
  SDL_Surface* shown = SDL_GetWindowSurface(window.nativeWindow());
  std::vector<Uint32> result;
  if (shown == nullptr) return result;
  SDL_LockSurface(shown);
  for (int y = area.y; y < area.y + area.h; ++y) {
    for (int x = area.x; x < area.x + area.w; ++x) {
      const auto* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
      Uint32 value = 0;
      std::memcpy(&value, row + x * shown->format->BytesPerPixel, sizeof value);
      Uint8 r = 0, g = 0, b = 0;
      SDL_GetRGB(value, shown->format, &r, &g, &b);
      result.push_back(static_cast<Uint32>(r << 16 | g << 8 | b));
    }
  }
  SDL_UnlockSurface(shown);
  return result;
}

std::size_t inkCount(const std::vector<Uint32>& area) {
  std::size_t n = 0;
  for (Uint32 p : area) n += p != 0xFFFFFF ? 1u : 0u;
  return n;
}

void pushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 mod) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = keycode;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

void pushQuit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

// SDL's offscreen driver: a window with a surface, without a display.
class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_VIDEODRIVER", "offscreen", 1); }
  void TearDown() override { unsetenv("SDL_VIDEODRIVER"); }
};

TEST_F(SdlWindowTest, DoesNothingWhenNotOpen) {
  SdlWindow window;
  window.setPrintPosition(10, 10);
  window.print("nothing");
  window.setFont("Ariel", 50, 700);
  window.startTimer(1, 50);
  window.stopTimer(1);
  window.waitAndDispatch();  // returns at once
  window.close();
  EXPECT_EQ(window.nativeWindow(), nullptr);
}

TEST_F(SdlWindowTest, OpensOnceAtItsSizeOnAWhiteBackground) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  int w = 0, h = 0;
  SDL_GetWindowSize(window.nativeWindow(), &w, &h);
  EXPECT_EQ(w, 950);  // the offscreen driver draws no frame
  EXPECT_EQ(h, 500);
  EXPECT_STREQ(SDL_GetWindowTitle(window.nativeWindow()), "*** Velomar Deck v1.9***");
  EXPECT_EQ(SDL_GetWindowFlags(window.nativeWindow()) & SDL_WINDOW_RESIZABLE, 0u);
  EXPECT_EQ(inkCount(pixels(window, {0, 0, 950, 500})), 0u);
  EXPECT_FALSE(window.open(kSpec, r.handler())) << "one window";
  window.close();
  EXPECT_EQ(window.nativeWindow(), nullptr);
  EXPECT_FALSE(window.open(kSpec, r.handler())) << "not again after close";
  window.print("after close");  // no crash
}

// "LSB " over "USB " at the mode position must leave exactly "LSB ": its blank covers what is
// left of the wider text.
TEST_F(SdlWindowTest, AShorterTextCoversTheLongerOneCellForCell) {
  const SDL_Rect modeArea{50, 45, 300, 80};
  std::vector<Uint32> overprinted, alone;
  {
    SdlWindow window;
    Recorder r;
    ASSERT_TRUE(window.open(kSpec, r.handler()));
    window.setFont("Ariel", 50, 700);
    window.setPrintPosition(50, 45);
    window.print("USB ");
    window.setPrintPosition(50, 45);
    window.print("LSB ");
    overprinted = pixels(window, modeArea);
  }
  {
    SdlWindow window;
    Recorder r;
    ASSERT_TRUE(window.open(kSpec, r.handler()));
    window.setFont("Ariel", 50, 700);
    window.setPrintPosition(50, 45);
    window.print("LSB ");
    alone = pixels(window, modeArea);
  }
  EXPECT_GT(inkCount(alone), 500u);
  EXPECT_EQ(overprinted, alone);
}

TEST_F(SdlWindowTest, AShorterTextLeavesTheTailOfALongerOne) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  window.setFont("Ariel", 50, 700);
  const int longWidth = window.textWidth("WWWW");
  const int shortWidth = window.textWidth("I");
  window.setPrintPosition(0, 200);
  window.print("WWWW");
  window.setPrintPosition(0, 200);
  window.print("I");
  EXPECT_GT(inkCount(pixels(window, {shortWidth, 200, longWidth - shortWidth, 70})), 500u);
}

TEST_F(SdlWindowTest, PrintAdvancesByTheDrawnWidthTrailingBlanksIncluded) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  window.setFont("Ariel", 50, 700);
  const int blanksWidth = window.textWidth("LSB ");
  const int xWidth = window.textWidth("X");
  ASSERT_GT(blanksWidth, window.textWidth("LSB"));
  window.setPrintPosition(50, 45);
  window.print("LSB ");
  window.print("X");
  window.setPrintPosition(400, 300);
  window.print("X");
  EXPECT_EQ(pixels(window, {50 + blanksWidth, 45, xWidth, 70}),
            pixels(window, {400, 300, xWidth, 70}));
}

// The radio's answers print the same frequency and S-meter many times a second, and the window
// leaves out a print that would draw the pixels already standing there. The screen must look as
// if every print had been drawn: after another print overlapped it, in another font, and with the
// print position moved on past it.
TEST_F(SdlWindowTest, ARepeatedPrintLooksAsIfDrawnAgain) {
  struct Print {
    int x, y;  // -1: go on from the print position
    const char* text;
    bool large;
  };
  const auto screenAfter = [](const std::vector<Print>& prints) {
    SdlWindow window;
    Recorder r;
    EXPECT_TRUE(window.open(kSpec, r.handler()));
    for (const Print& p : prints) {
      if (p.large) window.setFont("Ariel", 50, 700);
      if (p.x >= 0) window.setPrintPosition(p.x, p.y);
      window.print(p.text);
    }
    return pixels(window, {0, 0, 950, 300});
  };
  const struct {
    const char* what;
    std::vector<Print> repeated, drawnOnce;
  } cases[] = {
      {"overlapped in between",
       {{285, 150, "14.195255", true}, {300, 160, "WWWW", true}, {285, 150, "14.195255", true}},
       {{300, 160, "WWWW", true}, {285, 150, "14.195255", true}}},
      {"the position moves on past it",
       {{750, 45, "S", true}, {-1, -1, "4", true}, {750, 45, "S", true}, {-1, -1, "7", true}},
       {{750, 45, "S", true}, {-1, -1, "7", true}}},
      {"another font", {{50, 45, "LSB ", false}, {50, 45, "LSB ", true}}, {{50, 45, "LSB ", true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto expected = screenAfter(c.drawnOnce);
    EXPECT_GT(inkCount(expected), 500u);
    EXPECT_EQ(screenAfter(c.repeated), expected);
  }
}

TEST_F(SdlWindowTest, NoFontFileMeansNothingIsPrinted) {
  const auto dir = std::filesystem::temp_directory_path() / "orvane_no_fonts";
  std::filesystem::create_directories(dir);
  const auto config = dir / "fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << dir.string()
                        << "</dir><cachedir>" << dir.string() << "</cachedir></fontconfig>\n";
  setenv("FONTCONFIG_FILE", config.c_str(), 1);
  SdlWindow window;
  Recorder r;
  const bool opened = window.open(kSpec, r.handler());
  window.setPrintPosition(50, 45);
  window.print("LSB ");
  window.setFont("Ariel", 50, 700);
  window.print("LSB ");
  unsetenv("FONTCONFIG_FILE");
  ASSERT_TRUE(opened);
  EXPECT_EQ(inkCount(pixels(window, {0, 0, 950, 500})), 0u);
  std::filesystem::remove_all(dir);
}

TEST_F(SdlWindowTest, TicksCoalesceWhileTheProgramIsBusy) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  window.startTimer(1, 5);
  SDL_Delay(200);  // busy, as with a long clip: some 40 ticks fall due
  window.waitAndDispatch();
  ASSERT_EQ(r.events.size(), 1u);
  EXPECT_EQ(r.events[0].kind, WindowEventKind::TimerTick);

  r.events.clear();
  SDL_Delay(30);
  window.stopTimer(1);  // a tick queued before the stop is dropped too
  SDL_Delay(30);
  pushQuit();
  window.waitAndDispatch();
  ASSERT_EQ(r.events.size(), 1u);
  EXPECT_EQ(r.events[0].kind, WindowEventKind::CloseRequest);
}

TEST_F(SdlWindowTest, TimerKeepsTicking) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  window.startTimer(1, 10);
  while (r.events.size() < 5) window.waitAndDispatch();
  for (const WindowEvent& e : r.events) EXPECT_EQ(e.kind, WindowEventKind::TimerTick);
}

TEST_F(SdlWindowTest, DeliversKeysAsVirtualKeysAndQuitAsCloseRequest) {
  SdlWindow window;
  Recorder r;
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_F, SDLK_f, 0);
  pushKey(SDL_KEYUP, SDL_SCANCODE_F, SDLK_f, 0);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x, KMOD_LALT);  // a system key: not delivered
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 0);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 0);  // auto-repeat
  pushQuit();
  window.waitAndDispatch();
  const std::vector<std::pair<WindowEventKind, int>> expected{
      {WindowEventKind::KeyDown, 'F'},         {WindowEventKind::KeyUp, 'F'},
      {WindowEventKind::KeyDown, vk::kPageUp}, {WindowEventKind::KeyDown, vk::kPageUp},
      {WindowEventKind::CloseRequest, 0},
  };
  std::vector<std::pair<WindowEventKind, int>> got;
  for (const WindowEvent& e : r.events) got.emplace_back(e.kind, e.key);
  EXPECT_EQ(got, expected);
}

TEST_F(SdlWindowTest, ClosingFromTheHandlerDropsTheRestOfTheQueue) {
  SdlWindow window;
  int delivered = 0;
  ASSERT_TRUE(window.open(kSpec, [&](const WindowEvent&) {
    ++delivered;
    window.close();
  }));
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q, 0);
  pushKey(SDL_KEYUP, SDL_SCANCODE_Q, SDLK_q, 0);
  pushQuit();
  window.waitAndDispatch();
  EXPECT_EQ(delivered, 1);
  EXPECT_EQ(window.nativeWindow(), nullptr);
  window.waitAndDispatch();  // returns at once
}

// A pipe stands for the network's descriptor: readable while a byte is in it.
class WatchedPipe {
 public:
  WatchedPipe() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    read_.reset(fds[0]);
    write_.reset(fds[1]);
  }
  int fd() const { return read_.get(); }
  void put(char c) { wakeByte(write_.get(), c); }
  std::string take() {
    std::string taken;
    for (char c = 0; ::read(read_.get(), &c, 1) == 1;) taken += c;
    return taken;
  }

 private:
  UniqueFd read_;
  UniqueFd write_;
};

// Runs the window's event loop until done() holds; false when the safety net had to end it.
bool runUntil(SdlWindow& window, const Recorder& r, const std::function<bool()>& done) {
  const auto closed = [&r] {
    for (const WindowEvent& e : r.events)
      if (e.kind == WindowEventKind::CloseRequest) return true;
    return false;
  };
  while (!done()) {
    if (closed()) return false;
    window.waitAndDispatch();
  }
  return true;
}

TEST_F(SdlWindowTest, AWatchedDescriptorEndsTheWaitWithNoTimerRunning) {
  WatchedPipe pipe;
  SdlWindow window;
  Recorder r;
  std::string served;
  // Watched before the window opens, as main does it.
  window.watch(pipe.fd(), [&] { served += pipe.take(); });
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  testing::SafetyNet safetyNet(std::chrono::seconds(10), pushQuit);
  for (const std::string expected : {"a", "ab", "abc"}) {
    pipe.put(expected.back());
    ASSERT_TRUE(runUntil(window, r, [&] { return served == expected; }))
        << "only the safety net ended the wait; served: " << served;
  }
}

TEST_F(SdlWindowTest, AWatchedDescriptorLeftReadableWakesTheWaitOnceAtATime) {
  WatchedPipe pipe;
  SdlWindow window;
  Recorder r;
  int served = 0;
  // ready() takes nothing: the descriptor stays readable all along.
  window.watch(pipe.fd(), [&] { ++served; });
  ASSERT_TRUE(window.open(kSpec, r.handler()));
  pipe.put('x');
  testing::SafetyNet safetyNet(std::chrono::seconds(10), pushQuit);
  for (int i = 1; i <= 20; ++i) {
    ASSERT_TRUE(runUntil(window, r, [&] { return served >= i; }));
    EXPECT_LE(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1)
        << "wake-ups pile up in the queue";
  }
  // Closing with a wake-up on its way stops the watcher; nothing is served any more.
  window.close();
  const int before = served;
  window.waitAndDispatch();
  EXPECT_EQ(served, before);
}

}  // namespace
}  // namespace orvane

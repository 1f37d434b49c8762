// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on SDL2: a fixed-size window with a persistent backing surface that every print
// draws into, the keyboard as Windows virtual-key codes, and coalescing periodic timers.
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/descriptor_watcher.h"
#include "platform/sdl/sdl_fonts.h"
#include "platform/tick_grid.h"

namespace orvane {

class SdlWindow final : public Window {
 public:
  SdlWindow();
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  // Starts SDL's video, events and timer services for this window alone. spec gives the OUTER
  // rectangle: when a window manager draws a frame around the window, the client area shrinks so
  // that the frame still fits the rectangle. A window is opened at most once; after close() open()
  // returns false.
  //
  // Without a display (no DISPLAY or WAYLAND_DISPLAY, or one that does not answer) SDL would
  // silently make its window with the offscreen driver, which nobody sees and no key reaches; open
  // then fails instead, unless SDL_VIDEODRIVER asks for such a driver by name.
  bool open(const WindowSpec& spec, WindowEventHandler handler) override;
  // Why the last open() failed, in words for the operator (what to do instead is the caller's to
  // say); empty when it did not fail.
  const std::string& whyNotOpen() const { return whyNotOpen_; }
  void close() override;
  void setPrintPosition(int x, int y) override;
  void print(std::string_view text) override;
  void setFont(std::string_view face, int points, int weight) override;
  // Timers run on the program's own thread: waitAndDispatch waits for the next event or the next
  // tick, whichever comes first, so no other thread wakes the program. Ticks fall due on a fixed
  // grid (start + n periods), so lateness does not add up from tick to tick; ticks that fall due
  // while the program is busy are not made up.
  void startTimer(int id, int periodMs) override;
  void stopTimer(int id) override;
  void waitAndDispatch() override;

  // Makes the wait for events also end when fd becomes readable (the network's epoll descriptor),
  // and calls ready() from waitAndDispatch, on the program's thread, when it has. ready() must take
  // away what made fd readable. Watched from open() to close(); may be called before open(). A
  // small thread of the window's own watches fd and wakes the wait; it touches nothing else.
  void watch(int fd, std::function<void()> ready);

  // The SDL window while open, else nullptr. For tests and diagnostics only.
  SDL_Window* nativeWindow() const { return window_.get(); }
  // Width in pixels that print(text) would draw in the current font; 0 when nothing would be drawn.
  int textWidth(std::string_view text);

 private:
  // A print whose pixels still stand on the backing surface as it drew them: nothing drawn since
  // overlaps them. Printing the same text in the same font at the same place again would draw
  // exactly these pixels, so it is skipped: the radio's answers repeat the same frequency and
  // S-meter many times a second, and rendering them anew is most of an idle panel's work.
  struct StandingPrint {
    SDL_Rect area{};
    std::string text;
    std::string face;
    int points = 0;
    int weight = 0;
  };
  struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
  };
  struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
  };

  // Shrinks the client area so that the window manager's frame fits the outer rectangle. False
  // while no frame is known (none yet, or no window manager at all).
  bool fitOuterSize();
  bool makeBackingSurface();
  TTF_Font* currentFont();
  void present(const SDL_Rect& area);
  void repaint();
  void dispatch(const SDL_Event& event);
  void deliver(WindowEventKind kind, int key = 0);
  bool waitForEvent(SDL_Event& event);
  bool deliverDueTicks();
  const StandingPrint* standingPrint(std::string_view text) const;
  void rememberPrint(const SDL_Rect& area, std::string_view text);
  void startWatching();

  enum class State { NeverOpened, Open, Closed };
  State state_ = State::NeverOpened;
  std::string whyNotOpen_;
  WindowEventHandler handler_;
  std::unique_ptr<SDL_Window, WindowDeleter> window_;
  std::unique_ptr<SDL_Surface, SurfaceDeleter> backing_;
  std::unique_ptr<sdl::FontLibrary> fonts_;
  std::string fontFace_{sdl::kDefaultFace};
  int fontPoints_ = sdl::kDefaultPoints;
  int fontWeight_ = sdl::kDefaultWeight;
  WindowSpec outer_;
  bool frameFitted_ = false;
  int printX_ = 0;
  int printY_ = 0;
  TickGrid timers_;
  std::vector<StandingPrint> standing_;
  int watchedFd_ = -1;
  std::function<void()> ready_;
  Uint32 readyEvent_ = 0;  // the SDL event type the watcher's wake-ups come as; 0 before open()
  std::unique_ptr<sdl::DescriptorWatcher> watcher_;
};

}  // namespace orvane

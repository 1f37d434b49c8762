// The main window on SDL2: a fixed-size window with a persistent backing surface that every print
// draws into, the keyboard as Windows virtual-key codes, and coalescing periodic timers.
#pragma once

#include <SDL.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/sdl_fonts.h"

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
  // Why the last open() failed, in words for the operator; empty when it did not fail.
  const std::string& whyNotOpen() const { return whyNotOpen_; }
  void close() override;
  void setPrintPosition(int x, int y) override;
  void print(std::string_view text) override;
  void setFont(std::string_view face, int points, int weight) override;
  void startTimer(int id, int periodMs) override;
  void stopTimer(int id) override;
  void waitAndDispatch() override;

  // The SDL window while open, else nullptr. For tests and diagnostics only.
  SDL_Window* nativeWindow() const { return window_.get(); }
  // Width in pixels that print(text) would draw in the current font; 0 when nothing would be drawn.
  int textWidth(std::string_view text);

 private:
  // One periodic timer. It lives as long as the window, since SDL's timer thread may still be
  // inside its callback while the timer is being removed.
  struct TimerSlot {
    int id = 0;
    Uint32 eventType = 0;
    SDL_TimerID sdlTimer = 0;
    bool running = false;
    std::atomic<bool> tickPending{false};
  };
  struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
  };
  struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
  };

  static Uint32 onTimer(Uint32 interval, void* slot);
  // Shrinks the client area so that the window manager's frame fits the outer rectangle. False
  // while no frame is known (none yet, or no window manager at all).
  bool fitOuterSize();
  bool makeBackingSurface();
  TTF_Font* currentFont();
  void present(const SDL_Rect& area);
  void repaint();
  void dispatch(const SDL_Event& event);
  void deliver(WindowEventKind kind, int key = 0);
  void removeTimer(TimerSlot& slot);

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
  Uint32 tickEventType_ = 0;
  std::map<int, std::unique_ptr<TimerSlot>> timers_;
};

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_window.h"

#include <SDL_ttf.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <signal.h>

#include <csignal>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/sdl/sdl_keys.h"

namespace orvane {
namespace {

constexpr Uint32 kSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
constexpr SDL_Color kInk{0, 0, 0, 255};
constexpr SDL_Color kPaper{255, 255, 255, 255};  // the usual system window colour
// The screen holds a handful of texts; prints beyond this many are simply drawn again.
constexpr std::size_t kMaxStandingPrints = 32;

// A blit clips its rectangles in place; work on copies.
SDL_Rect clippedTo(const SDL_Rect& area, const SDL_Surface& surface) {
  const SDL_Rect bounds{0, 0, surface.w, surface.h};
  SDL_Rect result{0, 0, 0, 0};
  if (SDL_IntersectRect(&area, &bounds, &result) == SDL_FALSE) return SDL_Rect{0, 0, 0, 0};
  return result;
}

// SIGHUP comes when the terminal the panel was started from goes away, or the session ends. SDL
// turns only SIGINT and SIGTERM into a quit event; a hang-up would otherwise end the panel on the
// spot and lose the memory channels stored in this run. The handler only raises a flag, which the
// message loop reads after every wake-up (the poll timer wakes it 20 times a second).
volatile std::sig_atomic_t hangUpSeen = 0;

void onHangUp(int) {
  hangUpSeen = 1;
}

// Leaves a hang-up that was ignored when the panel started (nohup) ignored.
void catchHangUp() {
  struct sigaction old {};
  if (::sigaction(SIGHUP, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = onHangUp;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGHUP, &action, nullptr);
}

// When one of SDL's own threads (its audio thread, say) posts an event, SDL wakes the event wait by
// sending the window a message over a second connection to the X server. One sent just before the
// window is destroyed can reach the server after the window is gone; Xlib's default handler would
// then end the whole program with exit code 1 in the middle of the shut-down, before the radio is
// switched off. That one error is harmless and ignored; every other error goes to the handler that
// was there before.
XErrorHandler earlierXErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return earlierXErrorHandler != nullptr ? earlierXErrorHandler(display, error) : 0;
}

void ignoreLateWakeUps() {
  if (earlierXErrorHandler == nullptr) earlierXErrorHandler = XSetErrorHandler(onXError);
}

void releaseSdlWhenUnused() {
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

std::string environmentValue(const char* name) {
  const char* value = SDL_getenv(name);
  return value != nullptr ? value : "";
}

// Whoever sets SDL's video driver chooses what the window is shown on, even nothing at all (the
// tests do, with "offscreen" and "dummy").
bool driverChosenByTheUser() {
  const char* driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return driver != nullptr && *driver != '\0';
}

// SDL's drivers that make a window nobody can see or type into. SDL falls back to them silently
// when no display answers.
bool isInvisibleDriver(const char* driver) {
  return driver != nullptr &&
         (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0);
}

std::string noDisplayReason() {
  return "no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set)";
}

std::string unreachableDisplayReason() {
  std::string names;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const std::string value = environmentValue(name);
    if (value.empty()) continue;
    names += (names.empty() ? "" : ", ") + std::string(name) + "=" + value;
  }
  return "the display cannot be reached (" + names + ")";
}

}  // namespace

SdlWindow::SdlWindow() = default;

SdlWindow::~SdlWindow() {
  close();
}

bool SdlWindow::open(const WindowSpec& spec, WindowEventHandler handler) {
  if (state_ != State::NeverOpened) return false;
  // Without this SDL probes OpenGL to decide how to present a window surface, which loads Mesa
  // and LLVM: a bare window would then cost about 105 MB instead of about 12 MB.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The close button is one close request, not a window event followed by a quit event.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  const bool userChoice = driverChosenByTheUser();
  // Checked before SDL probes its drivers: the probes print notes of their own.
  if (!userChoice && environmentValue("DISPLAY").empty() &&
      environmentValue("WAYLAND_DISPLAY").empty()) {
    whyNotOpen_ = noDisplayReason();
    return false;
  }
  ignoreLateWakeUps();
  if (SDL_InitSubSystem(kSubsystems) != 0) {
    whyNotOpen_ = std::string("no window can be opened (") + SDL_GetError() + ")";
    return false;
  }
  if (!userChoice && isInvisibleDriver(SDL_GetCurrentVideoDriver())) {
    SDL_QuitSubSystem(kSubsystems);
    releaseSdlWhenUnused();
    whyNotOpen_ = unreachableDisplayReason();
    return false;
  }

  // Not resizable: SDL then gives the window manager a minimum size equal to the maximum, which
  // also takes away the maximise button.
  window_.reset(SDL_CreateWindow(spec.title.c_str(), spec.x, spec.y, spec.width, spec.height,
                                 SDL_WINDOW_SHOWN));
  if (!window_) {
    whyNotOpen_ = std::string("the window could not be opened (") + SDL_GetError() + ")";
    window_.reset();
    SDL_QuitSubSystem(kSubsystems);
    releaseSdlWhenUnused();
    return false;
  }
  // Keys are all the panel wants; no input method, no text events.
  SDL_StopTextInput();
  outer_ = spec;
  frameFitted_ = fitOuterSize();
  makeBackingSurface();
  handler_ = std::move(handler);
  state_ = State::Open;
  catchHangUp();
  repaint();
  startWatching();
  return true;
}

void SdlWindow::watch(int fd, std::function<void()> ready) {
  watcher_.reset();
  watchedFd_ = fd;
  ready_ = std::move(ready);
  if (state_ == State::Open) startWatching();
}

void SdlWindow::startWatching() {
  if (watchedFd_ < 0 || !ready_) return;
  // One event type for the program's whole run: SDL hands out a limited number.
  static const Uint32 registered = SDL_RegisterEvents(1);
  if (registered == static_cast<Uint32>(-1)) return;
  readyEvent_ = registered;
  watcher_ = std::make_unique<sdl::DescriptorWatcher>(watchedFd_, readyEvent_);
}

// The panel's layout assumes a 950x500 rectangle including the frame, as on Windows. Some window
// managers tell the frame's size only once the window is shown, so this is tried again then.
bool SdlWindow::fitOuterSize() {
  SDL_PumpEvents();
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_.get(), &top, &left, &bottom, &right) != 0) return false;
  if (top == 0 && left == 0 && bottom == 0 && right == 0) return false;
  SDL_SetWindowSize(window_.get(), std::max(1, outer_.width - left - right),
                    std::max(1, outer_.height - top - bottom));
  SDL_SetWindowPosition(window_.get(), outer_.x + left, outer_.y + top);
  return true;
}

bool SdlWindow::makeBackingSurface() {
  int width = 0, height = 0;
  SDL_GetWindowSize(window_.get(), &width, &height);
  Uint32 format = SDL_PIXELFORMAT_RGB888;
  if (SDL_Surface* shown = SDL_GetWindowSurface(window_.get())) format = shown->format->format;
  backing_.reset(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, format));
  if (!backing_) return false;
  SDL_FillRect(backing_.get(), nullptr, SDL_MapRGB(backing_->format, kPaper.r, kPaper.g, kPaper.b));
  return true;
}

void SdlWindow::close() {
  if (state_ != State::Open) return;
  // Before SDL's events go: the watcher pushes into their queue.
  watcher_.reset();
  timers_.clear();
  standing_.clear();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  fonts_.reset();
  backing_.reset();
  window_.reset();
  // handler_ is kept: close() is usually called from inside it.
  state_ = State::Closed;
  SDL_QuitSubSystem(kSubsystems);
  releaseSdlWhenUnused();
}

void SdlWindow::setPrintPosition(int x, int y) {
  if (state_ != State::Open) return;
  printX_ = x;
  printY_ = y;
}

TTF_Font* SdlWindow::currentFont() {
  // Loaded at the first print: fontconfig's set-up is the larger part of a window's memory.
  if (!fonts_) fonts_ = std::make_unique<sdl::FontLibrary>();
  return fonts_->open(fontFace_, fontPoints_, fontWeight_);
}

void SdlWindow::print(std::string_view text) {
  if (state_ != State::Open || !backing_ || text.empty()) return;
  if (const StandingPrint* same = standingPrint(text)) {
    printX_ += same->area.w;
    return;
  }
  TTF_Font* font = currentFont();
  if (font == nullptr) return;
  // Shaded rendering paints every cell of the text, blanks included, on an opaque background: a
  // shorter text printed over a longer one must cover it cell for cell.
  const std::string bytes(text);
  std::unique_ptr<SDL_Surface, SurfaceDeleter> drawn(
      TTF_RenderText_Shaded(font, bytes.c_str(), kInk, kPaper));
  if (!drawn) return;
  const SDL_Rect area{printX_, printY_, drawn->w, drawn->h};
  SDL_Rect target = area;
  SDL_BlitSurface(drawn.get(), nullptr, backing_.get(), &target);
  printX_ += drawn->w;
  present(area);
  rememberPrint(area, text);
}

const SdlWindow::StandingPrint* SdlWindow::standingPrint(std::string_view text) const {
  for (const StandingPrint& p : standing_) {
    if (p.area.x == printX_ && p.area.y == printY_ && p.text == text && p.face == fontFace_ &&
        p.points == fontPoints_ && p.weight == fontWeight_) {
      return &p;
    }
  }
  return nullptr;
}

// Whatever the new print overlaps no longer stands as it was drawn.
void SdlWindow::rememberPrint(const SDL_Rect& area, std::string_view text) {
  std::erase_if(standing_,
                [&](const StandingPrint& p) { return SDL_HasIntersection(&p.area, &area); });
  if (standing_.size() >= kMaxStandingPrints) standing_.erase(standing_.begin());
  standing_.push_back(StandingPrint{area, std::string(text), fontFace_, fontPoints_, fontWeight_});
}

int SdlWindow::textWidth(std::string_view text) {
  if (state_ != State::Open || text.empty()) return 0;
  TTF_Font* font = currentFont();
  if (font == nullptr) return 0;
  int width = 0, height = 0;
  if (TTF_SizeText(font, std::string(text).c_str(), &width, &height) != 0) return 0;
  return width;
}

void SdlWindow::setFont(std::string_view face, int points, int weight) {
  if (state_ != State::Open) return;
  fontFace_ = std::string(face);
  fontPoints_ = points;
  fontWeight_ = weight;
}

void SdlWindow::present(const SDL_Rect& area) {
  SDL_Surface* shown = SDL_GetWindowSurface(window_.get());
  if (shown == nullptr || !backing_) return;
  SDL_Rect from = clippedTo(clippedTo(area, *backing_), *shown);
  if (from.w <= 0 || from.h <= 0) return;
  SDL_Rect to = from;
  SDL_BlitSurface(backing_.get(), &from, shown, &to);
  SDL_UpdateWindowSurfaceRects(window_.get(), &from, 1);
}

void SdlWindow::repaint() {
  if (!backing_) return;
  present(SDL_Rect{0, 0, backing_->w, backing_->h});
}

void SdlWindow::startTimer(int id, int periodMs) {
  if (state_ == State::Open) timers_.start(id, periodMs);
}

void SdlWindow::stopTimer(int id) {
  if (state_ == State::Open) timers_.stop(id);
}

void SdlWindow::waitAndDispatch() {
  if (state_ != State::Open) return;
  // A hang-up raised its flag during an earlier wait; the wait ends at the next tick at the latest.
  if (hangUpSeen != 0) {
    hangUpSeen = 0;
    deliver(WindowEventKind::CloseRequest);
    return;
  }
  SDL_Event event;
  // A tick that fell due while the program was busy (a clip playing) comes before the keys that
  // were typed meanwhile, as it would have come first from the window system's queue.
  if (!deliverDueTicks()) {
    // A wait that ends with the tick alone returns with it: asking the window system once more
    // for events at every tick is a good part of an idle panel's work, and whatever came in
    // meanwhile is taken at the next call, at once.
    if (!waitForEvent(event)) {
      deliverDueTicks();
      return;
    }
    dispatch(event);
    if (state_ == State::Open) deliverDueTicks();
  }
  // The handler may close the window; whatever is still queued is then dropped.
  while (state_ == State::Open && SDL_PollEvent(&event) != 0) dispatch(event);
}

// Waits for the next event, but no longer than until the next tick is due. False when the wait
// ended without an event.
bool SdlWindow::waitForEvent(SDL_Event& event) {
  const std::optional<TickGrid::Clock::time_point> due = timers_.nextDue();
  if (!due) return SDL_WaitEvent(&event) != 0;
  // Rounded up, so the wait never ends before the tick is due.
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(*due - TickGrid::Clock::now()).count();
  const int timeout = static_cast<int>(std::clamp<long long>(wait, 1, INT_MAX));
  return SDL_WaitEventTimeout(&event, timeout) != 0;
}

// Delivers one tick for every timer that is due. Returns whether any was.
bool SdlWindow::deliverDueTicks() {
  return timers_.deliverDue([this] {
    deliver(WindowEventKind::TimerTick);
    return state_ == State::Open;
  });
}

void SdlWindow::dispatch(const SDL_Event& event) {
  if (readyEvent_ != 0 && event.type == readyEvent_) {
    if (ready_) ready_();
    // Only now: what ready() has not taken makes the descriptor readable again at once. The
    // window may have been closed meanwhile, and the watcher with it.
    if (watcher_) watcher_->rearm();
    return;
  }
  switch (event.type) {
    case SDL_QUIT:  // also SIGINT and SIGTERM, which SDL turns into a quit event (SIGHUP: above)
      deliver(WindowEventKind::CloseRequest);
      return;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          deliver(WindowEventKind::CloseRequest);
          return;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
          if (!frameFitted_) frameFitted_ = fitOuterSize();
          repaint();
          return;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          repaint();
          return;
        default:
          return;
      }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (auto vk = sdl::virtualKey(event.key.keysym.scancode, event.key.keysym.sym,
                                    event.key.keysym.mod)) {
        deliver(event.type == SDL_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp, *vk);
      }
      return;
    default:
      return;
  }
}

void SdlWindow::deliver(WindowEventKind kind, int key) {
  if (handler_) handler_(WindowEvent{kind, key});
}

}  // namespace orvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Presses a key COUNT times in the window that has the keyboard focus, the way xdotool key does
// (the XTEST extension: the X server takes it as real keyboard input), and prints the monotonic
// clock (seconds) at the moment each key-down is sent. The pauses between presses are drawn at
// random between MIN_MS and MAX_MS, so that presses fall at every phase of the panel's 50 ms poll.
//
//   bench_xkey KEYSYM COUNT MIN_MS MAX_MS
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

namespace {

double monotonicSeconds() {
  timespec at{};
  ::clock_gettime(CLOCK_MONOTONIC, &at);
  return static_cast<double>(at.tv_sec) + static_cast<double>(at.tv_nsec) / 1e9;
}

void sleepMs(int ms) {
  timespec pause{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
  ::nanosleep(&pause, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: bench_xkey KEYSYM COUNT MIN_MS MAX_MS\n", stderr);
    return 2;
  }
  const int count = std::atoi(argv[2]);
  const int minMs = std::atoi(argv[3]);
  const int maxMs = std::max(minMs, std::atoi(argv[4]));
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("bench_xkey: no display\n", stderr);
    return 1;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  const KeySym sym = XStringToKeysym(argv[1]);
  const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
  if (!XTestQueryExtension(display, &event, &error, &major, &minor) || code == 0) {
    std::fprintf(stderr, "bench_xkey: no XTEST extension or no key %s\n", argv[1]);
    return 1;
  }
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> pause(minMs, maxMs);
  for (int i = 0; i < count; ++i) {
    sleepMs(pause(random));
    const double pressed = monotonicSeconds();
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XFlush(display);
    std::printf("%.6f\n", pressed);
    std::fflush(stdout);
    sleepMs(20);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
  }
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}

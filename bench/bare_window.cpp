// SPDX-License-Identifier: GPL-3.0-or-later
// The floor the panel's idle cost is measured against: a bare SDL2 window of the panel's size with
// one font, showing one line of large text and waiting for events, as a newcomer to SDL would
// write it. Like the panel it turns off SDL's OpenGL probe (which alone would load Mesa and LLVM),
// so that both are compared on what they do rather than on what they load.
//
//   bare_window FONT_FILE
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: bare_window FONT_FILE\n", stderr);
    return 2;
  }
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("bare window", 350, 100, 950, 500, SDL_WINDOW_SHOWN);
  TTF_Font* font = TTF_OpenFont(argv[1], 67);  // 50 points at 96 dpi
  if (window == nullptr || font == nullptr) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Surface* screen = SDL_GetWindowSurface(window);
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
  SDL_Surface* text = TTF_RenderText_Shaded(font, "14.195255", SDL_Color{0, 0, 0, 255},
                                            SDL_Color{255, 255, 255, 255});
  SDL_Rect at{285, 150, 0, 0};
  if (text != nullptr) SDL_BlitSurface(text, nullptr, screen, &at);
  SDL_UpdateWindowSurface(window);

  SDL_Event event;
  bool running = true;
  while (running && SDL_WaitEvent(&event) != 0) {
    if (event.type == SDL_QUIT) running = false;
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED)
      SDL_UpdateWindowSurface(window);
  }
  SDL_FreeSurface(text);
  TTF_CloseFont(font);
  SDL_DestroyWindow(window);
  TTF_Quit();
  SDL_Quit();
  return 0;
}

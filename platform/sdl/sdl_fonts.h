// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts for the main window: face names resolved through fontconfig, opened with SDL2_ttf at the
// 96 dpi a Windows desktop assumes, and kept open for the whole run.
#pragma once

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace orvane::sdl {

// What the window prints in before the program chooses a font: a plain sans-serif of the size of
// a dialog's text, small enough that the longest help line fits from x 155 in 950 pixels.
inline constexpr std::string_view kDefaultFace = "sans-serif";
inline constexpr int kDefaultPoints = 10;
inline constexpr int kDefaultWeight = 400;
inline constexpr int kScreenDpi = 96;

// The family to ask fontconfig for. The panel names its large face "Ariel", a misspelling of
// Arial that Windows quietly corrects; fontconfig does not, and would fall back to a much wider
// face whose frequency line runs out of the window. Arial itself maps to the metric-compatible
// Liberation Sans. An empty face means the default face.
std::string fontconfigFamily(std::string_view face);

struct FontFile {
  std::string path;
  int index = 0;          // face index inside a font collection
  bool embolden = false;  // no bold face exists: fontconfig asks for a synthetic one
};

class FontLibrary {
 public:
  FontLibrary();
  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // The font file fontconfig picks for the face and weight (100..900, 700 bold, 0 normal).
  // Nothing when fontconfig is unusable or knows no font at all.
  std::optional<FontFile> find(std::string_view face, int weight) const;

  // The font at that size in points, opened once and cached. nullptr when no font file can be
  // found or opened; the window then prints nothing.
  TTF_Font* open(std::string_view face, int points, int weight);

 private:
  struct ConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
  };
  struct FontDeleter {
    void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
  };
  using Key = std::tuple<std::string, int, int>;

  std::unique_ptr<FcConfig, ConfigDeleter> config_;
  bool ttfReady_ = false;
  std::map<Key, std::unique_ptr<TTF_Font, FontDeleter>> fonts_;
};

}  // namespace orvane::sdl

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_fonts.h"

#include <algorithm>
#include <cctype>

namespace orvane::sdl {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Windows treats weight 0 as "don't care", which means normal.
int openTypeWeight(int weight) {
  return weight <= 0 ? 400 : std::clamp(weight, 1, 1000);
}

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

const FcChar8* fcText(const std::string& s) {
  return reinterpret_cast<const FcChar8*>(s.c_str());
}

std::optional<FontFile> fileOf(const FcPattern* match) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
    return std::nullopt;
  }
  FontFile result;
  result.path = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &result.index);
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) {
    result.embolden = embolden != FcFalse;
  }
  return result;
}

}  // namespace

std::string fontconfigFamily(std::string_view face) {
  if (face.empty()) return std::string(kDefaultFace);
  if (equalsIgnoringCase(face, "Ariel")) return "Arial";
  return std::string(face);
}

FontLibrary::FontLibrary() : config_(FcInitLoadConfigAndFonts()) {
  ttfReady_ = TTF_Init() == 0;
}

FontLibrary::~FontLibrary() {
  fonts_.clear();
  if (ttfReady_) TTF_Quit();
}

std::optional<FontFile> FontLibrary::find(std::string_view face, int weight) const {
  if (!config_) return std::nullopt;
  Pattern pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  const std::string family = fontconfigFamily(face);
  FcPatternAddString(pattern.get(), FC_FAMILY, fcText(family));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(openTypeWeight(weight)));
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config_.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  Pattern match(FcFontMatch(config_.get(), pattern.get(), &result));
  if (!match) return std::nullopt;
  return fileOf(match.get());
}

TTF_Font* FontLibrary::open(std::string_view face, int points, int weight) {
  if (!ttfReady_) return nullptr;
  if (points <= 0) points = kDefaultPoints;
  Key key{std::string(face), points, weight};
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();

  std::unique_ptr<TTF_Font, FontDeleter> font;
  if (auto file = find(face, weight)) {
    font.reset(
        TTF_OpenFontIndexDPI(file->path.c_str(), points, file->index, kScreenDpi, kScreenDpi));
    if (font && file->embolden) TTF_SetFontStyle(font.get(), TTF_STYLE_BOLD);
  }
  // A failure is cached too, so a missing font costs one search and not one per print.
  TTF_Font* raw = font.get();
  fonts_.emplace(std::move(key), std::move(font));
  return raw;
}

}  // namespace orvane::sdl

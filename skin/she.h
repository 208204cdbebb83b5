// The ".she" skin file: a small INI-style text naming a skin's colours and font.
//
//   ; comment
//   [skin]
//   name=Aero
//   password=1          (optional: AttachEx must then be given this text)
//   [colors]
//   window=#F0F4FA      (also: windowText, base, text, button, buttonText, highlight,
//                        highlightText)
//   [font]
//   family=WenQuanYi Micro Hei
//   size=9
#pragma once

#include "skin/skinh.h"

#include <optional>
#include <string>
#include <string_view>

namespace folio::skin {

struct SkinFile {
    SkinH_Palette palette{};
    std::string password; // empty: any password opens it
};

// The palette a skin starts from before its file is read: a plain light theme.
SkinH_Palette defaultPalette();

// Parses the text of a skin file. `why` receives the first fault (line number and text) when
// the text is not a skin: no [skin] section, a colour that is not #RRGGBB, a bad font size.
std::optional<SkinFile> parseSkin(std::string_view text, std::string* why = nullptr);

// Reads and parses a skin file (at most 64 KiB).
std::optional<SkinFile> readSkin(const std::string& path, std::string* why = nullptr);

} // namespace folio::skin

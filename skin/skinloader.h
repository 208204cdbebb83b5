// Attaching the skin library: the three calls every program makes, by name, from the copy of
// the library it is given (Windows DLL or Linux shared object).
#pragma once

#include "skin/skinh.h"

#include <optional>
#include <string>

namespace folio::skin {

#ifdef _WIN32
inline constexpr const char* LibraryName = "SkinH_VB6.dll";
#else
inline constexpr const char* LibraryName = "libSkinH_VB6.so";
#endif

// The fixed one-character password the programs pass with every skin file.
inline constexpr const char* Password = "1";

// The library's path beside a program whose folder is `programFolder`.
std::string libraryBeside(const std::string& programFolder);

// Loads `library` (a name or a path) and calls SkinH_Attach(), SkinH_SetWindowAlpha(window,
// alpha) and SkinH_AttachEx(skinFile, Password), in that order, ignoring their results.
// Returns false only when the library or one of the three functions could not be found.
// The library stays loaded for the rest of the run.
bool attachSkin(const std::string& library, const std::string& skinFile, void* window,
                int alpha = 255);

// The palette of the skin attached through `library` (after attachSkin), when the library
// offers one: programs that paint their own widgets use it for their colours and font.
std::optional<SkinH_Palette> attachedPalette(const std::string& library);

} // namespace folio::skin

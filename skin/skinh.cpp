// The skin library itself (SkinH_VB6.dll on Windows, libSkinH_VB6.so on Linux).
//
// Attaching reads the skin file and keeps its palette. On Windows the window opacity is
// applied with a layered window; the colours are offered to the programs through
// SkinH_GetPalette, which paint their own widgets with them.
#include "skin/skinh.h"
#include "skin/she.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>

namespace {

struct State {
    bool attached = false; // SkinH_Attach was called
    bool skinned = false;  // a skin file was read
    SkinH_Palette palette = folio::skin::defaultPalette();
    int alpha = 255;
};

State& state() {
    static State s;
    return s;
}

#ifdef _WIN32
void applyAlpha(HWND window, int alpha) {
    if (!IsWindow(window))
        return;
    const LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (alpha >= 255) {
        // Fully opaque: drop the layered style so the window paints the ordinary, fast way.
        if (ex & WS_EX_LAYERED)
            SetWindowLongPtrW(window, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        return;
    }
    SetWindowLongPtrW(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}
#endif

} // namespace

extern "C" {

int SKINH_API SkinH_Attach(void) {
    state().attached = true;
    return 1;
}

int SKINH_API SkinH_SetWindowAlpha(void* window, int alpha) {
    if (alpha < 0 || alpha > 255)
        return 0;
    state().alpha = alpha;
    state().palette.alpha = alpha;
#ifdef _WIN32
    applyAlpha(static_cast<HWND>(window), alpha);
#else
    (void)window; // the Qt programs apply the opacity themselves from the palette
#endif
    return 1;
}

int SKINH_API SkinH_AttachEx(const char* skinFile, const char* password) {
    if (!skinFile)
        return 0;
    std::optional<folio::skin::SkinFile> skin = folio::skin::readSkin(skinFile);
    if (!skin)
        return 0;
    if (!skin->password.empty() && (!password || skin->password != password))
        return 0;
    State& s = state();
    s.palette = skin->palette;
    s.palette.alpha = s.alpha;
    s.skinned = true;
    s.attached = true;
    return 1;
}

int SKINH_API SkinH_GetPalette(SkinH_Palette* out, int size) {
    const State& s = state();
    if (!out || !s.skinned || size <= 0)
        return 0;
    std::memcpy(out, &s.palette,
                std::min<std::size_t>(sizeof s.palette, static_cast<std::size_t>(size)));
    return 1;
}

} // extern "C"

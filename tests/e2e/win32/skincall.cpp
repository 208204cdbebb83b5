// Windows side of the skin test, run under Wine: binds the library's exports by name the way
// the programs do and calls them on a real window.
//   skincall.exe SKINFILE EXPECTED_NAME
// Prints one line per step; exits 0 only when every export was found, every call succeeded
// and the attached palette carries EXPECTED_NAME.
#include "../../../skin/skinh.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

using AttachFn = int(__stdcall*)();
using SetAlphaFn = int(__stdcall*)(void*, int);
using AttachExFn = int(__stdcall*)(const char*, const char*);
using GetPaletteFn = int(__stdcall*)(SkinH_Palette*, int);

template <typename Fn> Fn bind(HMODULE lib, const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
    std::printf("%s %s\n", name, fn ? "found" : "MISSING");
    return fn;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: skincall SKINFILE EXPECTED_NAME\n");
        return 2;
    }
    HMODULE lib = LoadLibraryA("SkinH_VB6.dll");
    if (!lib) {
        std::printf("LoadLibrary failed: %lu\n", GetLastError());
        return 1;
    }
    auto attach = bind<AttachFn>(lib, "SkinH_Attach");
    auto setAlpha = bind<SetAlphaFn>(lib, "SkinH_SetWindowAlpha");
    auto attachEx = bind<AttachExFn>(lib, "SkinH_AttachEx");
    auto getPalette = bind<GetPaletteFn>(lib, "SkinH_GetPalette");
    if (!attach || !setAlpha || !attachEx || !getPalette)
        return 1;

    HWND window = CreateWindowExA(0, "STATIC", "skin test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    int failures = 0;
    const int a = attach();
    const int b = setAlpha(window, 200);
    const LONG_PTR ex = GetWindowLongPtrA(window, GWL_EXSTYLE);
    std::printf("alpha 200 layered %s\n", (ex & WS_EX_LAYERED) ? "yes" : "no");
    failures += (ex & WS_EX_LAYERED) ? 0 : 1;
    const int c = setAlpha(window, 255);
    const int d = attachEx(argv[1], "1");
    std::printf("results %d %d %d %d\n", a, b, c, d);
    failures += (a == 1 && b == 1 && c == 1 && d == 1) ? 0 : 1;
    const int bad = attachEx("no such skin.she", "1");
    std::printf("missing skin %d\n", bad);
    failures += bad == 0 ? 0 : 1;

    SkinH_Palette p{};
    const int got = getPalette(&p, sizeof p);
    std::printf("palette %d name %s window %06X alpha %d\n", got, p.name, p.window, p.alpha);
    failures += (got == 1 && std::strcmp(p.name, argv[2]) == 0 && p.alpha == 255) ? 0 : 1;
    DestroyWindow(window);
    std::printf("%s\n", failures == 0 ? "OK" : "FAILED");
    return failures == 0 ? 0 : 1;
}

// Loads the skin library at run time and makes the three calls.
#include "skin/skinloader.h"

#ifdef _WIN32
#include <windows.h>
#define FOLIO_SKIN_CALL __stdcall
#else
#include <dlfcn.h>
#define FOLIO_SKIN_CALL
#endif

namespace folio::skin {
namespace {

using AttachFn = int(FOLIO_SKIN_CALL*)();
using SetAlphaFn = int(FOLIO_SKIN_CALL*)(void*, int);
using AttachExFn = int(FOLIO_SKIN_CALL*)(const char*, const char*);
using GetPaletteFn = int(FOLIO_SKIN_CALL*)(SkinH_Palette*, int);

#ifdef _WIN32
void* openLibrary(const std::string& name) {
    return LoadLibraryA(name.c_str());
}
void* symbol(void* lib, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
#else
void* openLibrary(const std::string& name) {
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* symbol(void* lib, const char* name) {
    return dlsym(lib, name);
}
#endif

template <typename Fn> Fn function(void* lib, const char* name) {
    return reinterpret_cast<Fn>(symbol(lib, name));
}

} // namespace

std::string libraryBeside(const std::string& programFolder) {
    std::string path = programFolder;
#ifdef _WIN32
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
#else
    if (!path.empty() && path.back() != '/')
        path += '/';
#endif
    return path + LibraryName;
}

bool attachSkin(const std::string& library, const std::string& skinFile, void* window, int alpha) {
    void* lib = openLibrary(library);
    if (!lib)
        return false;
    auto attach = function<AttachFn>(lib, "SkinH_Attach");
    auto setAlpha = function<SetAlphaFn>(lib, "SkinH_SetWindowAlpha");
    auto attachEx = function<AttachExFn>(lib, "SkinH_AttachEx");
    if (!attach || !setAlpha || !attachEx)
        return false;
    attach();
    setAlpha(window, alpha);
    attachEx(skinFile.c_str(), Password);
    return true;
}

std::optional<SkinH_Palette> attachedPalette(const std::string& library) {
    void* lib = openLibrary(library);
    if (!lib)
        return std::nullopt;
    auto getPalette = function<GetPaletteFn>(lib, "SkinH_GetPalette");
    SkinH_Palette p{};
    if (!getPalette || getPalette(&p, static_cast<int>(sizeof p)) != 1)
        return std::nullopt;
    return p;
}

} // namespace folio::skin

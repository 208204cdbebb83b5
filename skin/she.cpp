// Parser of the ".she" skin files.
#include "skin/she.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace folio::skin {
namespace {

constexpr std::size_t MaxSkinSize = 64 * 1024;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<unsigned> parseColour(std::string_view v) {
    if (v.size() != 7 || v[0] != '#')
        return std::nullopt;
    unsigned value = 0;
    for (char c : v.substr(1)) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::tolower(c) - 'a' + 10);
    }
    return value;
}

void copyText(char (&dst)[64], std::string_view src) {
    const std::size_t n = std::min(src.size(), sizeof dst - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

unsigned* colourSlot(SkinH_Palette& p, const std::string& key) {
    if (key == "window")
        return &p.window;
    if (key == "windowtext")
        return &p.windowText;
    if (key == "base")
        return &p.base;
    if (key == "text")
        return &p.text;
    if (key == "button")
        return &p.button;
    if (key == "buttontext")
        return &p.buttonText;
    if (key == "highlight")
        return &p.highlight;
    if (key == "highlighttext")
        return &p.highlightText;
    return nullptr;
}

} // namespace

SkinH_Palette defaultPalette() {
    SkinH_Palette p{};
    p.window = 0xF0F0F0;
    p.windowText = 0x000000;
    p.base = 0xFFFFFF;
    p.text = 0x000000;
    p.button = 0xE1E1E1;
    p.buttonText = 0x000000;
    p.highlight = 0x0078D7;
    p.highlightText = 0xFFFFFF;
    p.alpha = 255;
    return p;
}

std::optional<SkinFile> parseSkin(std::string_view text, std::string* why) {
    auto fail = [&](int line, const std::string& what) -> std::optional<SkinFile> {
        if (why)
            *why = "line " + std::to_string(line) + ": " + what;
        return std::nullopt;
    };
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    SkinFile skin;
    skin.palette = defaultPalette();
    std::string section;
    bool sawSkin = false;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNo;
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail(lineNo, "unclosed section header \"" + std::string(line) + "\"");
            section = lower(trim(line.substr(1, line.size() - 2)));
            sawSkin = sawSkin || section == "skin";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail(lineNo, "expected key=value, found \"" + std::string(line) + "\"");
        const std::string key = lower(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (section == "skin") {
            if (key == "name")
                copyText(skin.palette.name, value);
            else if (key == "password")
                skin.password = std::string(value);
        } else if (section == "colors" || section == "colours") {
            unsigned* slot = colourSlot(skin.palette, key);
            if (!slot)
                continue; // colours of later versions are ignored
            const std::optional<unsigned> c = parseColour(value);
            if (!c)
                return fail(lineNo, "colour " + key + " is \"" + std::string(value) +
                                        "\", expected #RRGGBB");
            *slot = *c;
        } else if (section == "font") {
            if (key == "family") {
                copyText(skin.palette.fontFamily, value);
            } else if (key == "size") {
                int size = 0;
                const bool digits = !value.empty() && value.size() <= 3 &&
                                    std::all_of(value.begin(), value.end(), [](char c) {
                                        return std::isdigit(static_cast<unsigned char>(c));
                                    });
                if (digits)
                    size = std::stoi(std::string(value));
                if (size < 1 || size > 72)
                    return fail(lineNo, "font size \"" + std::string(value) +
                                            "\", expected 1 to 72 points");
                skin.palette.fontPointSize = size;
            }
        }
    }
    if (!sawSkin)
        return fail(lineNo, "no [skin] section: not a skin file");
    return skin;
}

std::optional<SkinFile> readSkin(const std::string& path, std::string* why) {
    // stdio rather than iostreams: the Windows DLL links its C++ library statically.
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (why)
            *why = path + ": cannot open the skin file";
        return std::nullopt;
    }
    std::string text(MaxSkinSize + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || text.size() > MaxSkinSize) {
        if (why)
            *why = path + (failed ? ": cannot read the skin file"
                                  : ": larger than 64 KiB, not a skin file");
        return std::nullopt;
    }
    std::string fault;
    std::optional<SkinFile> skin = parseSkin(text, &fault);
    if (!skin && why)
        *why = path + ": " + fault;
    return skin;
}

} // namespace folio::skin

// Builds .ico files and icon images for the icon tests: every icon the tests use is made here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace icontest {

using Bytes = std::vector<std::uint8_t>;

struct IconShape {
    int width = 32;
    int height = 32;
    int bitCount = 24;     // 24 or 32: no palette
    std::uint8_t seed = 1; // varies the pixels so that images can be told apart
};

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

// An icon image as an .ico stores it: a 40-byte bitmap-info header (height doubled, image
// size left 0), the colour rows and the 1-bit mask rows, each row padded to 4 bytes.
inline Bytes makeIconImage(const IconShape& s) {
    const std::size_t colourStride = ((s.width * s.bitCount + 31) / 32) * 4;
    const std::size_t maskStride = ((s.width + 31) / 32) * 4;
    Bytes b(40 + colourStride * s.height + maskStride * s.height, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(s.width));
    put32(b, 8, static_cast<std::uint32_t>(s.height * 2));
    put16(b, 12, 1);
    put16(b, 14, static_cast<std::uint32_t>(s.bitCount));
    for (std::size_t i = 40; i < 40 + colourStride * s.height; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + s.seed * 31);
    return b;
}

// An .ico holding one image per shape, in order.
inline Bytes makeIco(const std::vector<IconShape>& shapes) {
    Bytes ico(6 + 16 * shapes.size(), 0);
    put16(ico, 2, 1);
    put16(ico, 4, static_cast<std::uint32_t>(shapes.size()));
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const Bytes image = makeIconImage(shapes[i]);
        const std::size_t e = 6 + 16 * i;
        ico[e] = static_cast<std::uint8_t>(shapes[i].width & 0xFF);
        ico[e + 1] = static_cast<std::uint8_t>(shapes[i].height & 0xFF);
        put16(ico, e + 4, 1);
        put16(ico, e + 6, static_cast<std::uint32_t>(shapes[i].bitCount));
        put32(ico, e + 8, static_cast<std::uint32_t>(image.size()));
        put32(ico, e + 12, static_cast<std::uint32_t>(ico.size()));
        ico.insert(ico.end(), image.begin(), image.end());
    }
    return ico;
}

// An icon-group resource: 6-byte header and one 14-byte entry per (shape, id).
inline Bytes makeGroup(const std::vector<std::pair<IconShape, std::uint16_t>>& entries,
                       std::uint16_t planes, std::uint16_t bitCount) {
    Bytes g(6 + 14 * entries.size(), 0);
    put16(g, 2, 1);
    put16(g, 4, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& [shape, id] = entries[i];
        const std::size_t e = 6 + 14 * i;
        g[e] = static_cast<std::uint8_t>(shape.width & 0xFF);
        g[e + 1] = static_cast<std::uint8_t>(shape.height & 0xFF);
        put16(g, e + 4, planes);
        put16(g, e + 6, bitCount);
        put32(g, e + 8, static_cast<std::uint32_t>(makeIconImage(shape).size()));
        put16(g, e + 12, id);
    }
    return g;
}

} // namespace icontest

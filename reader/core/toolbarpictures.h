// The pictures of the reading window's image list ImgIcon, described once as shapes on a
// 24 x 24 grid that each face draws with its own painter (QPainter, GDI): no picture files
// travel with the programs, and both readers show the same buttons.
#pragma once

#include <cstdint>
#include <vector>

namespace folio::reader {

inline constexpr int ToolbarPictureCount = 24;
inline constexpr int ToolbarPictureGrid = 24; // the side of the grid the shapes are given on

struct PictureColour {
    std::uint8_t red = 0, green = 0, blue = 0;
};

struct PicturePoint {
    double x = 0, y = 0;
};

struct PictureBox {
    double x = 0, y = 0, width = 0, height = 0;
};

struct PictureShape {
    enum class Kind {
        Polygon,  // closed, `points`
        Polyline, // open, `points`
        Line,     // points[0] to points[1]
        Point,    // points[0], a dot as wide as the pen
        Rect,     // `box`
        Ellipse,  // inside `box`
        Arc,      // of the ellipse inside `box`, from `startDegrees` through `spanDegrees`
    };
    Kind kind = Kind::Polygon;
    std::vector<PicturePoint> points;
    PictureBox box;
    // Degrees counter-clockwise from three o'clock, as a clock face seen from the front.
    double startDegrees = 0, spanDegrees = 0;
    bool outlined = true; // drawn with `pen` at `penWidth`, else no outline
    PictureColour pen;
    double penWidth = 1;
    bool roundCaps = false; // line ends rounded rather than square
    bool filled = false;    // filled with `fill` (closed shapes)
    PictureColour fill;
};

// The shapes of picture `index` (1-based: 1 back, 2 forward, ... 21 bookshelf, 22 and 23
// the previous and the next chapter, 24 the reading settings), in drawing
// order; empty outside 1..ToolbarPictureCount.
std::vector<PictureShape> toolbarPicture(int index);

} // namespace folio::reader

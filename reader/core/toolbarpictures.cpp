// The toolbar pictures (see toolbarpictures.h).
#include "reader/core/toolbarpictures.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace folio::reader {

namespace {

constexpr PictureColour Ink{40, 70, 120};
constexpr PictureColour Accent{60, 140, 60};
constexpr PictureColour Warn{190, 50, 40};
constexpr PictureColour White{255, 255, 255};
constexpr PictureColour Roof{230, 190, 90};
constexpr PictureColour Sky{70, 120, 200};
constexpr PictureColour Wood{200, 170, 120};
constexpr PictureColour Steel{120, 120, 130};

struct Stroke {
    PictureColour colour = Ink;
    double width = 1.5;
    bool round = false;
};
constexpr Stroke Outline{};
constexpr Stroke NoOutline{{}, 0};

PictureShape shape(PictureShape::Kind kind, Stroke stroke) {
    PictureShape s;
    s.kind = kind;
    s.outlined = stroke.width > 0;
    s.pen = stroke.colour;
    s.penWidth = stroke.width;
    s.roundCaps = stroke.round;
    return s;
}

PictureShape filledShape(PictureShape::Kind kind, PictureColour fill, Stroke stroke) {
    PictureShape s = shape(kind, stroke);
    s.filled = true;
    s.fill = fill;
    return s;
}

PictureShape polygon(std::initializer_list<PicturePoint> points, PictureColour fill,
                     Stroke stroke = Outline) {
    PictureShape s = filledShape(PictureShape::Kind::Polygon, fill, stroke);
    s.points = points;
    return s;
}

PictureShape boxed(PictureShape::Kind kind, PictureBox box, PictureColour fill,
                   Stroke stroke = Outline) {
    PictureShape s = filledShape(kind, fill, stroke);
    s.box = box;
    return s;
}

PictureShape rect(PictureBox box, PictureColour fill) {
    return boxed(PictureShape::Kind::Rect, box, fill);
}

PictureShape ellipse(PictureBox box, PictureColour fill) {
    return boxed(PictureShape::Kind::Ellipse, box, fill);
}

PictureShape line(PicturePoint from, PicturePoint to, Stroke stroke) {
    PictureShape s = shape(PictureShape::Kind::Line, stroke);
    s.points = {from, to};
    return s;
}

PictureShape polyline(std::initializer_list<PicturePoint> points, Stroke stroke) {
    PictureShape s = shape(PictureShape::Kind::Polyline, stroke);
    s.points = points;
    return s;
}

PictureShape arc(PictureBox box, double start, double span, Stroke stroke) {
    PictureShape s = shape(PictureShape::Kind::Arc, stroke);
    s.box = box;
    s.startDegrees = start;
    s.spanDegrees = span;
    return s;
}

PictureShape dot(PicturePoint at, Stroke stroke) {
    PictureShape s = shape(PictureShape::Kind::Point, stroke);
    s.points = {at};
    return s;
}

std::vector<PictureShape> arrow(bool left) {
    if (left)
        return {
            polygon({{4, 12}, {12, 4}, {12, 9}, {20, 9}, {20, 15}, {12, 15}, {12, 20}}, Accent)};
    return {polygon({{20, 12}, {12, 4}, {12, 9}, {4, 9}, {4, 15}, {12, 15}, {12, 20}}, Accent)};
}

// A lens and its handle, with a minus (sign < 0) or a plus (sign > 0) in the lens.
std::vector<PictureShape> magnifier(int sign) {
    std::vector<PictureShape> shapes = {ellipse({3, 3, 13, 13}, White),
                                        line({14.5, 14.5}, {21, 21}, {Ink, 3, true})};
    if (sign != 0)
        shapes.push_back(line({6.5, 9.5}, {12.5, 9.5}, {Ink, 2}));
    if (sign > 0)
        shapes.push_back(line({9.5, 6.5}, {9.5, 12.5}, {Ink, 2}));
    return shapes;
}

// A written page at (x, y).
void page(std::vector<PictureShape>& shapes, double x, double y) {
    shapes.push_back(rect({x, y, 11, 14}, White));
    shapes.push_back(line({x + 2, y + 4}, {x + 9, y + 4}, Outline));
    shapes.push_back(line({x + 2, y + 7}, {x + 9, y + 7}, Outline));
    shapes.push_back(line({x + 2, y + 10}, {x + 7, y + 10}, Outline));
}

std::vector<PictureShape> gear() {
    PictureShape teeth = polygon({}, Steel);
    for (int i = 0; i < 16; ++i) {
        const double r = (i % 2 == 0) ? 10.5 : 7.5;
        const double a = i * std::numbers::pi / 8;
        teeth.points.push_back({12 + r * std::cos(a), 12 + r * std::sin(a)});
    }
    return {teeth, ellipse({9, 9, 6, 6}, White)};
}

} // namespace

std::vector<PictureShape> toolbarPicture(int index) {
    switch (index) {
    case 1: // back
        return arrow(true);
    case 2: // forward
        return arrow(false);
    case 3: // refresh: an open circle with an arrow head
        return {arc({4, 4, 16, 16}, 60, 290, {Accent, 3, true}),
                polygon({{14, 1}, {21, 6}, {14, 10}}, Accent, NoOutline)};
    case 4: // stop loading: a red octagon with a white cross
        return {
            polygon({{8, 3}, {16, 3}, {21, 8}, {21, 16}, {16, 21}, {8, 21}, {3, 16}, {3, 8}}, Warn),
            line({8, 8}, {16, 16}, {White, 2.5}), line({16, 8}, {8, 16}, {White, 2.5})};
    case 5: // home
        return {polygon({{12, 3}, {22, 12}, {19, 12}, {19, 21}, {5, 21}, {5, 12}, {2, 12}}, Roof),
                rect({10, 14, 4, 7}, Ink)};
    case 6: // bookmark ribbon
        return {polygon({{6, 2}, {18, 2}, {18, 22}, {12, 16}, {6, 22}}, Warn)};
    case 7: // find
        return magnifier(0);
    case 8: // zoom in
        return magnifier(1);
    case 9: // zoom out
        return magnifier(-1);
    case 10: // about: an "i" in a circle
        return {ellipse({2, 2, 20, 20}, Sky), line({12, 10.5}, {12, 17}, {White, 3, true}),
                dot({12, 6.5}, {White, 3, true})};
    case 11: // exit: a door with an arrow
        return {rect({4, 2, 10, 20}, Wood), line({10, 12}, {21, 12}, {Warn, 2.5}),
                line({17, 8}, {21, 12}, {Warn, 2.5}), line({17, 16}, {21, 12}, {Warn, 2.5})};
    case 12: // full screen: four corners
        return {polyline({{3, 9}, {3, 3}, {9, 3}}, {Ink, 2.5}),
                polyline({{15, 3}, {21, 3}, {21, 9}}, {Ink, 2.5}),
                polyline({{21, 15}, {21, 21}, {15, 21}}, {Ink, 2.5}),
                polyline({{9, 21}, {3, 21}, {3, 15}}, {Ink, 2.5})};
    case 13: // read aloud: a loudspeaker with waves
        return {polygon({{3, 9}, {7, 9}, {12, 4}, {12, 20}, {7, 15}, {3, 15}}, Ink),
                arc({10, 7, 8, 10}, -60, 120, Outline), arc({10, 3, 12, 18}, -60, 120, Outline)};
    case 14: // settings: a gear
        return gear();
    case 15: // stop: a square
        return {rect({5, 5, 14, 14}, Warn)};
    case 16: // play
        return {polygon({{6, 3}, {20, 12}, {6, 21}}, Accent)};
    case 17: // pause
        return {rect({5, 4, 5, 16}, Ink), rect({14, 4, 5, 16}, Ink)};
    case 18: { // copy: two pages
        std::vector<PictureShape> shapes;
        page(shapes, 3, 2);
        page(shapes, 10, 8);
        return shapes;
    }
    case 19: // save: a floppy disk
        return {rect({3, 3, 18, 18}, Ink), rect({6, 3, 12, 7}, White), rect({7, 14, 10, 7}, White)};
    case 20: // update: a down arrow onto a tray
        return {line({12, 3}, {12, 15}, {Accent, 3, true}),
                line({7, 10}, {12, 15}, {Accent, 3, true}),
                line({17, 10}, {12, 15}, {Accent, 3, true}),
                polyline({{3, 15}, {3, 21}, {21, 21}, {21, 15}}, {Ink, 2})};
    case 21: // bookshelf: three book spines on a shelf
        return {rect({4, 5, 4, 15}, Warn), rect({9, 3, 4, 17}, Accent), rect({14, 6, 5, 14}, Sky),
                rect({2, 20, 20, 2}, Ink)};
    case 22:   // previous chapter: a page with an arrow pointing back
    case 23: { // next chapter: the same, forward
        const bool back = index == 22;
        std::vector<PictureShape> shapes;
        page(shapes, back ? 9 : 3, 3);
        const double tip = back ? 3 : 21, tail = back ? 11 : 13;
        shapes.push_back(line({tail, 15}, {tip, 15}, {Accent, 3, true}));
        shapes.push_back(line({back ? tip + 4 : tip - 4, 11}, {tip, 15}, {Accent, 3, true}));
        shapes.push_back(line({back ? tip + 4 : tip - 4, 19}, {tip, 15}, {Accent, 3, true}));
        return shapes;
    }
    case 24: // reading settings: a large and a small letter A
        return {polyline({{2, 21}, {8, 3}, {14, 21}}, {Ink, 2.5}),
                line({5, 14}, {11, 14}, {Ink, 2}),
                polyline({{14, 21}, {18, 10}, {22, 21}}, {Accent, 2}),
                line({16, 17}, {20, 17}, {Accent, 1.5})};
    default:
        return {};
    }
}

} // namespace folio::reader

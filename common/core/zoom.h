// The page zoom of a browser pane, as the readers and the maker's preview step it: 20 percent
// a press between 40 and 400, the script that applies it, and the zoom button's drop-down list.
#pragma once

#include <string>
#include <vector>

namespace folio {

inline constexpr int ZoomStep = 20;
inline constexpr int MinZoom = 40;
inline constexpr int MaxZoom = 400;
inline constexpr int NormalZoom = 100;

int clampZoom(int percent);
int zoomIn(int percent);
int zoomOut(int percent);
// "document.body.style.zoom='N%'"
std::string zoomScript(int percent);

struct ZoomMenuEntry {
    const char* key;  // "Z400"
    const char* text; // "400%"
    int percent;
};
// The seven entries of the zoom-in button's drop-down list, in list order.
const std::vector<ZoomMenuEntry>& zoomMenuEntries();

} // namespace folio

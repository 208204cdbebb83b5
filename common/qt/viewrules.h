// Rules every window with a preview shares: twips against pixels, and the zoom of a browser
// pane (steps, limits, the script that applies it, the drop-down's entries).
#pragma once

#include <string>
#include <vector>

class QWebEnginePage;

namespace folio::qt {

// Window geometry is kept in twips, as the layout rules are stated; 15 twips make one pixel at
// 96 DPI. These two are the only place where twips meet pixels.
inline constexpr int TwipsPerPixel = 15;
int twipsToPixels(int twips);
int pixelsToTwips(int pixels);

inline constexpr int ZoomStep = 20;
inline constexpr int MinZoom = 40;
inline constexpr int MaxZoom = 400;

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

// Runs the zoom script in the page's document; a page with nothing loaded is left alone.
void ApplyZoom(QWebEnginePage* page, int percent);

} // namespace folio::qt

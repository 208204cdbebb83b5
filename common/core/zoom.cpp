// The page zoom's steps (see zoom.h).
#include "core/zoom.h"

#include <algorithm>

namespace folio {

int clampZoom(int percent) {
    return std::clamp(percent, MinZoom, MaxZoom);
}

int zoomIn(int percent) {
    return clampZoom(percent + ZoomStep);
}

int zoomOut(int percent) {
    return clampZoom(percent - ZoomStep);
}

std::string zoomScript(int percent) {
    return "document.body.style.zoom='" + std::to_string(percent) + "%'";
}

const std::vector<ZoomMenuEntry>& zoomMenuEntries() {
    static const std::vector<ZoomMenuEntry> entries = {
        {"Z400", "400%", 400}, {"Z200", "200%", 200}, {"Z150", "150%", 150}, {"Z125", "125%", 125},
        {"Z100", "100%", 100}, {"Z75", "75%", 75},    {"Z50", "50%", 50},
    };
    return entries;
}

} // namespace folio

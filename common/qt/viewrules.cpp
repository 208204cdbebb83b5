// Twips and zoom rules shared by the workbench and the readers.
#include "qt/viewrules.h"

#include <QString>
#include <QWebEnginePage>

#include <algorithm>

namespace folio::qt {

int twipsToPixels(int twips) {
    // Round to the nearest pixel so that a 10-twip pane stays visible as a 1-pixel line.
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

int pixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

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

void ApplyZoom(QWebEnginePage* page, int percent) {
    if (!page || page->url().isEmpty()) {
        return;
    }
    page->runJavaScript(QString::fromStdString(zoomScript(percent)));
}

} // namespace folio::qt

// Rules every window with a preview shares: twips against pixels and the zoom of a browser pane
// (steps, limits, the script, the drop-down's entries; kept with the reader's rules), and the
// one Qt step of applying a zoom to a page.
#pragma once

#include "reader/core/readerrules.h"

class QWebEnginePage;

namespace folio::qt {

using folio::reader::clampZoom;
using folio::reader::MaxZoom;
using folio::reader::MinZoom;
using folio::reader::pixelsToTwips;
using folio::reader::TwipsPerPixel;
using folio::reader::twipsToPixels;
using folio::reader::zoomIn;
using folio::reader::zoomMenuEntries;
using folio::reader::ZoomMenuEntry;
using folio::reader::zoomOut;
using folio::reader::zoomScript;
using folio::reader::ZoomStep;

// Runs the zoom script in the page's document; a page with nothing loaded is left alone.
void ApplyZoom(QWebEnginePage* page, int percent);

} // namespace folio::qt

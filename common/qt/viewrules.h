// The one Qt step of applying a zoom to a browser page. The rules behind it (zoom steps,
// limits, the script, the drop-down's entries) are common/core's, in core/zoom.h.
#pragma once

#include "core/zoom.h"

class QWebEnginePage;

namespace folio::qt {

// Runs the zoom script in the page's document; a page with nothing loaded is left alone.
void ApplyZoom(QWebEnginePage* page, int percent);

} // namespace folio::qt

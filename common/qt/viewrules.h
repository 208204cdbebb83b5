// The one Qt step of applying a zoom to a browser page. The rules behind it (twips against
// pixels, zoom steps, limits, the script, the drop-down's entries) are the reader's, in
// reader/core/readerrules.h, and every window with a preview names them there.
#pragma once

#include "reader/core/readerrules.h"

class QWebEnginePage;

namespace folio::qt {

// Runs the zoom script in the page's document; a page with nothing loaded is left alone.
void ApplyZoom(QWebEnginePage* page, int percent);

} // namespace folio::qt

// Applying a zoom to a browser page (see viewrules.h).
#include "qt/viewrules.h"

#include <QString>
#include <QWebEnginePage>

namespace folio::qt {

void ApplyZoom(QWebEnginePage* page, int percent) {
    if (!page || page->url().isEmpty()) {
        return;
    }
    page->runJavaScript(QString::fromStdString(folio::zoomScript(percent)));
}

} // namespace folio::qt

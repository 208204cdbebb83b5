// What a book's pages may do in the Windows reader's browser panes. The pages are untrusted
// (adverts and scripts of the sites they were saved from) and a book's res: pages sit in the
// local-machine zone, so the panes' host hands the control a security manager that keeps
// active content off and pages inside the book's rule, and a download control without ActiveX,
// Java or behaviours. Both live in a host-services object that needs no browser to exist.
#pragma once

#include "reader/core/pagerule.h"

#include <windows.h>

#include <servprov.h>

#include <string_view>

namespace folio::win32 {

// The rule of the one book this process shows, for every browser pane (the reading window's,
// full screen's, the advert's). Set once the book's prefix is known, before the first page
// loads; until then pages reach only what they make themselves.
void setBookPageRule(folio::reader::PageRule rule);
const folio::reader::PageRule& bookPageRule();
// Whether a pane may load or open `url` (UTF-16, as the browser gives it).
bool bookPageAllows(std::wstring_view url);

// The panes' download control: pictures, videos and background sounds; no ActiveX controls,
// Java or binary behaviours, and no dialogs of the control's own.
DWORD pageDownloadControl();

// A new host-services object, holding one reference (the caller's): QueryService gives the
// security manager (SID_SInternetSecurityManager), its IDispatch answers the ambient download
// control (DISPID_AMBIENT_DLCONTROL).
IServiceProvider* createPageHostServices();

} // namespace folio::win32

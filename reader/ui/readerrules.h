// The reader's window-free rules (reader/core/readerrules.h), named in the windows' namespace.
#pragma once

#include "qt/viewrules.h"
#include "reader/core/readerrules.h"

namespace folio::readerui {

using folio::reader::AboutHtml;
using folio::reader::BarWidth;
using folio::reader::clampZoom;
using folio::reader::cleanLinkName;
using folio::reader::ClosedTreeWidth;
using folio::reader::contentsDownload;
using folio::reader::Download;
using folio::reader::fitOnScreen;
using folio::reader::hasTextToSave;
using folio::reader::indexDownload;
using folio::reader::initialZoom;
using folio::reader::isSoundLink;
using folio::reader::layoutPanes;
using folio::reader::libraryAddress;
using folio::reader::libraryPath;
using folio::reader::localPrefix;
using folio::reader::MaxZoom;
using folio::reader::MinSplitterLeft;
using folio::reader::MinZoom;
using folio::reader::NormalZoom;
using folio::reader::NothingToSaveMessage;
using folio::reader::onlineCaption;
using folio::reader::pageResources;
using folio::reader::PaneLayout;
using folio::reader::pixelsToTwips;
using folio::reader::playerTimeText;
using folio::reader::routeContentsLinkToPage;
using folio::reader::savedFileBytes;
using folio::reader::savedMessage;
using folio::reader::ScreenRect;
using folio::reader::shortcutsText;
using folio::reader::soundResourceName;
using folio::reader::splitterLeft;
using folio::reader::TreeWidth;
using folio::reader::TwipRect;
using folio::reader::TwipsPerPixel;
using folio::reader::twipsToPixels;
using folio::reader::unreachablePage;
using folio::reader::Variant;
using folio::reader::zoomIn;
using folio::reader::zoomMenuEntries;
using folio::reader::ZoomMenuEntry;
using folio::reader::zoomOut;
using folio::reader::zoomScript;
using folio::reader::ZoomStep;

} // namespace folio::readerui

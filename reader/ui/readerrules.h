// The reader's window-free rules (reader/core/readerrules.h), named in the windows' namespace
// so the windows call them as their own; the Qt step of applying a zoom comes with them.
#pragma once

#include "qt/viewrules.h"
#include "reader/core/readerrules.h"

namespace folio::readerui {

using namespace folio::reader;

} // namespace folio::readerui

// The reader's windows take the text step from the common Qt layer under their own namespace.
#pragma once

#include "qt/uitext.h"

namespace folio::readerui {

using folio::qt::qs;
using folio::qt::utf8;

} // namespace folio::readerui

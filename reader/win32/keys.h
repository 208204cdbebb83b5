// The reading window's keys on Windows: reader/core's key map as an accelerator table.
#pragma once

#include "reader/core/commands.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace folio::win32 {

// A key's command id: this base plus the command's number.
inline constexpr int AcceleratorBase = 1300;

// The accelerator entries for the key chords of `variant` ("Ctrl+F", "Shift+F3", "Ctrl++"):
// a chord whose key has two places on the keyboard ("+" and "-" on the main keys and the
// number pad) gets both; a chord this face cannot type is left out.
std::vector<ACCEL> acceleratorEntries(folio::reader::Variant variant);

// The command of a WM_COMMAND id from the table; none for another id.
std::optional<folio::reader::Command> acceleratorCommand(int id);

} // namespace folio::win32

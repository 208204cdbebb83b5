// The reader's own small state files (places, recent books) in the user's state folder.
#pragma once

#include "core/error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::reader {

// $XDG_STATE_HOME/folio, or ~/.local/state/folio when it is not set (an empty or relative
// XDG_STATE_HOME is ignored, as the base directory rules ask); empty when neither is known.
std::string stateFolder();

// Field text kept in a state file: every byte that is not printable ASCII, and "%", becomes
// "%XX", so a line holds no TAB or line end and the file is plain ASCII (thus also CP936).
std::string encodeField(std::string_view text);
// The reverse; nullopt for a malformed "%" escape.
std::optional<std::string> decodeField(std::string_view text);

// Whether `text` is a book key, lineage or stamp as the state files keep them: 16 lower-case
// hex digits.
bool isHexKey(std::string_view text);

// The lines of a state file that starts with `header`, each split at TAB; an empty list when
// the file is missing, unreadable or carries another header (a damaged or foreign file is
// ignored, never trusted).
std::vector<std::vector<std::string>> readStateFile(const std::string& path,
                                                    std::string_view header);
// Writes `header` and the rows (fields joined by TAB), each line ended by CR LF, through a
// temporary file and a rename; creates the folder when it is missing.
Result<void> writeStateFile(const std::string& path, std::string_view header,
                            const std::vector<std::vector<std::string>>& rows);

} // namespace folio::reader

// Settings files in the Windows profile format ([section] and key=value lines, CP936), read
// with the semantics of the system's profile calls.
#pragma once

#include "core/error.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio {

class Profile {
  public:
    // Buffer size the callers use by default: 255 bytes, so at most 254 characters come back.
    static constexpr std::size_t DefaultBufferSize = 255;

    // Reads a CP936 profile file. An unreadable file is an error naming it.
    static Result<Profile> load(const std::string& path);
    // Parses profile text already in memory (CP936 bytes).
    static Profile parse(std::string_view ansiText);

    // The value of `key` in `section` (both matched without regard to case), trimmed of
    // surrounding blanks; `defaultValue` (its trailing blanks removed) when either is missing.
    // The result is cut to bufferSize - 1 bytes of CP936, never inside a double-byte
    // character. Text comes back as UTF-8.
    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue = {},
                    std::size_t bufferSize = DefaultBufferSize) const;

    // Whether the section holds the key.
    bool contains(std::string_view section, std::string_view key) const;

    // Section names in file order (duplicates once), and the keys of one section in order.
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

  private:
    struct Entry {
        std::string key;   // UTF-8, trimmed
        std::string value; // UTF-8, trimmed
    };
    struct Section {
        std::string name; // UTF-8, trimmed
        std::vector<Entry> entries;
    };
    const Section* findSection(std::string_view name) const;
    std::vector<Section> m_sections;
};

// Sets `key` in `section` like the system's profile write: replaces the key's line when it
// exists, else adds it at the end of the section, else adds the section at the end of the
// file. A missing file is created. Written in CP936 with CR LF, atomically.
Result<void> writeProfileString(const std::string& path, std::string_view section,
                                std::string_view key, std::string_view value);

} // namespace folio

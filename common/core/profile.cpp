// Profile (INI) files with the system's semantics: case-insensitive names, trimmed values,
// answers cut to the caller's buffer.
#include "core/profile.h"

#include "core/fileio.h"
#include "core/text.h"

#include <algorithm>

namespace folio {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin()))
        return true;
    return toUpperUnicode(a) == toUpperUnicode(b);
}

// What one line of a profile file is.
struct LineKind {
    enum { Other, Section, Entry } kind = Other;
    std::string_view name;  // section name or key
    std::string_view value; // entry value
};

LineKind classify(std::string_view line) {
    LineKind k;
    const std::string_view t = trim(line);
    if (!t.empty() && t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            k.kind = LineKind::Section;
            k.name = trim(t.substr(1, close - 1));
        }
        return k;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return k; // a line without "=" carries nothing
    k.kind = LineKind::Entry;
    k.name = trim(t.substr(0, eq));
    k.value = trim(t.substr(eq + 1));
    return k;
}

// Cuts UTF-8 text to at most `maxBytes` bytes of CP936 without splitting a double-byte
// character.
std::string cutToAnsiBytes(std::string_view utf8, std::size_t maxBytes) {
    const std::string ansi = toAnsi(utf8);
    if (ansi.size() <= maxBytes)
        return std::string(utf8);
    std::size_t end = 0;
    while (end < ansi.size()) {
        const std::size_t len = static_cast<unsigned char>(ansi[end]) >= 0x81 ? 2 : 1;
        if (end + len > maxBytes)
            break;
        end += len;
    }
    return fromAnsi(std::string_view(ansi).substr(0, end));
}

} // namespace

Result<Profile> Profile::load(const std::string& path) {
    auto bytes = readFileBytes(path);
    FOLIO_TRY(bytes);
    return parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

Profile Profile::parse(std::string_view ansiText) {
    Profile p;
    Section* current = nullptr;
    for (const std::string& raw : splitAnsiLines(ansiText)) {
        // Decode first: "[" and "]" can be trail bytes of a double-byte character.
        const std::string line = fromAnsi(raw);
        const LineKind k = classify(line);
        if (k.kind == LineKind::Section) {
            p.m_sections.push_back(Section{std::string(k.name), {}});
            current = &p.m_sections.back();
        } else if (k.kind == LineKind::Entry && current) {
            current->entries.push_back(Entry{std::string(k.name), std::string(k.value)});
        }
    }
    return p;
}

const Profile::Section* Profile::findSection(std::string_view name) const {
    // The first section of that name answers, as the system's lookup does.
    for (const Section& s : m_sections)
        if (sameName(s.name, trim(name)))
            return &s;
    return nullptr;
}

std::string Profile::get(std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t bufferSize) const {
    if (bufferSize == 0)
        return {};
    std::string_view answer = defaultValue;
    while (!answer.empty() && isBlank(answer.back()))
        answer.remove_suffix(1);
    if (const Section* s = findSection(section)) {
        for (const Entry& e : s->entries) {
            if (sameName(e.key, trim(key))) {
                answer = e.value;
                break;
            }
        }
    }
    return cutToAnsiBytes(answer, bufferSize - 1);
}

bool Profile::contains(std::string_view section, std::string_view key) const {
    if (const Section* s = findSection(section))
        for (const Entry& e : s->entries)
            if (sameName(e.key, trim(key)))
                return true;
    return false;
}

std::vector<std::string> Profile::sections() const {
    std::vector<std::string> names;
    for (const Section& s : m_sections) {
        const bool seen = std::any_of(names.begin(), names.end(),
                                      [&](const std::string& n) { return sameName(n, s.name); });
        if (!seen)
            names.push_back(s.name);
    }
    return names;
}

std::vector<std::string> Profile::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* s = findSection(section))
        for (const Entry& e : s->entries)
            names.push_back(e.key);
    return names;
}

Result<void> writeProfileString(const std::string& path, std::string_view section,
                                std::string_view key, std::string_view value) {
    std::vector<std::string> lines;
    if (fileExists(path)) {
        auto read = readAnsiLines(path);
        FOLIO_TRY(read);
        lines = std::move(*read);
    }
    const std::string entry = std::string(trim(key)) + "=" + std::string(value);

    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineKind k = classify(lines[i]);
        if (k.kind == LineKind::Section && sameName(k.name, trim(section))) {
            header = i;
            break;
        }
    }
    if (header == lines.size()) {
        lines.push_back("[" + std::string(trim(section)) + "]");
        lines.push_back(entry);
        return writeAnsiLines(path, lines);
    }
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const LineKind k = classify(lines[i]);
        if (k.kind == LineKind::Section)
            break;
        if (k.kind == LineKind::Entry) {
            if (sameName(k.name, trim(key))) {
                lines[i] = entry;
                return writeAnsiLines(path, lines);
            }
            insertAt = i + 1;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    return writeAnsiLines(path, lines);
}

} // namespace folio

// State folder, field escaping and the header-plus-rows files of the reader's state.
#include "reader/core/statefile.h"

#include "core/fileio.h"
#include "core/text.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace folio::reader {

std::string stateFolder() {
#ifdef _WIN32
    // The roaming application data of the user, as every Windows program keeps its state.
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !appData[0])
        return {};
    const std::wstring wide(appData);
    return utf16ToUtf8(std::u16string(wide.begin(), wide.end())) + "\\folio";
#else
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && xdg[0] == '/')
        return FixPath(xdg) + "folio";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return FixPath(home) + ".local/state/folio";
    return {};
#endif
}

std::string encodeField(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%') {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::vector<std::string> splitTabs(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.emplace_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace

std::optional<std::string> decodeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool isHexKey(std::string_view text) {
    return text.size() == 16 && std::ranges::all_of(text, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::vector<std::vector<std::string>> readStateFile(const std::string& path,
                                                    std::string_view header) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return {};
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    const std::vector<std::string> lines = splitAnsiLines(text);
    if (lines.empty() || lines.front() != header)
        return {};
    std::vector<std::vector<std::string>> rows;
    rows.reserve(lines.size() - 1);
    for (std::size_t i = 1; i < lines.size(); ++i)
        rows.push_back(splitTabs(lines[i]));
    return rows;
}

Result<void> writeStateFile(const std::string& path, std::string_view header,
                            const std::vector<std::vector<std::string>>& rows) {
    const std::string folder = parentFolder(path);
    if (auto made = makeFolders(folder); !made)
        return fail("cannot create the state folder " + folder + ": " + made.error().message);
    std::string text(header);
    text += "\r\n";
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i)
                text += '\t';
            text += row[i];
        }
        text += "\r\n";
    }
    if (auto written = writeFileAtomic(path, text); !written)
        return fail("cannot write the state file " + path + ": " + written.error().message);
    return {};
}

} // namespace folio::reader

// Book keys and the places file.
#include "reader/core/placestore.h"

#include "core/book.h"
#include "core/fileio.h"
#include "reader/core/statefile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace folio::reader {

namespace {

constexpr std::string_view Header = "folio places 1";
constexpr int MinZoom = 40;
constexpr int MaxZoom = 400;
constexpr int MaxScroll = 100'000'000;

// 64-bit FNV-1a: plenty for telling a few hundred books apart, and simple to keep stable.
class Hasher {
  public:
    void bytes(const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            m_value ^= p[i];
            m_value *= 0x100000001b3ULL;
        }
    }
    void number(std::uint64_t v) {
        unsigned char b[8];
        for (int i = 0; i < 8; ++i)
            b[i] = static_cast<unsigned char>(v >> (8 * i));
        bytes(b, sizeof b);
    }
    void text(std::string_view s) {
        number(s.size());
        bytes(s.data(), s.size());
    }
    void id(const pe::ResourceId& r) {
        number(r.isString ? 1 : 0);
        if (r.isString) {
            number(r.name.size());
            for (const char16_t c : r.name)
                number(c);
        } else {
            number(r.id);
        }
    }
    std::uint64_t value() const { return m_value; }

  private:
    std::uint64_t m_value = 0xcbf29ce484222325ULL;
};

std::optional<int> parseInt(std::string_view s, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

struct Row {
    std::string key;
    Place place;
};

// key, zoom, x, y, page, then lineage and page stamp (rows written before these were kept
// have five fields and serve their own book only).
std::optional<Row> parseRow(const std::vector<std::string>& fields) {
    if ((fields.size() != 5 && fields.size() != 7) || !isHexKey(fields[0]))
        return std::nullopt;
    auto zoom = parseInt(fields[1], MinZoom, MaxZoom);
    auto x = parseInt(fields[2], 0, MaxScroll);
    auto y = parseInt(fields[3], 0, MaxScroll);
    auto page = decodeField(fields[4]);
    if (!zoom || !x || !y || !page || page->empty())
        return std::nullopt;
    Row row{fields[0], Place{std::move(*page), *x, *y, *zoom}};
    if (fields.size() == 7) {
        if ((!fields[5].empty() && !isHexKey(fields[5])) ||
            (!fields[6].empty() && !isHexKey(fields[6])))
            return std::nullopt;
        row.place.lineage = fields[5];
        row.place.pageStamp = fields[6];
    }
    return row;
}

} // namespace

std::string bookKey(const book::BookImage& book) {
    const pe::PeImage& image = book.image();
    Hasher h;
    h.text("folio book key 1");
    h.number(image.bytes().size());
    h.number(image.checksum());
    const auto& resources = image.resources();
    h.number(resources.size());
    for (const pe::Resource& r : resources) {
        h.id(r.type);
        h.id(r.name);
        h.number(r.language);
        h.number(r.size);
    }
    if (auto descriptor = book.descriptor())
        h.text(*descriptor);
    return hex(h.value());
}

std::string bookLineage(const book::BookImage& book) {
    Hasher h;
    h.text("folio book lineage 1");
#ifdef _WIN32
    // The reader opens itself by the full path the system gives; the standard library would
    // read a UTF-8 path in the ANSI code page.
    h.text(book.path());
#else
    std::error_code ec;
    const auto full = std::filesystem::absolute(book.path(), ec);
    h.text(ec ? book.path() : full.lexically_normal().string());
#endif
    const auto descriptor = book.descriptor();
    const auto fields =
        descriptor ? book::splitDescriptor(*descriptor) : std::vector<std::string>();
    h.text(fields.empty() ? std::string() : fields[0]);
    return hex(h.value());
}

std::optional<std::string> pageStamp(const book::BookImage& book, std::string_view page) {
    const auto decoded = decodeField(page.substr(0, page.find_first_of("#?")));
    if (!decoded || decoded->empty())
        return std::nullopt;
    const auto bytes = book.find(*decoded);
    if (!bytes)
        return std::nullopt;
    Hasher h;
    h.text("folio page stamp 1");
    h.number(bytes->size());
    h.bytes(bytes->data(), bytes->size());
    return hex(h.value());
}

PlaceStore::PlaceStore(std::string folder, std::size_t capacity)
    : m_folder(folder.empty() ? stateFolder() : std::move(folder)), m_capacity(capacity) {}

std::string PlaceStore::filePath() const {
    return m_folder.empty() ? std::string() : FixPath(m_folder) + std::string(FileName);
}

std::optional<Place> PlaceStore::find(std::string_view key) const {
    if (m_folder.empty())
        return std::nullopt;
    for (const auto& fields : readStateFile(filePath(), Header)) {
        if (!fields.empty() && fields[0] == key) {
            if (auto row = parseRow(fields))
                return row->place;
        }
    }
    return std::nullopt;
}

std::optional<Place> PlaceStore::findFor(std::string_view key, std::string_view lineage,
                                         const PageStamper& stampOf) const {
    if (auto own = find(key))
        return own;
    if (m_folder.empty() || lineage.empty() || !stampOf)
        return std::nullopt;
    for (const auto& fields : readStateFile(filePath(), Header)) {
        auto row = parseRow(fields);
        if (!row || row->place.lineage != lineage)
            continue;
        // The latest place of the book's earlier build: only its page tells where to go on.
        const auto stamp = stampOf(row->place.page);
        if (!stamp)
            return std::nullopt;
        Place place = std::move(row->place);
        if (place.pageStamp.empty() || *stamp != place.pageStamp)
            place.scrollX = place.scrollY = 0;
        place.pageStamp = *stamp;
        return place;
    }
    return std::nullopt;
}

Result<void> PlaceStore::remember(std::string_view key, const Place& place) const {
    if (m_folder.empty())
        return fail("no state folder for the places file: neither XDG_STATE_HOME nor HOME is set");
    if (!isHexKey(key))
        return fail("places file " + filePath() + ": \"" + std::string(key) +
                    "\" is not a book key (16 hex digits)");
    if (place.page.empty())
        return fail("places file " + filePath() + ": a place needs a page");
    if ((!place.lineage.empty() && !isHexKey(place.lineage)) ||
        (!place.pageStamp.empty() && !isHexKey(place.pageStamp)))
        return fail("places file " + filePath() + ": a lineage or page stamp is not 16 hex digits");
    std::vector<std::vector<std::string>> rows;
    rows.push_back({std::string(key), std::to_string(std::clamp(place.zoom, MinZoom, MaxZoom)),
                    std::to_string(std::clamp(place.scrollX, 0, MaxScroll)),
                    std::to_string(std::clamp(place.scrollY, 0, MaxScroll)),
                    encodeField(place.page), place.lineage, place.pageStamp});
    for (auto& fields : readStateFile(filePath(), Header)) {
        if (rows.size() >= m_capacity)
            break;
        // Damaged lines, the book's old place and the places of its earlier builds are left
        // behind; a copy of the book elsewhere (same key, another file) keeps its own.
        const auto row = parseRow(fields);
        if (!row)
            continue;
        const bool sameBuild =
            fields[0] == key && (row->place.lineage.empty() || row->place.lineage == place.lineage);
        const bool earlierBuild = !place.lineage.empty() && row->place.lineage == place.lineage;
        if (!sameBuild && !earlierBuild)
            rows.push_back(std::move(fields));
    }
    return writeStateFile(filePath(), Header, rows);
}

} // namespace folio::reader

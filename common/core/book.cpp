// The Book image contract: the descriptor both sides read, the names pages are stored under,
// and a mapped, indexed view of a finished book.
#include "core/book.h"

#include "core/text.h"

#include <algorithm>
#include <tuple>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace folio::book {

std::string descriptorText(const DescriptorFieldsIn& f) {
    const std::string* fields[] = {&f.title,        &f.author,     &f.indexPage,
                                   &f.contentsPage, &f.update,     &f.bookshelf,
                                   &f.advert,       &f.webAddress, &f.date};
    std::string text;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i != 0)
            text += ':';
        text += *fields[i];
    }
    return text;
}

std::vector<std::string> splitDescriptor(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        if (colon == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, colon - start));
        start = colon + 1;
    }
}

Result<std::int16_t> AnsiByteLength(std::string_view utf8) {
    const std::size_t n = toAnsi(utf8).size();
    if (n > 32767)
        return fail("the book descriptor takes " + std::to_string(n) +
                    " bytes in code page 936; at most 32767 bytes fit");
    return static_cast<std::int16_t>(n);
}

pe::ResourceId pageResourceName(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    pe::ResourceId id = pe::ResourceId::fromName(fileName);
    id.name = toUpperUtf16(id.name);
    return id;
}

pe::ResourceId pageResourceType(std::string_view entry) {
    const std::size_t slash = entry.find_last_of("/\\");
    if (slash == std::string_view::npos)
        return pe::ResourceId::fromId(PageType);
    std::string_view folder = entry.substr(0, slash);
    if (const std::size_t up = folder.find_last_of("/\\"); up != std::string_view::npos)
        folder.remove_prefix(up + 1);
    pe::ResourceId id = pe::ResourceId::fromName(folder);
    id.name = toUpperUtf16(id.name);
    return id;
}

bool isNumericTypeName(std::string_view folder) {
    return pe::ResourceId::parse(folder).isString == false || folder.starts_with('#');
}

std::string percentEncodePath(std::string_view path) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("/-._~!$&'()*+,;=:@").find(ch) != std::string_view::npos;
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    return out;
}

std::string resourcePrefix(const std::string& programFolder, const std::string& programFile,
                           char separator) {
    std::string path = programFolder;
    if (path.empty() || (path.back() != separator && path.back() != '/'))
        path += separator;
    std::string name = programFile;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    path += name + ".exe/";
    // The Linux readers hand the prefix to a browser as an address: a "#" or "?" in a folder
    // name would start a fragment or query there and a "%" an escape, so the path is encoded
    // (the scheme handler decodes it back). The Windows form is left as Windows builds it.
    return "RES://" + (separator == '/' ? percentEncodePath(path) : path);
}

Result<ReaderAddresses> readerAddresses(std::string_view descriptorUtf8,
                                        const std::string& prefix) {
    const std::vector<std::string> f = splitDescriptor(descriptorUtf8);
    if (f.size() < 4)
        return fail("the book descriptor has " + std::to_string(f.size()) +
                    " fields; at least 4 (title, author, index page, contents page) expected");
    return ReaderAddresses{"folioPage-" + f[0] + "-" + f[1], prefix + f[3], prefix + f[2]};
}

namespace {

// Names are asked for in UTF-8, which cannot hold a lone surrogate (it reads back as U+FFFD): a
// stored name holding one is keyed as its UTF-8 form reads back, so that every name the book
// lists is found again.
std::u16string asAskedFor(const std::u16string& name) {
    for (char16_t c : name)
        if (c >= 0xD800 && c <= 0xDFFF)
            return utf8ToUtf16(utf16ToUtf8(name));
    return name;
}

// Id names answer "#<id>", as the system's name parsing does.
std::u16string nameKey(const pe::ResourceId& id) {
    if (id.isString)
        return toUpperUtf16(asAskedFor(id.name));
    return utf8ToUtf16("#" + std::to_string(id.id));
}

} // namespace

Result<std::unique_ptr<BookImage>> BookImage::open(const std::string& path) {
    std::unique_ptr<BookImage> book(new BookImage);
    book->m_path = path;
    std::span<const std::uint8_t> bytes;
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(path + ": cannot open the book: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(path + ": not a regular file");
    }
    if (st.st_size > 0) {
        void* map =
            ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            book->m_map = static_cast<const std::uint8_t*>(map);
            book->m_size = static_cast<std::size_t>(st.st_size);
        }
    }
    ::close(fd);
    if (book->m_map)
        bytes = std::span<const std::uint8_t>(book->m_map, book->m_size);
#endif
    if (!book->m_map) {
        auto read = readFileBytes(path);
        FOLIO_TRY(read);
        book->m_owned = std::move(*read);
        bytes = book->m_owned;
    }
    auto image = pe::PeImage::parse(bytes, path);
    FOLIO_TRY(image);
    book->m_image = std::make_unique<pe::PeImage>(std::move(*image));

    const auto& resources = book->m_image->resources();
    book->m_index.reserve(resources.size());
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const pe::Resource& r = resources[i];
        Key k;
        k.typeId = r.type.isString ? 0 : r.type.id;
        if (r.type.isString)
            k.typeName = toUpperUtf16(asAskedFor(r.type.name));
        k.name = nameKey(r.name);
        k.index = i;
        book->m_index.push_back(std::move(k));
    }
    // Stable, so that of several languages under one name the first stored answers.
    std::stable_sort(book->m_index.begin(), book->m_index.end(), [](const Key& a, const Key& b) {
        return std::tie(a.typeId, a.typeName, a.name) < std::tie(b.typeId, b.typeName, b.name);
    });
    return book;
}

BookImage::~BookImage() {
#ifndef _WIN32
    if (m_map)
        ::munmap(const_cast<std::uint8_t*>(m_map), m_size);
#endif
}

void BookImage::readAhead() const {
#ifndef _WIN32
    if (m_map)
        (void)::madvise(const_cast<std::uint8_t*>(m_map), m_size, MADV_WILLNEED);
#endif
}

Result<std::string> BookImage::descriptor() const {
    auto data = find(pe::ResourceId::fromName(DescriptorType), "#101");
    if (!data)
        return fail(m_path + ": the book has no descriptor (resource CUSTOM/101)");
    return fromAnsi(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
}

std::optional<std::span<const std::uint8_t>> BookImage::find(std::string_view name) const {
    return find(pe::ResourceId::fromId(PageType), name);
}

std::optional<std::span<const std::uint8_t>> BookImage::find(const pe::ResourceId& type,
                                                             std::string_view name) const {
    Key probe;
    probe.typeId = type.isString ? 0 : type.id;
    if (type.isString)
        probe.typeName = toUpperUtf16(type.name);
    probe.name = toUpperUtf16(utf8ToUtf16(name));
    auto it =
        std::lower_bound(m_index.begin(), m_index.end(), probe, [](const Key& a, const Key& b) {
            return std::tie(a.typeId, a.typeName, a.name) < std::tie(b.typeId, b.typeName, b.name);
        });
    if (it == m_index.end() || it->typeId != probe.typeId || it->typeName != probe.typeName ||
        it->name != probe.name)
        return std::nullopt;
    return m_image->resourceData(m_image->resources()[it->index]);
}

std::vector<std::string> BookImage::pageNames() const {
    std::vector<std::string> names;
    for (const pe::Resource& r : m_image->resources())
        if (!r.type.isString && r.type.id == PageType)
            names.push_back(r.name.isString ? utf16ToUtf8(r.name.name)
                                            : "#" + std::to_string(r.name.id));
    return names;
}

} // namespace folio::book

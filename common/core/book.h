// The Book image contract shared by the maker and the readers: descriptor, page resources,
// reading a book back.
#pragma once

#include "core/error.h"
#include "core/fileio.h"
#include "core/pe.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folio::book {

inline constexpr std::uint16_t PageType = 2110;
inline constexpr std::uint16_t DescriptorId = 101;
inline constexpr std::uint16_t ResourceLanguage = 1033;
inline constexpr const char* DescriptorType = "CUSTOM";

// The nine descriptor fields, in descriptor order.
struct DescriptorFieldsIn {
    std::string title, author, indexPage, contentsPage, update, bookshelf, advert, webAddress, date;
};

// title ":" author ":" ... ":" date; fields verbatim, nothing trimmed or escaped.
std::string descriptorText(const DescriptorFieldsIn& f);

// Splits at every ":" (no limit, empty pieces kept).
std::vector<std::string> splitDescriptor(std::string_view text);

// Byte count of the text in CP936. A count above 32767 is an error (the descriptor length
// travels as a signed 16-bit count), never a wrapped number.
Result<std::int16_t> AnsiByteLength(std::string_view utf8);

// Adds the descriptor (CUSTOM/101/1033, CP936 bytes, no terminator) to the book file.
Result<void> writeDescriptor(const std::string& bookPath, const std::string& descriptor);

// The same with the system's own signature: 1 when written, 0 otherwise; `why` receives the
// reason on 0.
int WriteDescriptor(const std::string& bookPath, const std::string& descriptor,
                    std::string* why = nullptr);

// The resource name of a page: the file's own name without folder, upper-cased.
pe::ResourceId pageResourceName(std::string_view fileName);

// The resource type of a page entry: 2110 for a file of the project folder itself; for
// "folder/name", a file of one of its sub-folders, the folder's upper-cased name, which is the
// type that both systems' res: addresses "<book>.exe/folder/name" name.
pe::ResourceId pageResourceType(std::string_view entry);

// A folder name that a res: address would read as a type number ("23", "#23") rather than as
// a name, so its files could not be addressed as a sub-folder's.
bool isNumericTypeName(std::string_view folder);

// What the readers build from the descriptor.
struct ReaderAddresses {
    std::string caption;     // "folioPage-" + title + "-" + author
    std::string contentsUrl; // prefix + field 3
    std::string homeUrl;     // prefix + field 2
};

// "RES://" + folder + "/" (only when missing) + name without extension + ".exe/".
// `separator` is "/" on Linux and "\\" on Windows. With "/", the path is percent-encoded as a
// URL path (so "#", "?", "%", spaces and non-ASCII folder names survive the browser).
std::string resourcePrefix(const std::string& programFolder, const std::string& programFile,
                           char separator = '/');

// Percent-encodes every byte of `path` but letters, digits, "/" and the characters a URL path
// may hold as they are.
std::string percentEncodePath(std::string_view path);
// Caption and pane addresses; an error when the descriptor has fewer than four fields.
Result<ReaderAddresses> readerAddresses(std::string_view descriptorUtf8, const std::string& prefix);

// A Book image opened for reading: memory-mapped, resources indexed for binary search.
class BookImage {
  public:
    static Result<std::unique_ptr<BookImage>> open(const std::string& path);
    ~BookImage();
    BookImage(const BookImage&) = delete;
    BookImage& operator=(const BookImage&) = delete;

    const std::string& path() const { return m_path; }
    const pe::PeImage& image() const { return *m_image; }

    // The descriptor decoded from CP936; an error when the book has none.
    Result<std::string> descriptor() const;

    // A resource's bytes by type and name, names matched without regard to case.
    // Default type: the page type 2110.
    std::optional<std::span<const std::uint8_t>> find(std::string_view name) const;
    std::optional<std::span<const std::uint8_t>> find(const pe::ResourceId& type,
                                                      std::string_view name) const;

    // Names of all page resources (type 2110), as stored.
    std::vector<std::string> pageNames() const;

    // Asks the system to read the whole mapped file ahead, for a caller about to go through
    // every page (a fresh start may not have read the book yet: read at once, the disk runs
    // ahead instead of one fault at a time). Only advice: nothing changes where it is refused.
    void readAhead() const;

  private:
    BookImage() = default;
    std::string m_path;
    const std::uint8_t* m_map = nullptr;
    std::size_t m_size = 0;
    Bytes m_owned; // used where mapping is unavailable
    std::unique_ptr<pe::PeImage> m_image;
    struct Key {
        std::uint16_t typeId;
        std::u16string typeName; // upper-cased; empty when typeId is used
        std::u16string name;     // upper-cased
        std::size_t index;       // into image().resources()
    };
    std::vector<Key> m_index; // sorted for binary search
};

} // namespace folio::book

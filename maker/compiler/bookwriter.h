// Writing a Book image straight from the pages' files into its staged file, in one pass and in
// memory that does not grow with the size of the pages, and the record that lets the next build
// of the same book take the unchanged pages out of this one.
#pragma once

#include "core/error.h"
#include "core/fileio.h"
#include "core/observer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio::compiler {

// What a file is now: for a regular file the size and times that say whether it changed since
// a build; for anything else what it is (in describeNonRegular()'s words) and, when nothing is
// there, the system's reason.
struct FileFacts {
    std::string kind; // empty for a regular file
    std::string why;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
};
FileFacts fileFacts(const std::string& path);

// The clock file times are taken from, now. A file whose times are not older than the stamp
// of the build that read it may have changed after it was read.
std::int64_t buildStamp();

// A selected page: its entry (a name in the project folder) and its file as it was looked at.
struct BookPage {
    std::string_view entry; // into the caller's list of entries, which outlives the build
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
};

// The file a record describes; a book changed or replaced since is another file.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtimeNs = 0, ctimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
Result<FileIdentity> identityOf(const std::string& path);

// $XDG_CACHE_HOME/folio/builds, else ~/.cache/folio/builds; empty when neither is known.
// Records are the cache's: never beside the book, where the author would see them.
std::string defaultRecordFolder();
// The title of the book at `bookPath` when the record in `folder` still describes that file.
std::optional<std::string> recordedTitle(const std::string& folder, const std::string& bookPath);

struct BookWrite {
    std::string bookPath;
    std::string projectFolder; // with its final "/"
    std::string title;
    std::span<const std::uint8_t> templateBytes; // the reader template, its icon already set
    std::string templatePath;
    Bytes descriptor;            // in CP936
    std::vector<BookPage> pages; // the selected pages, in list order
    std::int64_t stamp = 0;      // buildStamp() from before the pages were looked at
    bool full = false;           // take nothing from the previous book
    std::string recordFolder;    // empty: read no record and keep none
};

struct WrittenBook {
    int pages = 0;
    int reused = 0; // pages taken unchanged from the previous book
    // Where each page's bytes went (in the book's order), for the record.
    struct Placed {
        std::size_t page = 0; // index into BookWrite::pages
        std::uint64_t offset = 0;
        std::uint64_t wordSum = 0;
    };
    std::vector<Placed> placed;
};

// Lays the book out from the template, the descriptor and the pages' sizes, then writes it into
// `stage` in one pass: the template's part and the resource tree from memory, each page from
// its file or, when the previous book's record says it is unchanged (same size, modification
// and status times, both older than that build) and this is no full build, from the previous
// book. The checksum is summed as the bytes go; the headers and the tree are read back from the
// staged file and every resource checked against the layout; the file is flushed to disk. The
// progress bar moves by the pages' bytes written; the caption names each page.
Result<WrittenBook> writeBook(const BookWrite& in, StagedFile& stage, Observer& observer);

// Keeps the record of the book `in` described, now lying at in.bookPath, in in.recordFolder
// (the oldest records beyond a hundred go). Nothing is kept when it cannot be written whole.
Result<void> keepRecord(const BookWrite& in, const WrittenBook& written);

} // namespace folio::compiler

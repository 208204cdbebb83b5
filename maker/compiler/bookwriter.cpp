// Streams a Book image from its layout into the staged file: the template and the tree from
// memory, the pages from their files or from the previous book, the checksum summed on the way.
#include "maker/compiler/bookwriter.h"

#include "core/book.h"
#include "core/bytereader.h"
#include "core/pe.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folio::compiler {

namespace {

namespace fs = std::filesystem;

std::string reason(int error) {
    return std::strerror(error);
}

std::int64_t nanoseconds(const timespec& t) {
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Pages are read into, and the book written from, one buffer of this size.
constexpr std::size_t BufferSize = 1 << 20;
// Writeback to the disk is started every so many bytes, so that the one flush before the
// rename finds little left to write while the pages are being read.
constexpr std::uint64_t WritebackStep = 32ull << 20;
// A page this large is read with the kernel told to read far ahead.
constexpr std::uint64_t LargePage = 1 << 20;

// The checksum's word sum of bytes that lie at `position` (an odd position pairs the first byte
// with the one before it, as the high half of its word).
std::uint64_t wordSumAt(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return 0;
    if (position % 2 == 0)
        return pe::wordSum(bytes);
    return (std::uint64_t(bytes[0]) << 8) + pe::wordSum(bytes.subspan(1));
}

// The staged book, written from front to back through one buffer. Every byte that passes
// through it is added to the checksum's sum; bytes copied by the kernel bring their sum along.
class StreamWriter {
  public:
    StreamWriter(int fd, const StagedFile& stage) : m_fd(fd), m_stage(stage), m_buf(BufferSize) {}

    std::uint64_t position() const { return m_written + m_fill; }
    std::uint64_t sum() const { return m_sum; }

    Result<void> put(std::span<const std::uint8_t> bytes) {
        m_sum += wordSumAt(position(), bytes);
        while (!bytes.empty()) {
            if (m_fill == m_buf.size())
                FOLIO_TRY(flush());
            const std::size_t n = std::min(bytes.size(), m_buf.size() - m_fill);
            std::memcpy(m_buf.data() + m_fill, bytes.data(), n);
            m_fill += n;
            bytes = bytes.subspan(n);
        }
        return {};
    }

    Result<void> zerosTo(std::uint64_t offset) {
        if (offset < position())
            return fail(m_stage.target() + ": the layout puts bytes at offset " + hex(offset) +
                        ", over what was written up to " + hex(position()));
        std::uint64_t left = offset - position();
        while (left > 0) {
            if (m_fill == m_buf.size())
                FOLIO_TRY(flush());
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, m_buf.size() - m_fill));
            std::memset(m_buf.data() + m_fill, 0, n);
            m_fill += n;
            left -= n;
        }
        return {};
    }

    // Appends exactly `size` bytes of the file at `path` and returns their word sum. A file
    // that is no longer `size` bytes long changed after it was looked at: an error, for a book
    // laid out for the old size. `progress` hears of every buffer's worth of a large page.
    Result<std::uint64_t> putFile(const std::string& path, std::uint64_t size,
                                  const std::function<void(std::uint64_t)>& progress) {
        const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return fail("cannot open " + path + ": " + reason(errno));
        if (size >= LargePage)
            ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
        const std::uint64_t start = position();
        std::uint64_t left = size, pageSum = 0;
        Result<std::uint64_t> result = 0;
        for (;;) {
            if (m_fill == m_buf.size()) {
                if (auto flushed = flush(); !flushed) {
                    result = std::unexpected(flushed.error());
                    break;
                }
                if (progress && left > 0)
                    progress(size - left);
            }
            // One byte more than is left: a read that brings it shows the file grew, and a
            // short read the end of the file, without another call.
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left + 1, m_buf.size() - m_fill));
            const ssize_t n = ::read(in, m_buf.data() + m_fill, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = fail("cannot read " + path + ": " + reason(errno));
                break;
            }
            if (std::uint64_t(n) > left) {
                result = fail(path + " grew while the book was compiled (it was " +
                              std::to_string(size) + " bytes); compile again");
                break;
            }
            const std::span<const std::uint8_t> got(m_buf.data() + m_fill, std::size_t(n));
            pageSum += wordSumAt(position() - start, got);
            m_fill += std::size_t(n);
            left -= std::uint64_t(n);
            if (n == 0 || (left == 0 && std::size_t(n) < want)) {
                if (left > 0)
                    result = fail(path + " shrank while the book was compiled (it was " +
                                  std::to_string(size) + " bytes); compile again");
                else
                    result = pageSum;
                break;
            }
        }
        ::close(in);
        if (result)
            m_sum += pageSum; // pages start at even offsets, so their sums add up
        return result;
    }

    // Appends `size` bytes of `from` at `offset` through the buffer, checked against `sum`,
    // their word sum when the previous book was written: a book changed since, under the same
    // size and times, would otherwise lend this one pages it does not hold. (Copied by the
    // kernel instead, the bytes took half as long again on a file system that cannot share
    // blocks between files, and here they could not share them anyway: a page moves by any
    // multiple of 8 bytes, not of a block.) `progress` hears of every buffer's worth.
    Result<void> copyRange(int from, const std::string& fromPath, std::uint64_t offset,
                           std::uint64_t size, std::uint64_t sum,
                           const std::function<void(std::uint64_t)>& progress) {
        const std::uint64_t start = position();
        std::uint64_t left = size, got = 0;
        while (left > 0) {
            if (m_fill == m_buf.size()) {
                FOLIO_TRY(flush());
                progress(size - left);
            }
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, m_buf.size() - m_fill));
            const ssize_t n = ::pread(from, m_buf.data() + m_fill, want,
                                      static_cast<off_t>(offset + (size - left)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail("cannot read " + fromPath + ": " +
                            (n == 0 ? std::string("it ends early") : reason(errno)));
            got += wordSumAt(position() - start,
                             std::span<const std::uint8_t>(m_buf.data() + m_fill, std::size_t(n)));
            m_fill += std::size_t(n);
            left -= std::uint64_t(n);
        }
        if (got != sum)
            return fail(fromPath + " changed since it was compiled, though its size and times " +
                        "did not: its pages at offset " + hex(offset) +
                        " are not those recorded; the next compile reads every page from its file");
        m_sum += sum;
        return {};
    }

    Result<void> flush() {
        std::size_t done = 0;
        while (done < m_fill) {
            const ssize_t n = ::write(m_fd, m_buf.data() + done, m_fill - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail("cannot write " + m_stage.target() + " (through " + m_stage.path() +
                            "): " + reason(n < 0 ? errno : ENOSPC));
            done += std::size_t(n);
        }
        m_written += m_fill;
        m_fill = 0;
        startWriteback();
        return {};
    }

  private:
    // Only advice: the flush before the rename waits for whatever is still unwritten.
    void startWriteback() {
        if (m_written - m_writeback >= WritebackStep) {
            ::sync_file_range(m_fd, static_cast<off64_t>(m_writeback),
                              static_cast<off64_t>(m_written - m_writeback), SYNC_FILE_RANGE_WRITE);
            m_writeback = m_written;
        }
    }

    int m_fd;
    const StagedFile& m_stage;
    std::vector<std::uint8_t> m_buf;
    std::size_t m_fill = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_writeback = 0;
    std::uint64_t m_sum = 0;
};

// ---- the record ----

constexpr const char* RecordMagic = "folio build record 1";

// Names in a record stand alone on their line: one holding a line break is never recorded.
bool recordable(std::string_view text) {
    return text.find_first_of("\r\n") == std::string::npos;
}

std::string recordPath(const std::string& folder, const std::string& bookPath) {
    std::uint64_t h = 1469598103934665603ull;
    for (const unsigned char c : bookPath)
        h = (h ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.txt", static_cast<unsigned long long>(h));
    return FixPath(folder) + name;
}

std::string identityText(const FileIdentity& id) {
    return std::to_string(id.device) + "\t" + std::to_string(id.inode) + "\t" +
           std::to_string(id.size) + "\t" + std::to_string(id.mtimeNs) + "\t" +
           std::to_string(id.ctimeNs);
}

// Tab-separated numbers, then (after `count` of them) the rest of the line as text.
bool splitNumbers(std::string_view line, std::size_t count, std::vector<long long>& numbers,
                  std::string& rest) {
    numbers.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        if (field.empty() || field.size() > 20)
            return false;
        char* end = nullptr;
        const std::string text(field);
        errno = 0;
        const long long v = std::strtoll(text.c_str(), &end, 10);
        if (errno != 0 || *end != '\0')
            return false;
        numbers.push_back(v);
        if (tab == std::string_view::npos) {
            line = {};
            if (i + 1 < count)
                return false;
        } else {
            line.remove_prefix(tab + 1);
        }
    }
    rest.assign(line);
    return true;
}

// One earlier build's record, read a line at a time: the pages come in the book's order.
class RecordReader {
  public:
    ~RecordReader() {
        if (m_file)
            std::fclose(m_file);
    }

    // False when there is no record that can be used for `bookPath`.
    bool open(const std::string& folder, const std::string& bookPath) {
        m_file = std::fopen(recordPath(folder, bookPath).c_str(), "rb");
        if (!m_file)
            return false;
        std::string line, rest;
        std::vector<long long> n;
        auto field = [&](const char* key, std::string& value) {
            const std::string prefix = std::string(key) + "\t";
            if (!readLine(line) || !line.starts_with(prefix))
                return false;
            value = line.substr(prefix.size());
            return true;
        };
        std::string identity, stamp;
        if (!readLine(line) || line != RecordMagic || !field("book", book) || book != bookPath ||
            !field("identity", identity) || !field("stamp", stamp) ||
            !field("project", projectFolder) || !field("title", title))
            return false;
        if (!splitNumbers(identity, 5, n, rest) || !rest.empty())
            return false;
        this->identity = {std::uint64_t(n[0]), std::uint64_t(n[1]), std::uint64_t(n[2]), n[3],
                          n[4]};
        if (!splitNumbers(stamp, 1, n, rest) || !rest.empty())
            return false;
        this->stamp = n[0];
        return true;
    }

    struct Page {
        std::string entry;
        std::uint64_t size = 0, offset = 0, wordSum = 0;
        std::int64_t mtimeNs = 0, ctimeNs = 0;
    };
    // The next page; false at the end of the pages (or at anything unreadable).
    bool next(Page& page) {
        std::string line;
        std::vector<long long> n;
        if (!readLine(line) || !line.starts_with("page\t") ||
            !splitNumbers(std::string_view(line).substr(5), 5, n, page.entry))
            return false;
        page.size = std::uint64_t(n[0]);
        page.mtimeNs = n[1];
        page.ctimeNs = n[2];
        page.offset = std::uint64_t(n[3]);
        page.wordSum = std::uint64_t(n[4]);
        return true;
    }

    std::string book, projectFolder, title;
    FileIdentity identity;
    std::int64_t stamp = 0;

  private:
    bool readLine(std::string& line) {
        line.clear();
        for (int c; (c = std::fgetc(m_file)) != EOF;) {
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            line += static_cast<char>(c);
        }
        return false; // a record ends in a line break: a cut one is no record
    }

    std::FILE* m_file = nullptr;
};

// Pages of the previous book that can be taken as they are, each with its place there.
struct Reuse {
    bool taken = false;
    std::uint64_t offset = 0;
    std::uint64_t wordSum = 0;
};

} // namespace

FileFacts fileFacts(const std::string& path) {
    FileFacts f;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        f.size = static_cast<std::uint64_t>(st.st_size);
        f.mtimeNs = nanoseconds(st.st_mtim);
        f.ctimeNs = nanoseconds(st.st_ctim);
        return f;
    }
    f.why = reason(errno);
    f.kind = describeNonRegular(path);
    if (f.kind.empty())
        f.kind = "no such file"; // gone between the two looks
    return f;
}

std::int64_t buildStamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return nanoseconds(now);
}

Result<FileIdentity> identityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fail("cannot look at " + path + ": " + reason(errno));
    return FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino),
                        std::uint64_t(st.st_size), nanoseconds(st.st_mtim),
                        nanoseconds(st.st_ctim)};
}

std::string defaultRecordFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return FixPath(cache) + "folio/builds";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return FixPath(home) + ".cache/folio/builds";
    return {};
}

std::optional<std::string> recordedTitle(const std::string& folder, const std::string& bookPath) {
    RecordReader record;
    if (folder.empty() || !record.open(folder, bookPath))
        return std::nullopt;
    const auto now = identityOf(bookPath);
    if (!now || !(*now == record.identity))
        return std::nullopt;
    return record.title;
}

Result<WrittenBook> writeBook(const BookWrite& in, StagedFile& stage, Observer& observer) {
    // The resources: the template's own (of two under one key the first, which readers find),
    // the descriptor, then the pages. `sources` says where each one's bytes come from.
    auto image = pe::PeImage::parse(in.templateBytes, in.templatePath);
    FOLIO_TRY(image);
    std::vector<pe::ResourceSize> resources;
    std::vector<std::span<const std::uint8_t>> held; // bytes in memory, by resource
    resources.reserve(image->resources().size() + 1 + in.pages.size());
    for (const pe::Resource& r : image->resources()) {
        const bool seen = std::any_of(resources.begin(), resources.end(), [&](const auto& k) {
            return k.type == r.type && k.name == r.name && k.language == r.language;
        });
        if (seen)
            continue;
        // Kept resources are rewritten like new ones (code page 0), as the system's own
        // resource writer does.
        resources.push_back({r.type, r.name, r.language, 0, r.size});
        held.push_back(image->resourceData(r));
    }
    resources.push_back({pe::ResourceId::fromName(book::DescriptorType),
                         pe::ResourceId::fromId(book::DescriptorId), book::ResourceLanguage, 0,
                         in.descriptor.size()});
    held.push_back(in.descriptor);
    const std::size_t firstPage = resources.size();
    std::uint64_t pageBytes = 0;
    for (const BookPage& p : in.pages) {
        resources.push_back({book::pageResourceType(p.entry), book::pageResourceName(p.entry),
                             book::ResourceLanguage, 0, p.size});
        pageBytes += p.size;
    }
    auto layout = pe::RebuildLayout::plan(in.templateBytes, in.bookPath, std::move(resources));
    FOLIO_TRY(layout);
    const auto& placed = layout->placed();

    // What the previous book's record lets this build take from it.
    int oldBook = -1;
    RecordReader record;
    if (!in.full && !in.recordFolder.empty() && record.open(in.recordFolder, in.bookPath) &&
        record.projectFolder == in.projectFolder) {
        oldBook = ::open(in.bookPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (oldBook >= 0 && (::fstat(oldBook, &st) != 0 ||
                             !(FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino),
                                            std::uint64_t(st.st_size), nanoseconds(st.st_mtim),
                                            nanoseconds(st.st_ctim)} == record.identity))) {
            ::close(oldBook);
            oldBook = -1;
        }
    }
    struct CloseOld {
        int& fd;
        ~CloseOld() {
            if (fd >= 0)
                ::close(fd);
        }
    } closeOld{oldBook};
    // Kept for a rebuild only: a full build spends no memory on it.
    std::vector<Reuse> reuse(oldBook >= 0 ? placed.size() : 0);
    auto taken = [&](std::size_t k) { return !reuse.empty() && reuse[k].taken; };
    if (oldBook >= 0) {
        ::posix_fadvise(oldBook, 0, 0, POSIX_FADV_SEQUENTIAL);
        // Both lists are in the book's order: one walk pairs them.
        // Pages are ordered by type, then name (a sub-folder's files are a type of their own).
        auto less = [](const pe::ResourceId& aType, const pe::ResourceId& aName,
                       const pe::ResourceId& bType, const pe::ResourceId& bName) {
            return pe::resourceIdLess(aType, bType) ||
                   (aType == bType && pe::resourceIdLess(aName, bName));
        };
        RecordReader::Page old;
        bool more = record.next(old);
        pe::ResourceId oldType, oldName;
        auto keyOfOld = [&] {
            oldType = book::pageResourceType(old.entry);
            oldName = book::pageResourceName(old.entry);
        };
        if (more)
            keyOfOld();
        for (std::size_t k = 0; k < placed.size() && more; ++k) {
            if (placed[k].source < firstPage)
                continue;
            const BookPage& page = in.pages[placed[k].source - firstPage];
            const pe::ResourceId& type = layout->resource(placed[k]).type;
            const pe::ResourceId& name = layout->resource(placed[k]).name;
            while (more && less(oldType, oldName, type, name)) {
                more = record.next(old);
                if (more)
                    keyOfOld();
            }
            if (!more || !(oldType == type) || !(oldName == name))
                continue;
            const bool unchanged = old.entry == page.entry && old.size == page.size &&
                                   old.mtimeNs == page.mtimeNs && old.ctimeNs == page.ctimeNs &&
                                   old.mtimeNs < record.stamp && old.ctimeNs < record.stamp &&
                                   old.offset <= record.identity.size &&
                                   old.size <= record.identity.size - old.offset;
            if (unchanged)
                reuse[k] = {true, old.offset, old.wordSum};
        }
    }

    // The bar counts the pages' bytes; past what an int holds it counts larger units.
    const std::uint64_t unit =
        pageBytes > std::uint64_t(INT_MAX) ? pageBytes / std::uint64_t(INT_MAX) + 1 : 1;
    auto scaled = [&](std::uint64_t bytes) { return static_cast<int>(bytes / unit); };
    observer.setProgressMaximum(scaled(pageBytes));

    const int fd = ::fileno(stage.stream());
    StreamWriter out(fd, stage);
    FOLIO_TRY(out.put(layout->front()));
    WrittenBook written;
    written.placed.reserve(in.pages.size());
    std::uint64_t done = 0;
    for (std::size_t k = 0; k < placed.size();) {
        const auto& p = placed[k];
        FOLIO_TRY(out.zerosTo(p.offset));
        if (p.offset + p.size > layout->contentEnd())
            return fail(in.bookPath + ": the layout puts " + std::to_string(p.size) +
                        " bytes at offset " + hex(p.offset) +
                        ", past the end of the resource section at " + hex(layout->contentEnd()));
        if (p.source < firstPage) {
            FOLIO_TRY(out.put(held[p.source]));
            ++k;
            continue;
        }
        // A run of unchanged pages that lie in the previous book as they will in this one is
        // one copy.
        std::size_t end = k + 1;
        std::uint64_t fileSum = 0;
        if (taken(k)) {
            std::uint64_t sum = reuse[k].wordSum;
            while (end < placed.size() && reuse[end].taken &&
                   reuse[end].offset - reuse[end - 1].offset ==
                       placed[end].offset - placed[end - 1].offset) {
                sum += reuse[end].wordSum;
                ++end;
            }
            const std::uint64_t length = placed[end - 1].offset + placed[end - 1].size - p.offset;
            auto copied = out.copyRange(oldBook, in.bookPath, reuse[k].offset, length, sum,
                                        [&](std::uint64_t got) {
                                            observer.setProgressValue(scaled(done + got));
                                            observer.processEvents();
                                        });
            if (!copied) {
                // The record no longer tells what the book holds: the next build takes nothing
                // from it.
                std::remove(recordPath(in.recordFolder, in.bookPath).c_str());
                return std::unexpected(copied.error());
            }
        } else {
            const BookPage& page = in.pages[p.source - firstPage];
            auto sum = out.putFile(std::string(in.projectFolder).append(page.entry), p.size,
                                   [&](std::uint64_t got) {
                                       observer.setProgressValue(scaled(done + got));
                                       observer.processEvents();
                                   });
            FOLIO_TRY(sum);
            fileSum = *sum;
        }
        for (; k < end; ++k) {
            const std::size_t pageIndex = placed[k].source - firstPage;
            written.placed.push_back(
                {pageIndex, placed[k].offset, taken(k) ? reuse[k].wordSum : fileSum});
            written.reused += taken(k) ? 1 : 0;
            ++written.pages;
            done += placed[k].size;
            observer.setCaption("folioMake-" + std::string(in.pages[pageIndex].entry));
            observer.setProgressValue(scaled(done));
            observer.processEvents();
        }
    }
    FOLIO_TRY(out.zerosTo(layout->sectionEnd()));
    FOLIO_TRY(out.put(layout->overlay()));
    FOLIO_TRY(out.flush());
    if (out.position() != layout->fileSize())
        return fail(in.bookPath + ": the book was laid out for " +
                    std::to_string(layout->fileSize()) + " bytes but " +
                    std::to_string(out.position()) + " were written");

    // The checksum last, then the headers and the tree read back as a reader reads them.
    const std::uint32_t checksum = pe::finishChecksum(out.sum(), layout->fileSize());
    std::uint8_t sumBytes[4];
    std::memcpy(sumBytes, &checksum, sizeof sumBytes);
    if (::pwrite(fd, sumBytes, sizeof sumBytes, layout->checksumOffset()) != sizeof sumBytes)
        return fail("cannot write " + in.bookPath + " (through " + stage.path() +
                    "): " + reason(errno));
    const int reread = ::open(stage.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (reread < 0)
        return fail("cannot read back " + stage.path() + ": " + reason(errno));
    auto verified = layout->verify(
        [&](std::uint64_t offset, std::span<std::uint8_t> into) -> Result<void> {
            for (std::size_t got = 0; got < into.size();) {
                const ssize_t n = ::pread(reread, into.data() + got, into.size() - got,
                                          static_cast<off_t>(offset + got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return fail("cannot read back " + stage.path() + ": " +
                                (n == 0 ? std::string("it ends early") : reason(errno)));
                got += std::size_t(n);
            }
            return {};
        },
        checksum);
    ::close(reread);
    FOLIO_TRY(verified);
    FOLIO_TRY(stage.close());
    return written;
}

Result<void> keepRecord(const BookWrite& in, const WrittenBook& written) {
    if (in.recordFolder.empty())
        return {};
    if (!recordable(in.bookPath) || !recordable(in.projectFolder) || !recordable(in.title))
        return fail(in.bookPath + ": a name holds a line break; no record is kept");
    auto identity = identityOf(in.bookPath);
    FOLIO_TRY(identity);
    std::error_code ec;
    fs::create_directories(in.recordFolder, ec);
    if (ec)
        return fail("cannot create " + in.recordFolder + ": " + ec.message());
    const std::string path = recordPath(in.recordFolder, in.bookPath);
    auto stage = StagedFile::create(path);
    FOLIO_TRY(stage);
    std::string text = std::string(RecordMagic) + "\r\nbook\t" + in.bookPath + "\r\nidentity\t" +
                       identityText(*identity) + "\r\nstamp\t" + std::to_string(in.stamp) +
                       "\r\nproject\t" + in.projectFolder + "\r\ntitle\t" + in.title + "\r\n";
    for (const auto& p : written.placed) {
        const BookPage& page = in.pages[p.page];
        if (recordable(page.entry))
            text += "page\t" + std::to_string(page.size) + "\t" + std::to_string(page.mtimeNs) +
                    "\t" + std::to_string(page.ctimeNs) + "\t" + std::to_string(p.offset) + "\t" +
                    std::to_string(p.wordSum) + "\t" + std::string(page.entry) + "\r\n";
        if (text.size() >= BufferSize) {
            FOLIO_TRY(stage->write(
                std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
            text.clear();
        }
    }
    FOLIO_TRY(
        stage->write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    // A cache: a record lost to a power cut only makes the next build a full one, so it is
    // not flushed to disk.
    FOLIO_TRY(stage->close(StagedFile::Flush::Deferred));
    FOLIO_TRY(stage->commit());

    // Books come and go (tests make hundreds): the oldest records beyond a hundred go.
    std::vector<std::pair<fs::file_time_type, fs::path>> records;
    for (const auto& e : fs::directory_iterator(in.recordFolder, ec)) {
        std::error_code timeEc;
        if (e.path().extension() == ".txt")
            records.emplace_back(e.last_write_time(timeEc), e.path());
    }
    if (records.size() > 100) {
        std::sort(records.begin(), records.end());
        for (std::size_t i = 0; i + 100 < records.size(); ++i)
            fs::remove(records[i].second, ec);
    }
    return {};
}

} // namespace folio::compiler

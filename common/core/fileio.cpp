// Whole-file reads and crash-safe whole-file writes over the standard library.
#include "core/fileio.h"

#include "core/text.h"
#include "core/threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#ifdef _WIN32
// The system's own calls instead of <filesystem>: with mingw, the standard library's file
// system support links over a megabyte of locale code into the reader template, which every
// book carries.
#include "core/text.h"
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace folio {

#ifndef _WIN32
namespace fs = std::filesystem;
#endif

namespace {

#ifdef _WIN32
// A UTF-8 path as the wide-character calls take it.
std::wstring widePath(const std::string& path) {
    const std::u16string units = utf8ToUtf16(path);
    return std::wstring(units.begin(), units.end());
}

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesW(widePath(path).c_str());
}
#endif

// Paths are UTF-8. Windows' C library reads a narrow path in the ANSI code page, so a folder
// named in Chinese (a book in 我的文档) would not be found: there the path goes as UTF-16.
std::FILE* openFile(const std::string& path, bool forWriting) {
#ifdef _WIN32
    const std::u16string units = utf8ToUtf16(path);
    const std::wstring wide(units.begin(), units.end());
    return _wfopen(wide.c_str(), forWriting ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), forWriting ? "wb" : "rb");
#endif
}

std::string reason() {
    return std::strerror(errno);
}

bool syncToDisk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return ::fsync(::fileno(f)) == 0;
#endif
}

// Longest file name most file systems take (NAME_MAX, in bytes).
constexpr std::size_t NameMax = 255;
constexpr const char* StageMark = ".folio-tmp.";

unsigned long currentPid() {
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

// True unless the process is known to be gone: a stage of a running process is never taken
// away from it.
bool processAlive(unsigned long pid) {
#ifdef _WIN32
    (void)pid;
    return true;
#else
    if (pid == 0 || pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max()))
        return true;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

// The part of a stage's name that stands for its target: the target's own name when the whole
// stage name fits in NAME_MAX, otherwise a hash of it.
std::string stageStem(const std::string& name) {
    constexpr std::size_t longestSuffix = 11 + 20 + 1 + 10; // mark, pid, ".", counter
    if (name.size() + longestSuffix <= NameMax)
        return name;
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name)
        h = (h ^ c) * 1099511628211ull;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

std::string folderOf(const std::string& path);

// The process that made a stage, from its name "<stem>.folio-tmp.<pid>.<n>"; nullopt for any
// other name.
std::optional<unsigned long> stageOwner(const std::string& name) {
    const auto mark = name.rfind(StageMark);
    if (mark == std::string::npos)
        return std::nullopt;
    const std::string tail = name.substr(mark + std::strlen(StageMark));
    const auto dot = tail.find('.');
    auto digits = [](std::string_view v) {
        return !v.empty() && v.size() <= 10 &&
               std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dot == std::string::npos || !digits(std::string_view(tail).substr(0, dot)) ||
        !digits(std::string_view(tail).substr(dot + 1)))
        return std::nullopt;
    return std::stoul(tail.substr(0, dot));
}

// Leftovers are looked for once per folder and process: a folder taking thousands of files
// is not listed once per file.
void removeStaleStagesOnce(const std::string& target) {
    static Mutex busy;
    static std::set<std::string> done;
    bool first = false;
    {
        std::lock_guard lock(busy);
        first = done.insert(folderOf(target)).second;
    }
    if (!first)
        return;
    removeStaleStages(target);
}

std::string folderOf(const std::string& path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? std::string(".") : path.substr(0, pos + 1);
}

std::string joinFolder(const std::string& folder, const std::string& name) {
    return folder == "." ? name : folder + name;
}

} // namespace

std::string stagedNameFor(const std::string& target, unsigned long pid, unsigned n) {
    return joinFolder(folderOf(target), stageStem(fileName(target)) + StageMark +
                                            std::to_string(pid) + "." + std::to_string(n));
}

int removeStaleStages(const std::string& target) {
    int removed = 0;
#ifdef _WIN32
    const std::string folder = folderOf(target);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePath(joinFolder(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return removed;
    do {
        const std::wstring wideName = found.cFileName;
        const std::string name = utf16ToUtf8(std::u16string(wideName.begin(), wideName.end()));
        const auto pid = stageOwner(name);
        if (!pid || *pid == currentPid() || processAlive(*pid))
            continue;
        if (DeleteFileW(widePath(joinFolder(folder, name)).c_str()))
            ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::u8path(folderOf(target)), ec)) {
        const auto pid = stageOwner(e.path().filename().string());
        if (!pid || *pid == currentPid() || processAlive(*pid))
            continue;
        std::error_code rmEc;
        if (fs::remove(e.path(), rmEc))
            ++removed;
    }
#endif
    return removed;
}

std::string describeNonRegular(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "no such file";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "a folder";
    return {};
#else
    std::error_code ec;
    const auto st = fs::status(fs::u8path(path), ec);
    switch (st.type()) {
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return "a folder";
    case fs::file_type::fifo:
        return "a FIFO";
    case fs::file_type::character:
        return "a character device";
    case fs::file_type::block:
        return "a block device";
    case fs::file_type::socket:
        return "a socket";
    default:
        break;
    }
    std::error_code linkEc;
    if (fs::is_symlink(fs::symlink_status(fs::u8path(path), linkEc)))
        return "a dangling symbolic link";
    if (st.type() == fs::file_type::not_found)
        return "no such file";
    return "not a regular file";
#endif
}

// ---- StagedFile ----

Result<StagedFile> StagedFile::create(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    removeStaleStagesOnce(target);
    StagedFile s;
    s.m_target = target;
    s.m_path = stagedNameFor(target, currentPid(), counter++);
    s.m_file = openFile(s.m_path, true);
    if (!s.m_file) {
        return fail("cannot create " + s.m_path + " (to write " + target + "): " + reason());
    }
    return s;
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_path(std::move(other.m_path)),
      m_file(std::exchange(other.m_file, nullptr)), m_done(std::exchange(other.m_done, true)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_path = std::move(other.m_path);
        m_file = std::exchange(other.m_file, nullptr);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

StagedFile::~StagedFile() {
    discard();
}

Result<void> StagedFile::write(std::span<const std::uint8_t> data) {
    if (!m_file) {
        return fail("cannot write " + m_path + ": the file is closed");
    }
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), m_file) != data.size()) {
        return fail("cannot write " + m_target + " (through " + m_path + "): " + reason());
    }
    return {};
}

Result<void> StagedFile::close(Flush flush) {
    if (!m_file) {
        return {};
    }
    // The data must be on disk before the rename makes it visible: otherwise a power loss can
    // leave the new name pointing at an empty file, and the old contents gone too.
    bool ok = std::fflush(m_file) == 0 && (flush == Flush::Deferred || syncToDisk(m_file));
    std::string why = ok ? std::string() : reason();
    ok = (std::fclose(m_file) == 0) && ok;
    m_file = nullptr;
    if (!ok) {
        return fail("cannot write " + m_target + " (through " + m_path +
                    "): " + (why.empty() ? reason() : why));
    }
    return {};
}

void StagedFile::copyPermissionsFrom(const std::string& from) {
#ifdef _WIN32
    (void)from; // Windows files have no permission bits to carry over
#else
    std::error_code ec;
    const auto st = fs::status(fs::u8path(from), ec);
    if (!ec && fs::exists(st)) {
        fs::permissions(fs::u8path(m_path), st.permissions(), ec);
    }
#endif
}

Result<void> StagedFile::commit() {
    if (m_done) {
        return fail("cannot replace " + m_target + ": the temporary file is gone");
    }
    if (auto closed = close(); !closed) {
        discard();
        return closed;
    }
#ifdef _WIN32
    if (!MoveFileExW(widePath(m_path).c_str(), widePath(m_target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        discard();
        return fail("cannot replace " + m_target + ": Windows error " + std::to_string(error));
    }
#else
    std::error_code ec;
    fs::rename(fs::u8path(m_path), fs::u8path(m_target), ec);
    if (ec) {
        discard();
        return fail("cannot replace " + m_target + ": " + ec.message());
    }
#endif
    m_done = true;
    return {};
}

void StagedFile::discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_done && !m_path.empty()) {
#ifdef _WIN32
        DeleteFileW(widePath(m_path).c_str());
#else
        std::remove(m_path.c_str());
#endif
    }
    m_done = true;
}

Result<Bytes> readFileBytes(const std::string& path) {
    if (const std::string what = describeNonRegular(path);
        !what.empty() && what != "no such file" && what != "a dangling symbolic link") {
        return fail("cannot read " + path + ": it is " + what);
    }
    std::FILE* f = openFile(path, false);
    if (!f) {
        return fail("cannot open " + path + ": " + reason());
    }
    Bytes out;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        if (size > 0) {
            out.reserve(static_cast<std::size_t>(size));
        }
        std::fseek(f, 0, SEEK_SET);
    }
    std::uint8_t buf[1 << 16];
    for (;;) {
        std::size_t n = std::fread(buf, 1, sizeof buf, f);
        out.insert(out.end(), buf, buf + n);
        if (n < sizeof buf) {
            break;
        }
    }
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) {
        return fail("cannot read " + path + ": " + reason());
    }
    return out;
}

Result<void> writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data) {
    auto stage = StagedFile::create(path);
    FOLIO_TRY(stage);
    FOLIO_TRY(stage->write(data));
    FOLIO_TRY(stage->close());
    // The replacement keeps the permissions of the file it replaces (a book stays executable).
    stage->copyPermissionsFrom(path);
    return stage->commit();
}

Result<void> writeFileAtomic(const std::string& path, const std::string& data) {
    return writeFileAtomic(
        path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()),
                                            data.size()));
}

Result<void> WriteBatch::add(const std::string& path, std::span<const std::uint8_t> data) {
    auto stage = StagedFile::create(path);
    FOLIO_TRY(stage);
    FOLIO_TRY(stage->write(data));
#ifdef _WIN32
    // No whole-file-system flush here: each file is flushed on its own.
    const auto flush = StagedFile::Flush::Now;
#else
    const auto flush = StagedFile::Flush::Deferred;
#endif
    FOLIO_TRY(stage->close(flush));
    stage->copyPermissionsFrom(path);
    m_stages.push_back(std::move(*stage));
    return {};
}

Result<void> WriteBatch::add(const std::string& path, const std::string& data) {
    return add(path, std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

Result<void> WriteBatch::commit() {
#ifndef _WIN32
    // One flush per file system the batch wrote to, before any rename makes a file visible.
    std::set<std::string> folders;
    for (const StagedFile& s : m_stages)
        folders.insert(parentFolder(s.path()));
    std::set<dev_t> flushed;
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return fail("cannot flush " + folder + ": " + reason());
        struct stat st {};
        const bool seen = ::fstat(fd, &st) == 0 && !flushed.insert(st.st_dev).second;
        const bool ok = seen || ::syncfs(fd) == 0;
        const std::string why = ok ? std::string() : reason();
        ::close(fd);
        if (!ok)
            return fail("cannot flush the files written into " + folder + ": " + why);
    }
#endif
    for (StagedFile& s : m_stages) {
        FOLIO_TRY(s.commit());
    }
    m_stages.clear();
    return {};
}

Result<void> copyFileAtomic(const std::string& from, const std::string& to) {
    auto bytes = readFileBytes(from);
    FOLIO_TRY(bytes);
    auto written = writeFileAtomic(to, *bytes);
    if (!written) {
        return written;
    }
#ifndef _WIN32
    // A copy carries the source's permissions, as cp does.
    std::error_code ec;
    const auto st = fs::status(fs::u8path(from), ec);
    if (!ec) {
        fs::permissions(fs::u8path(to), st.permissions(), ec);
    }
#endif
    return {};
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool fileExists(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    std::error_code ec;
    return fs::is_regular_file(fs::u8path(path), ec);
#endif
}

bool dirExists(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    std::error_code ec;
    return fs::is_directory(fs::u8path(path), ec);
#endif
}

Result<void> makeFolders(const std::string& path) {
#ifdef _WIN32
    // Each missing folder from the top down; a drive or a share root is there already.
    for (std::size_t at = path.find_first_of("/\\"); !dirExists(path);
         at = path.find_first_of("/\\", at + 1)) {
        const std::string part = at == std::string::npos ? path : path.substr(0, at);
        if (!part.empty() && !dirExists(part) &&
            !CreateDirectoryW(widePath(part).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return fail("cannot create the folder " + part);
        if (at == std::string::npos)
            break;
    }
    return {};
#else
    std::error_code ec;
    fs::create_directories(fs::u8path(path), ec);
    if (ec)
        return fail("cannot create the folder " + path + ": " + ec.message());
    return {};
#endif
}

std::string FixPath(const std::string& path) {
    if (path.empty() || path.back() == '/') {
        return path;
    }
    return path + "/";
}

std::string parentFolder(const std::string& path) {
    auto pos = path.find_last_of("/\\");
    if (pos == std::string::npos) {
        return ".";
    }
    if (pos == 0) {
        return "/";
    }
    return path.substr(0, pos);
}

std::string fileName(const std::string& path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string baseNameWithoutExtension(const std::string& path) {
    std::string name = fileName(path);
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name;
    }
    return name.substr(0, dot);
}

} // namespace folio

// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include "core/error.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace folio {

using Bytes = std::vector<std::uint8_t>;

// Reads the whole file. The error names the file and the system's reason.
// Anything but a regular file is refused (a FIFO would block the reader).
Result<Bytes> readFileBytes(const std::string& path);

// A file built under a temporary name beside its target and renamed over the target once it is
// complete, so the target is always either the old file or the whole new one. The temporary
// name is "<target name>.folio-tmp.<pid>.<n>" (the target name replaced by a hash when that
// would exceed the folder's name limit); the first one created in a folder removes what runs
// that died left there. A stage that is never committed is removed when it goes away.
class StagedFile {
  public:
    static Result<StagedFile> create(const std::string& target);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    const std::string& path() const { return m_path; }
    const std::string& target() const { return m_target; }

    // Appends to the temporary file (open until close() or commit()).
    Result<void> write(std::span<const std::uint8_t> data);
    std::FILE* stream() const { return m_file; }
    // Flushes the data to disk and closes the file; the temporary file may then be rewritten
    // by name (by routines that work on a path) before commit(). A WriteBatch closes without
    // the flush and flushes the whole file system once before its renames.
    enum class Flush { Now, Deferred };
    Result<void> close(Flush flush = Flush::Now);
    // Gives the temporary file the permissions of `from` (no-op when `from` is missing).
    void copyPermissionsFrom(const std::string& from);
    // Closes, then renames the temporary file over the target.
    Result<void> commit();
    // Removes the temporary file now.
    void discard();

  private:
    StagedFile() = default;
    std::string m_target;
    std::string m_path;
    std::FILE* m_file = nullptr;
    bool m_done = false;
};

// The temporary name StagedFile uses for `target` in this process (counter `n`).
std::string stagedNameFor(const std::string& target, unsigned long pid, unsigned n);

// Removes the temporary files that processes now gone left in `target`'s folder; returns how
// many were removed. StagedFile::create does this once per folder and process; a routine that
// a long-running program repeats on one target (a compilation) calls it itself.
int removeStaleStages(const std::string& target);

// What lies at `path` when it is not a regular file: "a folder", "a FIFO", "a character
// device", "a block device", "a socket", "a dangling symbolic link", "no such file"; empty for
// a regular file (or a link to one).
std::string describeNonRegular(const std::string& path);

// Writes to a temporary file beside `path`, flushes it, then renames it over `path`,
// so a crash never leaves a half-written file.
Result<void> writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data);
Result<void> writeFileAtomic(const std::string& path, const std::string& data);

// Many whole files written as one step: each goes to its own temporary file at once, and
// commit() flushes them to disk together (one flush per file system instead of one per file),
// then renames each over its target. Until commit() no target changes; a batch that is never
// committed removes its temporary files. Targets keep the permissions of the files they
// replace.
class WriteBatch {
  public:
    Result<void> add(const std::string& path, std::span<const std::uint8_t> data);
    Result<void> add(const std::string& path, const std::string& data);
    // Renames every file; stops at the first rename that fails (the ones before it stay).
    Result<void> commit();
    std::size_t size() const { return m_stages.size(); }

  private:
    std::vector<StagedFile> m_stages;
};

// Copies `from` over `to` (atomically, as above).
Result<void> copyFileAtomic(const std::string& from, const std::string& to);

// True for a name that can only mean a file directly in the folder it is joined to: not empty,
// not "." or "..", and without "/", "\\" or a NUL.
bool isPlainFileName(std::string_view name);

bool fileExists(const std::string& path);
bool dirExists(const std::string& path);

// Creates the folder and every missing folder above it; an error naming the one that could not
// be made.
Result<void> makeFolders(const std::string& path);

// Appends "/" to a folder path that lacks one (empty stays empty).
std::string FixPath(const std::string& path);

// The folder part of a path (without the final "/"), and the name without extension.
std::string parentFolder(const std::string& path);
std::string fileName(const std::string& path);
std::string baseNameWithoutExtension(const std::string& path);

} // namespace folio

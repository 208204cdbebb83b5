// Whole-file reads and crash-safe whole-file writes over the standard library.
#include "fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace folio {

namespace fs = std::filesystem;

namespace {

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

std::string tempNameBeside(const std::string& path) {
    static std::mt19937_64 rng{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
    return path + suffix;
}

} // namespace

Result<Bytes> readFileBytes(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(fs::u8path(path), ec)) {
        return fail("cannot read " + path + ": it is a folder");
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
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
    const std::string tmp = tempNameBeside(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        return fail("cannot create " + tmp + " (to write " + path + "): " + reason());
    }
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    // The data must be on disk before the rename makes it visible: otherwise a power loss can
    // leave the new name pointing at an empty file, and the old contents gone too.
    ok = (std::fflush(f) == 0) && ok;
    ok = ok && syncToDisk(f);
    std::string why = ok ? std::string() : reason();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::remove(tmp.c_str());
        return fail("cannot write " + path + ": " + (why.empty() ? reason() : why));
    }
    std::error_code ec;
    // The replacement keeps the permissions of the file it replaces (a book stays executable).
    const auto oldStatus = fs::status(fs::u8path(path), ec);
    if (!ec && fs::exists(oldStatus)) {
        fs::permissions(fs::u8path(tmp), oldStatus.permissions(), ec);
    }
    ec.clear();
    fs::rename(fs::u8path(tmp), fs::u8path(path), ec);
    if (ec) {
        std::remove(tmp.c_str());
        return fail("cannot replace " + path + ": " + ec.message());
    }
    return {};
}

Result<void> writeFileAtomic(const std::string& path, const std::string& data) {
    return writeFileAtomic(
        path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()),
                                            data.size()));
}

Result<void> copyFileAtomic(const std::string& from, const std::string& to) {
    auto bytes = readFileBytes(from);
    if (!bytes) {
        return std::unexpected(bytes.error());
    }
    auto written = writeFileAtomic(to, *bytes);
    if (!written) {
        return written;
    }
    // A copy carries the source's permissions, as cp does.
    std::error_code ec;
    const auto st = fs::status(fs::u8path(from), ec);
    if (!ec) {
        fs::permissions(fs::u8path(to), st.permissions(), ec);
    }
    return {};
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::u8path(path), ec);
}

bool dirExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::u8path(path), ec);
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

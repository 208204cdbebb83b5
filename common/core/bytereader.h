// Bounds-checked copying of binary structures out of, and into, a file held in memory.
#pragma once

#include "core/error.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace folio {

// "0x1a2b": how file offsets and field values are named in error messages.
inline std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// Every read of a file's bytes goes through here: offset + size overflow and bounds are
// checked, and structures are copied out, never addressed in place (the file gives no
// alignment guarantee and may be shorter than its headers claim).
class ByteReader {
  public:
    // `file` names the file in error messages; both views must outlive the reader.
    ByteReader(std::span<const std::uint8_t> data, std::string_view file) : m_d(data), m_f(file) {}

    std::uint64_t size() const { return m_d.size(); }
    std::string_view file() const { return m_f; }

    bool has(std::uint64_t off, std::uint64_t size) const {
        return off <= m_d.size() && size <= m_d.size() - off;
    }

    template <class T> Result<T> read(std::uint64_t off, const char* what) const {
        static_assert(std::is_trivially_copyable_v<T>);
        if (!has(off, sizeof(T))) {
            return fail(std::string(m_f) + ": " + what + " at offset " + hex(off) + ": expected " +
                        std::to_string(sizeof(T)) + " bytes, found " +
                        std::to_string(off < m_d.size() ? m_d.size() - off : 0) +
                        " before the end of the file");
        }
        T v;
        std::memcpy(&v, m_d.data() + off, sizeof(T));
        return v;
    }

    // For offsets already checked by has().
    std::uint16_t u16(std::uint64_t off) const {
        std::uint16_t v;
        std::memcpy(&v, m_d.data() + off, sizeof v);
        return v;
    }

  private:
    std::span<const std::uint8_t> m_d;
    std::string_view m_f;
};

// Every write into a laid-out buffer goes through here. A write that would leave the buffer is
// refused in every build (never an assertion compiled away) and the first one is remembered, so
// the routine that laid the buffer out can report it; the highest byte written is tracked so
// that what was emitted can be compared with the size the layout promised.
class ByteWriter {
  public:
    explicit ByteWriter(std::span<std::uint8_t> out) : m_out(out) {}

    template <class T> bool put(std::uint64_t off, const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        return putBytes(off, {reinterpret_cast<const std::uint8_t*>(&v), sizeof(T)});
    }

    bool putBytes(std::uint64_t off, std::span<const std::uint8_t> bytes) {
        if (off > m_out.size() || bytes.size() > m_out.size() - off) {
            if (!m_refused) {
                m_refused = true;
                m_refusedAt = off;
                m_refusedSize = bytes.size();
            }
            return false;
        }
        if (bytes.empty()) {
            return true;
        }
        std::memcpy(m_out.data() + off, bytes.data(), bytes.size());
        if (off + bytes.size() > m_end) {
            m_end = off + bytes.size();
        }
        return true;
    }

    // One past the highest byte written so far.
    std::uint64_t end() const { return m_end; }
    std::uint64_t capacity() const { return m_out.size(); }

    // An error naming `file` and the first write that was refused; success when none was.
    Result<void> check(std::string_view file, const char* what) const {
        if (!m_refused) {
            return {};
        }
        return fail(std::string(file) + ": " + what + ": a write of " +
                    std::to_string(m_refusedSize) + " bytes at offset " + hex(m_refusedAt) +
                    " falls outside the " + std::to_string(m_out.size()) +
                    " bytes laid out for it");
    }

  private:
    std::span<std::uint8_t> m_out;
    std::uint64_t m_end = 0;
    bool m_refused = false;
    std::uint64_t m_refusedAt = 0;
    std::uint64_t m_refusedSize = 0;
};

} // namespace folio

// Shared helpers of the fuzz harnesses: taking small choices off the front of an input, a
// scratch folder in memory, and stopping on a broken promise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>

namespace folio::fuzz {

// Reads choices from the front of the input; past its end every choice is 0.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : m_rest(data, size) {}

    std::uint8_t byte() {
        if (m_rest.empty()) {
            return 0;
        }
        const std::uint8_t b = m_rest.front();
        m_rest = m_rest.subspan(1);
        return b;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    // Up to `max` bytes, the count chosen by the input.
    std::string_view text(std::size_t max) {
        const std::size_t n = std::min<std::size_t>(u16() % (max + 1), m_rest.size());
        const std::string_view s(reinterpret_cast<const char*>(m_rest.data()), n);
        m_rest = m_rest.subspan(n);
        return s;
    }
    std::span<const std::uint8_t> rest() const { return m_rest; }

  private:
    std::span<const std::uint8_t> m_rest;
};

// A folder of this process in memory (or /tmp), made once.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string f = std::string(base) + "/folio-fuzz-" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + f + "'";
        if (std::system(cmd.c_str()) != 0) {
            std::abort();
        }
        return f;
    }();
    return folder;
}

// A broken promise of the code under test: report it and stop, so libFuzzer keeps the input.
[[noreturn]] inline void broken(const std::string& what) {
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::abort();
}

} // namespace folio::fuzz

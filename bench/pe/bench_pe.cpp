// Times a book-sized resource rebuild: begin, 10,000 distinct updates, end.
// bench_pe [PE file] [count] [bytes per resource]
#include "core/fileio.h"
#include "core/pe.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using namespace folio;
    using Clock = std::chrono::steady_clock;
    const std::string src = argc > 1 ? argv[1] : FOLIO_PE_FIXTURE;
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    const std::size_t size = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 6000;
    const std::string book = (std::filesystem::temp_directory_path() / "bench_pe.exe").string();
    if (auto ok = copyFileAtomic(src, book); !ok) {
        std::fprintf(stderr, "%s\n", ok.error().message.c_str());
        return 1;
    }
    const auto t0 = Clock::now();
    auto u = pe::ResourceUpdater::begin(book, false);
    if (!u) {
        std::fprintf(stderr, "%s\n", u.error().message.c_str());
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        u->update(pe::ResourceId::fromId(2110),
                  pe::ResourceId::fromName("PAGE" + std::to_string(i) + ".HTML"), 1033,
                  Bytes(size, static_cast<std::uint8_t>('a' + i % 26)));
    }
    const auto t1 = Clock::now();
    if (auto ok = u->end(false); !ok) {
        std::fprintf(stderr, "%s\n", ok.error().message.c_str());
        return 1;
    }
    const auto t2 = Clock::now();
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("%d resources x %zu bytes: updates %.1f ms, end %.1f ms, file %ju bytes\n", count,
                size, ms(t1 - t0), ms(t2 - t1),
                static_cast<std::uintmax_t>(std::filesystem::file_size(book)));
    std::filesystem::remove(book);
    return 0;
}

// Times the book key of a book-sized image (open + key, against hashing every page's bytes) and
// a places file holding its full 200 books. bench_place [pages] [bytes per page]
#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "reader/core/placestore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using namespace folio;
    using Clock = std::chrono::steady_clock;
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::size_t size = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 5000;
    const auto dir = std::filesystem::temp_directory_path() / "bench_place";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "book.exe").string();
    if (auto ok = copyFileAtomic(FOLIO_BOOK_FIXTURE, path); !ok) {
        std::fprintf(stderr, "%s\n", ok.error().message.c_str());
        return 1;
    }
    auto u = pe::ResourceUpdater::begin(path, false);
    if (!u) {
        std::fprintf(stderr, "%s\n", u.error().message.c_str());
        return 1;
    }
    for (int i = 0; i < count; ++i)
        u->update(pe::ResourceId::fromId(book::PageType),
                  pe::ResourceId::fromName("PAGE" + std::to_string(i) + ".HTML"),
                  book::ResourceLanguage, Bytes(size, static_cast<std::uint8_t>('a' + i % 26)));
    if (auto ok = u->end(false); !ok) {
        std::fprintf(stderr, "%s\n", ok.error().message.c_str());
        return 1;
    }
    book::WriteDescriptor(path, "Book:Me:index.html:tree.html:::::2026-12-08");

    const auto t0 = Clock::now();
    auto image = book::BookImage::open(path);
    if (!image) {
        std::fprintf(stderr, "%s\n", image.error().message.c_str());
        return 1;
    }
    const auto t1 = Clock::now();
    const std::string key = reader::bookKey(**image);
    const auto t2 = Clock::now();
    // For comparison: FNV-1a over every resource's bytes.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const pe::Resource& r : (*image)->image().resources())
        for (const std::uint8_t b : (*image)->image().resourceData(r))
            h = (h ^ b) * 0x100000001b3ULL;
    const auto t3 = Clock::now();

    reader::PlaceStore store((dir / "state").string());
    for (int i = 0; i < 200; ++i) {
        char k[17];
        std::snprintf(k, sizeof k, "%016x", i);
        if (auto kept =
                store.remember(k, reader::Place{"PAGE" + std::to_string(i) + ".HTML", 0, i, 100});
            !kept) {
            std::fprintf(stderr, "%s\n", kept.error().message.c_str());
            return 1;
        }
    }
    const auto t4 = Clock::now();
    if (auto kept = store.remember(key, reader::Place{"PAGE1.HTML", 0, 100, 120}); !kept) {
        std::fprintf(stderr, "%s\n", kept.error().message.c_str());
        return 1;
    }
    const auto t5 = Clock::now();
    const auto found = store.find(key);
    const auto t6 = Clock::now();

    std::printf("%d pages x %zu bytes, file %ju bytes\n", count, size,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    std::printf("open %.2f ms, key %.2f ms (%s), every page's bytes hashed %.2f ms (%016llx)\n",
                ms(t1 - t0), ms(t2 - t1), key.c_str(), ms(t3 - t2),
                static_cast<unsigned long long>(h));
    std::printf("places file of 200 books: remember %.2f ms, find %.2f ms (%s)\n", ms(t5 - t4),
                ms(t6 - t5), found ? "found" : "missing");
    std::filesystem::remove_all(dir);
    return 0;
}

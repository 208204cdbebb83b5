// Benchmark of the res: scheme: the median time to map a URL to a page's bytes in a 10,000-page
// Book image, and the resident memory of a process holding a 1 MB and a 60 MB book open.
// Usage: bench_scheme [work folder]   (default: a folder under /tmp)
#include "qt/resschemehandler.h"

#include "core/book.h"
#include "core/fileio.h"
#include "core/pe.h"
#include "core/text.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string Template = std::string(FOLIO_DIST_DIR) + "/folioPage/folioPage.dat";

std::string pageName(int i) {
    return "page" + std::to_string(i) + ".html";
}

folio::Bytes randomPage(std::mt19937& rng, int i) {
    std::uniform_int_distribution<int> len(800, 4000);
    std::string text = "<html><head><meta charset='gb2312'><title>Page " + std::to_string(i) +
                       "</title></head><body><p>";
    const int n = len(rng);
    std::uniform_int_distribution<int> letter('a', 'z');
    for (int k = 0; k < n; ++k) {
        text += (k % 9 == 8) ? ' ' : static_cast<char>(letter(rng));
    }
    text += "</p></body></html>";
    return folio::Bytes(text.begin(), text.end());
}

// A book of `pages` pages plus one blob of `blobBytes` bytes (a "sound").
bool makeBook(const std::string& path, int pages, std::size_t blobBytes) {
    if (auto c = folio::copyFileAtomic(Template, path); !c) {
        std::fprintf(stderr, "%s\n", c.error().message.c_str());
        return false;
    }
    auto u = folio::pe::ResourceUpdater::begin(path, false);
    if (!u) {
        std::fprintf(stderr, "%s\n", u.error().message.c_str());
        return false;
    }
    std::mt19937 rng(42);
    const auto type = folio::pe::ResourceId::fromId(folio::book::PageType);
    for (int i = 0; i < pages; ++i) {
        u->update(type, folio::book::pageResourceName(pageName(i)), folio::book::ResourceLanguage,
                  randomPage(rng, i));
    }
    if (blobBytes > 0) {
        folio::Bytes blob(blobBytes);
        for (std::size_t k = 0; k < blob.size(); ++k) {
            blob[k] = static_cast<std::uint8_t>(rng());
        }
        u->update(type, folio::book::pageResourceName("song.mp3"), folio::book::ResourceLanguage,
                  std::move(blob));
    }
    const std::string d = folio::toAnsi("Bench:Me:page0.html:page1.html:::::2026-12-06");
    u->update(folio::pe::ResourceId::fromName(folio::book::DescriptorType),
              folio::pe::ResourceId::fromId(folio::book::DescriptorId),
              folio::book::ResourceLanguage, folio::Bytes(d.begin(), d.end()));
    if (auto e = u->end(false); !e) {
        std::fprintf(stderr, "%s\n", e.error().message.c_str());
        return false;
    }
    return true;
}

long vmRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

QString prefixFor(const std::string& path) {
    return QString::fromStdString(
        folio::book::resourcePrefix(folio::parentFolder(path), folio::fileName(path)));
}

// Child mode: open the book as the reader does, serve its two start pages, report VmRSS.
int rssChild(const std::string& path) {
    auto opened = folio::book::BookImage::open(path);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().message.c_str());
        return 1;
    }
    std::shared_ptr<const folio::book::BookImage> book(std::move(*opened));
    folio::qt::ResSchemeHandler handler(book, prefixFor(path));
    const QString prefix = prefixFor(path);
    unsigned sum = 0;
    for (const char* name : {"page0.html", "page1.html", "CUSTOM/101"}) {
        if (auto r = handler.lookup(QUrl(prefix + QString::fromLatin1(name)))) {
            for (std::uint8_t b : r->data) {
                sum += b;
            }
        }
    }
    std::printf("%ld %u\n", vmRssKb(), sum);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--rss")) {
        return rssChild(args[2].toStdString());
    }
    const std::filesystem::path work =
        args.size() > 1 ? std::filesystem::path(args[1].toStdString())
                        : std::filesystem::temp_directory_path() / "folio-bench-scheme";
    std::filesystem::create_directories(work);

    // 1. Lookup path on a 10,000-page book.
    const std::string big = (work / "pages10000.exe").string();
    auto t0 = std::chrono::steady_clock::now();
    if (!makeBook(big, 10000, 0)) {
        return 1;
    }
    auto t1 = std::chrono::steady_clock::now();
    std::printf("built a 10,000-page book (%.1f MB) in %.1f s\n",
                double(std::filesystem::file_size(big)) / 1e6,
                std::chrono::duration<double>(t1 - t0).count());

    auto opened = folio::book::BookImage::open(big);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().message.c_str());
        return 1;
    }
    auto t2 = std::chrono::steady_clock::now();
    std::printf("opened it in %.2f ms\n",
                std::chrono::duration<double, std::milli>(t2 - t1).count());
    std::shared_ptr<const folio::book::BookImage> book(std::move(*opened));
    const QString prefix = prefixFor(big);
    folio::qt::ResSchemeHandler handler(book, prefix);

    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, 9999);
    std::vector<double> micros;
    micros.reserve(1000);
    unsigned sum = 0;
    int missing = 0;
    for (int i = 0; i < 1000; ++i) {
        // Mixed case, as the pages' own links write the names.
        const QUrl url(prefix + QStringLiteral("Page%1.HTML").arg(pick(rng)));
        const auto s = std::chrono::steady_clock::now();
        const auto reply = handler.lookup(url);
        if (reply) {
            for (std::uint8_t b : reply->data) { // the bytes are read, as the browser would
                sum += b;
            }
        } else {
            ++missing;
        }
        const auto e = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(e - s).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("1000 random pages: median %.1f us, 90th percentile %.1f us, max %.1f us "
                "(target median < 1000 us); %d missing; checksum %u\n",
                micros[500], micros[900], micros.back(), missing, sum);

    // 2. Resident memory with a 1 MB and a 60 MB book, each in a fresh process.
    const std::string small = (work / "book1mb.exe").string();
    const std::string large = (work / "book60mb.exe").string();
    if (!makeBook(small, 20, 1'000'000) || !makeBook(large, 20, 60'000'000)) {
        return 1;
    }
    long rss[2] = {0, 0};
    const std::string books[2] = {small, large};
    for (int k = 0; k < 2; ++k) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--rss"), QString::fromStdString(books[k])});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            std::fprintf(stderr, "the memory probe failed on %s\n", books[k].c_str());
            return 1;
        }
        rss[k] = QString::fromLatin1(child.readAllStandardOutput()).split(' ').first().toLong();
        std::printf("VmRSS with %s (%.1f MB) open: %ld kB\n", books[k].c_str(),
                    double(std::filesystem::file_size(books[k])) / 1e6, rss[k]);
    }
    std::printf("difference: %.2f MB (target < 5 MB)\n", double(rss[1] - rss[0]) / 1024.0);
    return missing == 0 ? 0 : 1;
}

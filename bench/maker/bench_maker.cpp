// Times the workbench's routines on a project of 10,000 pages: start-up opening it (page list
// filled, settings read, config.ini written), opening it again, listing it for the explorer,
// and expanding a folder of 10,000 sub-folders in the drive tree. Best and median of the runs.
// bench_maker [files] [runs]
#include "core/fileio.h"
#include "core/text.h"
#include "maker/project/drives.h"
#include "maker/project/explorer.h"
#include "maker/project/workbench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// Calls `run` `runs` times (after one warm-up) and prints the best and the median.
void timeIt(const char* what, int runs, const std::function<std::size_t()>& run) {
    using Clock = std::chrono::steady_clock;
    run();
    std::vector<double> ms;
    std::size_t items = 0;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        items = run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s %6zu items  best %8.1f ms  median %8.1f ms\n", what, items, ms.front(),
                ms[ms.size() / 2]);
}

} // namespace

int main(int argc, char** argv) {
    using namespace folio;
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path maker = fs::temp_directory_path() / "bench_maker";
    fs::remove_all(maker);
    fs::create_directories(maker / "skin");
    fs::create_directories(maker / "tree" / "Book");
    touch(maker / "skin" / "aero.she", "");
    touch(maker / "Pro.ini", "Book\r\n");
    const fs::path book = maker / "Book";
    fs::create_directories(book);
    touch(book / "Book.ini", toAnsi("电子书名称：Book\r\n作者：某人\r\n网址：http://x/\r\n"));
    for (int i = 0; i < files; ++i) {
        const std::string n = std::to_string(i);
        touch(book / ("第" + n + "章.html"), "<h1>" + n + "</h1>");
        fs::create_directories(maker / "tree" / "Book" / ("卷" + n));
    }

    SilentObserver quiet;
    timeIt("start-up, last project opened", runs, [&] {
        fs::remove(book / "config.ini");
        project::MakerState s =
            project::StartMaker(maker.string(), {"English", "简体中文", ""}, quiet);
        if (s.settings.author != "某人")
            std::abort();
        return s.pages.size();
    });
    project::MakerState state = project::StartMaker(maker.string(), {}, quiet);
    timeIt("opening the project again (Command8)", runs, [&] {
        project::OpenProjectFolder(state, book.string(), quiet);
        return state.pages.size();
    });
    timeIt("listing the folder for the explorer", runs, [&] {
        auto names = project::listFolderFiles(book.string(), quiet);
        return names ? names->size() : 0;
    });
    timeIt("expanding a tree node of sub-folders", runs, [&] {
        auto folders = project::expandFolder((maker / "tree" / "Book").string() + "/");
        return folders ? folders->size() : 0;
    });
    fs::remove_all(maker);
    return 0;
}

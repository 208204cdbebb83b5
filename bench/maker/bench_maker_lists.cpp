// Times opening a project of 10,000 pages as the window sees it: the routine's names put into
// a multi-selection list widget, in batches that let the window handle its events.
// bench_maker_lists [files] [runs]   (run with QT_QPA_PLATFORM=offscreen)
#include "core/fileio.h"
#include "maker/project/workbench.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path maker = fs::temp_directory_path() / "bench_maker_lists";
    fs::remove_all(maker);
    fs::create_directories(maker / "Book");
    std::ofstream(maker / "Pro.ini", std::ios::binary) << "Book\r\n";
    for (int i = 0; i < files; ++i)
        std::ofstream(maker / "Book" / ("page" + std::to_string(i) + ".html")) << i;

    QListWidget list;
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    list.setUniformItemSizes(true); // no per-item size query: ten times faster at 10,000
    list.resize(300, 600);
    list.show();
    folio::SilentObserver quiet;
    folio::project::MakerState state = folio::project::StartMaker(maker.string(), {}, quiet);
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        folio::project::OpenProjectFolder(state, (maker / "Book").string(), quiet);
        QStringList names;
        names.reserve(static_cast<qsizetype>(state.pages.size()));
        for (const std::string& n : state.pages)
            names << QString::fromStdString(n);
        list.setUpdatesEnabled(false);
        list.clear();
        for (qsizetype i = 0; i < names.size(); i += 1000) {
            list.addItems(names.mid(i, 1000));
            QCoreApplication::processEvents();
        }
        list.setUpdatesEnabled(true);
        QCoreApplication::processEvents();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("opening and filling the page list: %d items  best %.1f ms  median %.1f ms\n",
                list.count(), ms.front(), ms[ms.size() / 2]);
    fs::remove_all(maker);
    return 0;
}

// Jobs in parts (see threads.h).
#include "core/threads.h"

#include <algorithm>
#include <vector>

#if FOLIO_HAS_THREADS
#include <thread>
#endif

namespace folio {

void runInParts([[maybe_unused]] std::size_t wanted,
                const std::function<void(std::size_t, std::size_t)>& work) {
#if FOLIO_HAS_THREADS
    const std::size_t parts = std::clamp<std::size_t>(
        std::min<std::size_t>(wanted, std::thread::hardware_concurrency()), 1, 8);
    std::vector<std::jthread> workers;
    for (std::size_t part = 1; part < parts; ++part)
        workers.emplace_back(work, part, parts);
    work(0, parts);
#else
    work(0, 1);
#endif
}

} // namespace folio

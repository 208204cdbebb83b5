// Threads where the tool chain has them. The Windows reader is built by mingw-w64 with the win32
// thread model, which has neither std::thread nor std::mutex: there a job runs on the calling
// thread alone and Mutex is a spin lock, enough for the short sections the core guards.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex> // std::lock_guard, for either Mutex

#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define FOLIO_HAS_THREADS 0
#else
#define FOLIO_HAS_THREADS 1
#endif

namespace folio {

#if FOLIO_HAS_THREADS
using Mutex = std::mutex;
#else
class Mutex {
  public:
    void lock() {
        while (m_busy.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { m_busy.clear(std::memory_order_release); }

  private:
    std::atomic_flag m_busy = ATOMIC_FLAG_INIT;
};
#endif

// Runs work(part, parts) for part 0 .. parts - 1 at once, one thread each (the calling thread
// takes part 0), and returns when all have ended. `parts` is at most `wanted` and the machine's
// cores (8 at the most), and 1 where there are no threads.
void runInParts(std::size_t wanted, const std::function<void(std::size_t, std::size_t)>& work);

} // namespace folio

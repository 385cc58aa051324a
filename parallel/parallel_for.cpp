#include "parallel/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vardelk {

int32_t HardwareThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int32_t(std::min(cores, 1024u));
}

void ParallelFor(int32_t threads, int64_t count, const std::function<void(int64_t)>& body) {
    if (count <= 0) return;
    const int64_t helpers = std::min<int64_t>(std::max(threads, 1), count) - 1;
    if (helpers == 0) {
        for (int64_t i = 0; i < count; ++i) body(i);
        return;
    }
    std::atomic<int64_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorLock;
    auto work = [&] {
        for (int64_t i = next++; i < count && !failed; i = next++) {
            try {
                body(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(errorLock);
                if (!firstError) firstError = std::current_exception();
                failed = true;
            }
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(helpers));
    for (int64_t t = 0; t < helpers; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    if (firstError) std::rethrow_exception(firstError);
}

}  // namespace vardelk

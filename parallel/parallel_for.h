// Independent pieces of work spread over threads. The pieces are numbered;
// each runs exactly once, on some thread, and the results a caller keeps by
// number never depend on how many threads there were.
#pragma once

#include <cstdint>
#include <functional>

namespace vardelk {

// Every core the machine reports (at least 1).
int32_t HardwareThreads();

// Runs body(0) .. body(count - 1) on up to `threads` threads, the calling
// thread among them, and returns when all have run. The first exception a
// piece throws is rethrown here once every started piece has finished;
// pieces not yet started are then skipped.
void ParallelFor(int32_t threads, int64_t count, const std::function<void(int64_t)>& body);

}  // namespace vardelk

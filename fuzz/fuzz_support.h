// Helpers shared by the fuzz targets: a check that aborts (so libFuzzer
// records the input) and an allocator whose failures the input decides.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace vardelk::fuzz {

// Bit i of the pattern fails allocation i (modulo 64) since the last reset.
inline uint64_t g_failurePattern = 0;
inline size_t g_allocations = 0;

inline void ResetFlakyAllocator(uint64_t failurePattern) {
    g_failurePattern = failurePattern;
    g_allocations = 0;
}

inline void* FlakyAllocate(size_t bytes) {
    const bool fail = ((g_failurePattern >> (g_allocations++ % 64)) & 1u) != 0;
    return fail ? nullptr : std::malloc(bytes);
}

}  // namespace vardelk::fuzz

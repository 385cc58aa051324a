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

// Bit i of the pattern fails allocation i (modulo 64), counted from the
// allocator's making; the input may change the pattern as it goes. Allocate
// has the shape of the history's allocation hook, with the allocator itself
// as the context.
struct FlakyAllocator {
    uint64_t failurePattern = 0;
    size_t allocations = 0;

    static void* Allocate(void* self, size_t bytes) {
        auto& flaky = *static_cast<FlakyAllocator*>(self);
        const bool fail = ((flaky.failurePattern >> (flaky.allocations++ % 64)) & 1u) != 0;
        return fail ? nullptr : std::malloc(bytes);
    }
};

}  // namespace vardelk::fuzz

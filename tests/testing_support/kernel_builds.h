// The kernel tables this machine runs, plain first: what the equality
// tests, the kernel fuzz target and the benchmarks walk, each comparing a
// table's kernels with the plain ones or timing them.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/cpu.h"
#include "codec/fast/kernel_table.h"

namespace vardelk::testing {

struct KernelBuild {
    const char* name;
    uint32_t flags;
    const fast::KernelTable* table;
};

inline std::vector<KernelBuild> KernelBuilds() {
    std::vector<KernelBuild> builds;
    for (const CpuLevel& level : kCpuLevels)
        if (CpuRuns(level.flags)) builds.push_back({level.name, level.flags, &fast::KernelTableFor(level.flags)});
    return builds;
}

}  // namespace vardelk::testing

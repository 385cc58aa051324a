// The kernel tables this machine runs, plain first: what the equality
// tests, the kernel fuzz target and the benchmarks walk, each comparing a
// table's kernels with the plain ones or timing them. The codec's and the
// media's tables come from the same list of CPU levels; only programs that
// link the media library may call MediaKernelBuilds().
#pragma once

#include <cstdint>
#include <vector>

#include "codec/cpu.h"
#include "codec/kernels/kernel_table.h"
#include "media/kernel_table.h"

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

struct MediaKernelBuild {
    const char* name;
    uint32_t flags;
    const media::KernelTable* table;
};

inline std::vector<MediaKernelBuild> MediaKernelBuilds() {
    std::vector<MediaKernelBuild> builds;
    for (const CpuLevel& level : kCpuLevels)
        if (CpuRuns(level.flags)) builds.push_back({level.name, level.flags, &media::KernelTableFor(level.flags)});
    return builds;
}

}  // namespace vardelk::testing

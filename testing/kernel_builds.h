// The kernel builds this machine runs, plain first, and the one way the
// tests, the fuzz targets and the benchmarks walk them: every build's table
// (KernelBuilds, MediaKernelBuilds), or one entry of a table in every build
// beside the plain table's entry (EveryBuildOf). The tests prove each entry
// equal to the plain one or to the reference it stands for, the fuzz
// target checks it on fuzzed inputs, the benchmarks time it. The codec's and
// the media's tables come from the same list of CPU levels; only programs
// that link the media library may walk the media's.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/cpu.h"
#include "codec/kernels/dispatch.h"
#include "codec/kernels/kernel_table.h"
#include "media/kernel_table.h"

namespace vardelk::testing {

// One build: its CPU level's name ("plain", "sse2", "avx2"), the flags of
// that level and its table of the kind Table.
template <typename Table>
struct Build {
    const char* name;
    uint32_t flags;
    const Table* table;
};

template <typename Table>
std::vector<Build<Table>> BuildsOf() {
    std::vector<Build<Table>> builds;
    for (const CpuLevel& level : kCpuLevels)
        if (CpuRuns(level.flags)) builds.push_back({level.name, level.flags, &KernelTableOf<Table>(level.flags)});
    return builds;
}

using KernelBuild = Build<kernels::KernelTable>;
using MediaKernelBuild = Build<media::KernelTable>;
inline std::vector<KernelBuild> KernelBuilds() { return BuildsOf<kernels::KernelTable>(); }
inline std::vector<MediaKernelBuild> MediaKernelBuilds() { return BuildsOf<media::KernelTable>(); }

// One entry of a table in one build, beside the plain table's entry.
template <typename Entry>
struct KernelUnderTest {
    const char* build;
    uint32_t flags;
    Entry plain;
    Entry kernel;
};

// The entry in every build, e.g. EveryBuildOf(&kernels::KernelTable::inverseDct).
template <typename Table, typename Entry>
std::vector<KernelUnderTest<Entry>> EveryBuildOf(Entry Table::*entry) {
    const Table& plain = KernelTableOf<Table>(0);
    std::vector<KernelUnderTest<Entry>> kernels;
    for (const Build<Table>& build : BuildsOf<Table>())
        kernels.push_back({build.name, build.flags, plain.*entry, build.table->*entry});
    return kernels;
}

}  // namespace vardelk::testing

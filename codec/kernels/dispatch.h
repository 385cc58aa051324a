// How every kernel table is filled: the one mechanism behind the codec's
// table (codec/kernels/kernel_table.h) and the media's
// (media/kernel_table.h).
//
// A table is a struct of function pointers. Each CPU family has one file per
// library (kernels_plain.cpp, kernels_sse2.cpp, kernels_avx2.cpp) holding
// that family's kernels and its filler, declared beside the table as
// FillPlainKernels, FillSse2Kernels and FillAvx2Kernels. A table starts as
// the plain family fills it; each family the flags allow then overwrites
// the entries it has, in rising order. A family the build lacks (AVX2
// without a compiler for it, SSE2 on another processor) fills nothing, and
// so does a family for an entry whose vector form would be slower there.
// Every entry gives exactly the plain entry's result.
#pragma once

#include <array>
#include <cstdint>

#include "codec/cpu.h"

namespace vardelk {

// The fillers are found through the table's type, in its own namespace.
template <typename Table>
Table MakeKernelTable(uint32_t cpuFlags) {
    Table table{};
    FillPlainKernels(table);
    if ((cpuFlags & kCpuSse2) != 0) FillSse2Kernels(table);
    if ((cpuFlags & kCpuAvx2) != 0) FillAvx2Kernels(table);
    return table;
}

// The table for these flags (bits beyond kAllCpuFlags ignored). The tables
// of every combination of the flags are made together at the first call
// and never change afterwards.
template <typename Table>
const Table& KernelTableOf(uint32_t cpuFlags) {
    static const std::array<Table, kAllCpuFlags + 1> tables = [] {
        std::array<Table, kAllCpuFlags + 1> all{};
        for (uint32_t flags = 0; flags <= kAllCpuFlags; ++flags) all[flags] = MakeKernelTable<Table>(flags);
        return all;
    }();
    return tables[cpuFlags & kAllCpuFlags];
}

}  // namespace vardelk

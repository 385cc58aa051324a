#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/kernels/kernel_table.h"
#include "codec/kernels/sparse_bit_cost.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using testing::Random;

// A level of the kind chosen: zero most of the time, small, near the code
// table's limits, or anything at all.
int32_t RandomLevel(Random& random, int density) {
    if (random.Between(0, 99) >= density) return 0;
    switch (random.Between(0, 4)) {
        case 0:
            return random.Between(-2, 2);
        case 1:
            return random.Between(-45, 45);
        case 2:
            return random.Between(-2100, 2100);
        case 3:
            return random.OneIn(2) ? INT_MIN : INT_MAX;
        default:
            return random.Between(INT_MIN, INT_MAX);
    }
}

// Both scans with both AC tables.
constexpr AcCoding kCodings[] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};

TEST(FastBitCost, AcBitsEqualPlainForRandomBlocksInBothScansAndTables) {
    Random random(21);
    for (int n = 0; n < 40000; ++n) {
        int32_t block[64];
        const int density = n % 5 == 0 ? 100 : n % 5 == 1 ? 3 : random.Between(0, 60);
        for (int32_t& v : block) v = RandomLevel(random, density);
        for (const AcCoding& coding : kCodings)
            ASSERT_EQ(AcBlockBits(block, coding),
                      kernels::SparseAcBlockBits(block, kernels::NonZeroMask(block), coding))
                << "block " << n;
    }
}

// One level at each scan position with every magnitude around the code
// limits: runs 0..62, escapes, and the end-of-block rule at position 63.
TEST(FastBitCost, AcBitsEqualPlainForSingleLevels) {
    for (const AcCoding& coding : kCodings)
        for (int position = 1; position < 64; ++position)
            for (int32_t level = -45; level <= 45; ++level) {
                int32_t block[64] = {};
                block[0] = 77;  // the DC never counts here
                block[(coding.alternateScan ? AlternateScan : ZigzagScan)[position]] = level;
                ASSERT_EQ(AcBlockBits(block, coding),
                          kernels::SparseAcBlockBits(block, kernels::NonZeroMask(block), coding))
                    << "position " << position << " level " << level << " table " << coding.intraVlcFormat;
            }
}

// Macroblock estimates along a row share the predictors: every build's
// count must leave them as the plain estimate does after every macroblock,
// also for DC jumps beyond the size tables.
TEST(FastBitCost, MacroblockEstimatesAndPredictorsEqualPlain) {
    const auto counts = testing::EveryBuildOf(&kernels::KernelTable::macroblockBits);
    Random random(22);
    for (const AcCoding& coding : kCodings) {
        DcPredictors plain;
        std::vector<DcPredictors> quick(counts.size());
        for (int n = 0; n < 5000; ++n) {
            if (n % 45 == 0) {
                ResetDcPredictors(plain);
                for (DcPredictors& p : quick) ResetDcPredictors(p);
            }
            MacroblockBuffer mb;
            // Some macroblocks with blocks that have no AC level at all.
            for (int32_t& v : mb.value) v = RandomLevel(random, n % 3 == 0 ? random.Between(0, 1) : 15);
            for (int b = 0; b < kBlocksPerMacroblock; ++b)
                mb.Block(b)[0] = random.OneIn(10) ? random.Between(INT_MIN, INT_MAX) : random.Between(-16384, 16384);
            // The quantiser's non-zero masks, as the pipeline hands them over.
            uint64_t nonZero[kBlocksPerMacroblock];
            for (int b = 0; b < kBlocksPerMacroblock; ++b) nonZero[b] = kernels::NonZeroMask(mb.Block(b));
            const int32_t expected = EstimateMacroblockBits(mb, coding, plain);
            for (size_t k = 0; k < counts.size(); ++k) {
                ASSERT_EQ(expected, counts[k].kernel(mb, nonZero, coding, quick[k])) << counts[k].build;
                ASSERT_EQ(plain.luma, quick[k].luma);
                ASSERT_EQ(plain.cb, quick[k].cb);
                ASSERT_EQ(plain.cr, quick[k].cr);
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/kernel_table.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using Block = std::array<int32_t, 64>;
using testing::Random;

constexpr int32_t kLowSample = -2048, kHighSample = 2047;  // any host component >> 4
constexpr int32_t kLowCoefficient = -2048, kHighCoefficient = 2047;

using Transforms = std::vector<testing::KernelUnderTest<kernels::BlockTransform>>;
const Transforms kForward = testing::EveryBuildOf(&kernels::KernelTable::forwardDct);
const Transforms kAccurate = testing::EveryBuildOf(&kernels::KernelTable::forwardDctAccurate);
const Transforms kInverse = testing::EveryBuildOf(&kernels::KernelTable::inverseDct);

// Every build of a transform against the plain one.
void ExpectEqual(const Transforms& builds, const Block& input, const char* what) {
    for (const auto& transform : builds) {
        Block plain = input, quick = input;
        transform.plain(plain.data());
        transform.kernel(quick.data());
        ASSERT_EQ(plain, quick) << transform.build << " " << what << ", first value " << input[0];
    }
}

// Both forward transforms: the filter's and the encoders' accurate one.
void ExpectForwardEqual(const Block& input) {
    ExpectEqual(kForward, input, "forward");
    ExpectEqual(kAccurate, input, "accurate");
}

void ExpectInverseEqual(const Block& input) { ExpectEqual(kInverse, input, "inverse"); }

// Blocks at the edges of the range: constants, checkerboards, stripes and
// the sign pattern of every cosine basis function, at full amplitude.
std::vector<Block> ExtremeBlocks(int32_t low, int32_t high) {
    std::vector<Block> blocks;
    for (int32_t v : {low, high, 0, -1, 1, low / 2, high / 2}) {
        Block b;
        b.fill(v);
        blocks.push_back(b);
    }
    for (int pattern = 0; pattern < 4; ++pattern) {
        Block b;
        for (int i = 0; i < 64; ++i) {
            const int row = i / 8, column = i % 8;
            const bool odd = pattern == 0   ? (row + column) % 2
                             : pattern == 1 ? row % 2
                             : pattern == 2 ? column % 2
                                            : column >= 4;
            b[static_cast<size_t>(i)] = odd ? high : low;
        }
        blocks.push_back(b);
    }
    const double pi = std::acos(-1.0);
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            for (int sign : {1, -1}) {
                Block b;
                for (int i = 0; i < 64; ++i) {
                    const double c =
                        std::cos((2 * (i / 8) + 1) * v * pi / 16) * std::cos((2 * (i % 8) + 1) * u * pi / 16);
                    b[static_cast<size_t>(i)] = (c * sign >= 0) ? high : low;
                }
                blocks.push_back(b);
            }
    return blocks;
}

TEST(FastForwardDct, EqualsPlainOnExtremeBlocks) {
    for (const Block& b : ExtremeBlocks(kLowSample, kHighSample)) ExpectForwardEqual(b);
    for (const Block& b : ExtremeBlocks(0, 256)) ExpectForwardEqual(b);     // nominal luma
    for (const Block& b : ExtremeBlocks(-128, 128)) ExpectForwardEqual(b);  // nominal chroma
    for (const Block& b : ExtremeBlocks(-256, 255)) ExpectForwardEqual(b);
}

// The accurate transform is the true DCT at eight times the scale, within
// the rounding of 13-bit factors; the filter's, at the standard's scale.
TEST(ForwardDct, BothTransformsFollowTheTrueTransform) {
    Random random(3);
    const double pi = std::acos(-1.0);
    for (int n = 0; n < 2000; ++n) {
        Block b;
        for (int32_t& v : b) v = random.Between(-256, 255);
        Block filter = b, accurate = b;
        ForwardDct(filter.data());
        ForwardDctAccurate(accurate.data());
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                double sum = 0;
                for (int i = 0; i < 64; ++i)
                    sum += b[static_cast<size_t>(i)] * std::cos((2 * (i / 8) + 1) * v * pi / 16) *
                           std::cos((2 * (i % 8) + 1) * u * pi / 16);
                const double f = sum / 4 * (u == 0 ? std::sqrt(0.5) : 1.0) * (v == 0 ? std::sqrt(0.5) : 1.0);
                ASSERT_NEAR(filter[static_cast<size_t>(v * 8 + u)], f, 1.5);
                ASSERT_NEAR(accurate[static_cast<size_t>(v * 8 + u)], 8 * f, 2.5) << "u " << u << " v " << v;
            }
    }
}

TEST(FastForwardDct, EqualsPlainOnRandomBlocks) {
    Random random(1);
    // Ranges from flat to the whole host range, so both the vector path and
    // the wide fallback are exercised.
    for (int32_t span : {1, 16, 256, 512, 600, 1024, 4096}) {
        for (int n = 0; n < 4000; ++n) {
            Block b;
            const int32_t base = random.Between(kLowSample, kHighSample - span + 1);
            for (int32_t& v : b) v = base + random.Between(0, span - 1);
            ExpectForwardEqual(b);
        }
    }
}

TEST(FastInverseDct, EqualsPlainOnExtremeBlocks) {
    for (const Block& b : ExtremeBlocks(kLowCoefficient, kHighCoefficient)) ExpectInverseEqual(b);
    // Single coefficients and DC plus one coefficient at full size.
    for (int position = 0; position < 64; ++position)
        for (int32_t v : {kLowCoefficient, kHighCoefficient, 1, -1, 200}) {
            for (int32_t dc : {0, kLowCoefficient, kHighCoefficient, 2040}) {
                Block b{};
                b[0] = dc;
                b[static_cast<size_t>(position)] = v;
                ExpectInverseEqual(b);
            }
        }
}

TEST(FastInverseDct, EqualsPlainOnRandomBlocks) {
    Random random(2);
    for (int n = 0; n < 30000; ++n) {
        Block b{};
        // Sparse low-frequency blocks as quantisation leaves them, and dense
        // blocks over the whole saturated range.
        const int kind = n % 3;
        for (int i = 0; i < 64; ++i) {
            if (kind == 0 && (i % 8 + i / 8 > 4 || !random.OneIn(3))) continue;
            const int32_t limit = kind == 1 ? 64 : kHighCoefficient;
            b[static_cast<size_t>(i)] = random.Between(-limit - 1, limit);
        }
        b[0] = random.Between(kLowCoefficient, kHighCoefficient);
        ExpectInverseEqual(b);
    }
}

// The round trip through both fast transforms equals the plain round trip.
TEST(FastDct, RoundTripEqualsPlain) {
    Random random(3);
    for (int n = 0; n < 5000; ++n) {
        Block b;
        for (int32_t& v : b) v = random.Between(0, 256);
        Block plain = b;
        ForwardDct(plain.data());
        InverseDct(plain.data());
        for (const testing::KernelBuild& build : testing::KernelBuilds()) {
            Block quick = b;
            build.table->forwardDct(quick.data());
            build.table->inverseDct(quick.data());
            ASSERT_EQ(plain, quick) << build.name;
        }
    }
}

}  // namespace
}  // namespace vardelk

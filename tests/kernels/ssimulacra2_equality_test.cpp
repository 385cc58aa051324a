// The perceptual measure's kernels of every build against the plain ones,
// bit for bit, on widths around the vector and block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "quality/ssimulacra2_fma.h"
#include "quality/ssimulacra2_kernels.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using ssimulacra2::KernelTable;
using testing::EveryBuildOf;
using testing::Random;

const int32_t kWidths[] = {1, 3, 4, 7, 8, 9, 12, 15, 16, 17, 19, 23, 33, 64, 101};

// Uniform in 0..1, with a share of exact zeros, ones and tiny values.
std::vector<float> Samples(Random& random, size_t count) {
    std::vector<float> v(count);
    for (float& s : v) {
        switch (random.Between(0, 9)) {
            case 0:
                s = 0.0f;
                break;
            case 1:
                s = 1.0f;
                break;
            case 2:
                s = float(random.Between(1, 1000)) * 1e-9f;
                break;
            default:
                s = float(random.Between(0, 1 << 24)) / float(1 << 24);
                break;
        }
    }
    return v;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// The plain builds' fused multiply-add through double against the C
// library's, on the measure's range and on a sum that double rounds to a
// point halfway between two floats (2^30 + 192 - 2^-40 must round down).
TEST(Ssimulacra2Kernels, FusedMultiplyAddRoundsOnce) {
    using ssimulacra2::FusedMultiplyAdd;
    const float a = 8.0f + 0x1p-20f, b = 8.0f - 0x1p-20f, c = 1073741952.0f;
    EXPECT_EQ(FusedMultiplyAdd(a, b, c), std::fma(a, b, c));
    EXPECT_EQ(FusedMultiplyAdd(-a, b, -c), std::fma(-a, b, -c));
    Random random(5);
    for (int i = 0; i < 200000; ++i) {
        const auto value = [&] {
            return std::ldexp(float(random.Between(-(1 << 24), 1 << 24)), random.Between(-40, 0));
        };
        const float x = value(), y = value(), z = value();
        ASSERT_EQ(FusedMultiplyAdd(x, y, z), std::fma(x, y, z)) << x << " " << y << " " << z;
    }
}

TEST(Ssimulacra2Kernels, BlurAlongRowsAndDownColumnsEqualsPlain) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::blurRows)) {
        Random random(1);
        for (int32_t width : kWidths)
            for (int32_t rows : {1, 2, 3, 8}) {
                const std::vector<float> in = Samples(random, size_t(width) * size_t(rows));
                std::vector<float> plain(in.size()), out(in.size());
                kernel.plain(in.data(), width, plain.data(), width, width, rows);
                kernel.kernel(in.data(), width, out.data(), width, width, rows);
                EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " width " << width << " rows " << rows;
            }
    }
    for (const auto& kernel : EveryBuildOf(&KernelTable::blurColumnsStep)) {
        Random random(2);
        for (int32_t width : kWidths) {
            std::vector<float> plainState(size_t(width) * 6, 0.0f), state = plainState;
            std::vector<float> plain(static_cast<size_t>(width)), out(static_cast<size_t>(width));
            for (int32_t step = 0; step < 20; ++step) {
                const std::vector<float> newer = Samples(random, size_t(width)), older = Samples(random, size_t(width));
                const bool write = step >= 4;
                kernel.plain(newer.data(), older.data(), plainState.data(), write ? plain.data() : nullptr, width);
                kernel.kernel(newer.data(), older.data(), state.data(), write ? out.data() : nullptr, width);
                EXPECT_TRUE(SameBits(plainState, state)) << kernel.build << " width " << width << " step " << step;
                EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " width " << width << " step " << step;
            }
        }
    }
}

TEST(Ssimulacra2Kernels, XybEqualsPlainIncludingOutOfGamutInput) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::toXyb)) {
        Random random(3);
        for (int32_t count : kWidths) {
            std::vector<float> rgb = Samples(random, size_t(count) * 3);
            // Negative light makes negative mixtures, which count as 0.
            if (count > 2) rgb[1] = rgb[size_t(count) + 1] = rgb[2 * size_t(count) + 1] = -0.5f;
            std::vector<float> plain(size_t(count) * 3), out(size_t(count) * 3);
            const float* r = rgb.data();
            kernel.plain(r, r + count, r + 2 * count, plain.data(), plain.data() + count, plain.data() + 2 * count,
                         count);
            kernel.kernel(r, r + count, r + 2 * count, out.data(), out.data() + count, out.data() + 2 * count, count);
            EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " count " << count;
        }
    }
}

TEST(Ssimulacra2Kernels, RowStatisticsEqualPlainLaneForLane) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::rowStatistics)) {
        Random random(4);
        for (int32_t width : kWidths) {
            std::vector<float> planes[7];
            for (std::vector<float>& p : planes) p = Samples(random, size_t(width));
            // Means close to the pictures and squares close to the means'
            // squares, as blurred planes are, beside arbitrary ones.
            for (int32_t x = 0; x < width; x += 2) {
                planes[2][size_t(x)] = planes[0][size_t(x)];
                planes[4][size_t(x)] = planes[2][size_t(x)] * planes[2][size_t(x)];
            }
            const ssimulacra2::StatisticsRow row{planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data(),
                                                 planes[4].data(), planes[5].data(), planes[6].data()};
            ssimulacra2::RowSums plain = {}, sums = {};
            kernel.plain(row, width, plain);
            kernel.kernel(row, width, sums);
            EXPECT_EQ(std::memcmp(plain, sums, sizeof plain), 0) << kernel.build << " width " << width;
        }
    }
}

}  // namespace
}  // namespace vardelk

// The perceptual measure's kernels of every build against the plain ones,
// bit for bit, on widths around the vector and block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "quality/ssimulacra2_fma.h"
#if defined(__SSE2__)
#include "quality/ssimulacra2_fma_sse2.h"
#endif
#include "quality/ssimulacra2_kernels.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using ssimulacra2::KernelTable;
using testing::EveryBuildOf;
using testing::Random;

const int32_t kWidths[] = {1, 3, 4, 7, 8, 9, 12, 15, 16, 17, 19, 23, 33, 64, 101};

// Uniform in 0..1, with a share of exact zeros (of both signs), ones, tiny
// values and values whose blur falls below 2^-100, where the exact
// multiply-add takes its slow path.
std::vector<float> Samples(Random& random, size_t count) {
    std::vector<float> v(count);
    for (float& s : v) {
        switch (random.Between(0, 11)) {
            case 0:
                s = 0.0f;
                break;
            case 1:
                s = 1.0f;
                break;
            case 2:
                s = float(random.Between(1, 1000)) * 1e-9f;
                break;
            case 3:
                s = -0.0f;
                break;
            case 4:
                s = float(random.Between(1, 1000)) * 1e-33f;
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

// The lanes of the SSE2 builds' multiply-add against the plain one and the
// C library's: sums that double rounds to a point halfway between two
// floats (found by search; a naive rounding misses by one step, up for
// some, down for others), sums exact in double that lie halfway (a float
// add), results below 2^-100 (the last one halfway between two subnormal
// floats once in double), zeros of both signs, and ordinary sums, each
// kind in every lane.
TEST(Ssimulacra2Kernels, FusedMultiplyAddInLanesRoundsOnce) {
#if defined(__SSE2__)
    using ssimulacra2::FusedMultiplyAdd;
    struct Triple {
        float a, b, c;
    };
    std::vector<Triple> triples = {
        // Inexact and halfway in double.
        {0x1.3679d2p-7f, 0x1.a7dbeap-3f, 0x1.6a21ap-1f},
        {0x1.c0af2cp-7f, 0x1.610f18p-4f, 0x1.736572p-1f},
        {0x1.1bbdc6p-5f, 0x1.c0ad96p-3f, 0x1.443b3cp-1f},
        {0x1.0649a4p-2f, 0x1.cb889cp-8f, 0x1.08ac36p-1f},
        {0x1.462f56p-6f, 0x1.f4fdeep-6f, 0x1.c3b688p-1f},
        {0x1.b02ab2p-4f, 0x1.b9c5d2p-4f, 0x1.0da666p-1f},
        // Exact and halfway: ties to even, down and up.
        {1.0f, 0x1.000002p0f, 0x1p-24f},
        {1.0f, 0x1.000006p0f, 0x1p-24f},
        // Below 2^-100.
        {0x1p-60f, 0x1p-50f, 0x1p-120f},
        {0x1p-60f, 0x1.8p-60f, -0x1p-130f},
        {0x1p-70f, 0x1p-70f, 0x1p-149f},
        {0x1p-75f, 0x1.000002p-75f, 0.0f},
        {0x1.000002p-75f, 0x1.fffffcp-76f, 0x1.000004p-127f},
        // Zeros and ordinary sums.
        {0.0f, -1.0f, -0.0f},
        {-0.0f, 1.0f, -0.0f},
        {0.5f, 0.25f, -0.125f},
        {0x1.fffffep-1f, 0x1.fffffep-1f, -0x1.fffffcp-1f},
    };
    for (size_t i = 0, count = triples.size(); i < count; ++i)
        triples.push_back({-triples[i].a, triples[i].b, -triples[i].c});
    Random random(6);
    const auto value = [&] { return std::ldexp(float(random.Between(-(1 << 24), 1 << 24)), random.Between(-40, 0)); };
    for (int i = 0; i < 4000; ++i) triples.push_back({value(), value(), value()});
    for (const Triple& t : triples) {
        const float plain = FusedMultiplyAdd(t.a, t.b, t.c), library = std::fma(t.a, t.b, t.c);
        ASSERT_EQ(std::memcmp(&plain, &library, sizeof plain), 0) << t.a << " " << t.b << " " << t.c;
    }
    for (size_t first = 0; first < triples.size(); ++first) {
        alignas(16) float a[4], b[4], c[4], out[4];
        for (size_t lane = 0; lane < 4; ++lane) {
            const Triple& t = triples[(first + lane * 7) % triples.size()];
            a[lane] = t.a;
            b[lane] = t.b;
            c[lane] = t.c;
        }
        _mm_store_ps(
            out, ssimulacra2::FusedMultiplyAdd4(ssimulacra2::Widen(_mm_load_ps(a)), ssimulacra2::Widen(_mm_load_ps(b)),
                                                ssimulacra2::Widen(_mm_load_ps(c))));
        for (int lane = 0; lane < 4; ++lane) {
            const float plain = FusedMultiplyAdd(a[lane], b[lane], c[lane]);
            ASSERT_EQ(std::memcmp(&plain, &out[lane], sizeof plain), 0) << a[lane] << " " << b[lane] << " " << c[lane];
        }
    }
#else
    GTEST_SKIP() << "no SSE2";
#endif
}

TEST(Ssimulacra2Kernels, BlurAlongRowsAndDownColumnsEqualsPlain) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::blurRows)) {
        Random random(1);
        for (int32_t width : kWidths)
            for (int32_t rows : {1, 2, 3, 5, 8}) {
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

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/kernel_table.h"
#include "codec/quantise.h"
#include "codec/quantiser_rules.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using Block = std::array<int32_t, 64>;
using testing::Random;

// Largest AC coefficient magnitude ForwardDct gives for host samples, with
// a margin: the quantiser's stated domain is 40000.
constexpr int32_t kCoefficientLimit = 32770;

// Every quantiser scale a host can select, both mappings.
std::vector<int32_t> AllScales() {
    std::vector<int32_t> scales;
    for (int32_t nonLinear = 0; nonLinear < 2; ++nonLinear)
        for (int32_t code = 1; code <= 31; ++code) scales.push_back(QuantiserScale(code, nonLinear));
    return scales;
}

struct Matrix {
    int32_t w[64];
};

Matrix Uniform(int32_t v) {
    Matrix m;
    for (int32_t& e : m.w) e = v;
    return m;
}

Matrix RandomMatrix(Random& random) {
    Matrix m;
    for (int32_t& e : m.w) e = random.OneIn(4) ? random.Between(1, 16) : random.Between(1, kMaxMatrixEntry);
    return m;
}

// Every build of the quantiser and of its reconstruction: every check
// below runs on each, against the integer definitions of quantise.cpp.
const auto kQuantisers = testing::EveryBuildOf(&kernels::KernelTable::quantise);
const auto kDequantisers = testing::EveryBuildOf(&kernels::KernelTable::dequantise);

void ExpectQuantiseEqual(const Block& input, const Matrix& m, int32_t q, const kernels::QuantiserTables& tables) {
    Block plain = input;
    QuantiseBlock(plain.data(), m.w, q);
    uint64_t expected = 0;
    for (int i = 0; i < 64; ++i) expected |= uint64_t{plain[static_cast<size_t>(i)] != 0} << i;
    for (const auto& quantise : kQuantisers) {
        Block quick = input;
        const uint64_t nonZero = quantise.kernel(quick.data(), tables);
        ASSERT_EQ(plain, quick) << quantise.build << " q " << q;
        ASSERT_EQ(expected, nonZero) << quantise.build << " q " << q;
    }
}

void ExpectDequantiseEqual(const Block& input, const Matrix& m, int32_t q, const kernels::QuantiserTables& tables) {
    Block plain = input;
    DequantiseBlock(plain.data(), m.w, q);
    for (const auto& dequantise : kDequantisers) {
        Block quick = input;
        dequantise.kernel(quick.data(), tables);
        ASSERT_EQ(plain, quick) << dequantise.build << " q " << q;
    }
}

// Sweeps every coefficient value a host can produce through divisors from
// the smallest (1) to the largest (4095 x 112), where a reciprocal that is
// a hair too small or too large would first show.
TEST(FastQuantise, EqualsPlainForEveryCoefficientValue) {
    const std::vector<int32_t> weights = {1, 2, 3, 5, 7, 8, 13, 16, 27, 83, 255, 256, 1000, 2049, 4093, 4095};
    for (int32_t q : AllScales()) {
        if (q != 1 && q != 2 && q != 3 && q != 62 && q != 112 && q != 7) continue;  // the sweep is long
        for (int32_t w : weights) {
            const Matrix m = Uniform(w);
            kernels::QuantiserTables tables;
            kernels::PrepareQuantiser(m.w, q, tables);
            Block b{};
            int fill = 1;
            for (int32_t f = -kCoefficientLimit; f <= kCoefficientLimit; ++f) {
                b[static_cast<size_t>(fill++)] = f;
                if (fill == 64 || f == kCoefficientLimit) {
                    ExpectQuantiseEqual(b, m, q, tables);
                    fill = 1;
                }
            }
        }
    }
}

// Coefficients just around the points where the quotient crosses an
// integer, for every scale and many matrices: n = (d >> 1) + 16 F lands on
// k x d - 1, k x d or k x d + 1 whenever such an F exists.
TEST(FastQuantise, EqualsPlainAtQuotientBoundaries) {
    Random random(11);
    for (int32_t q : AllScales()) {
        for (int trial = 0; trial < 12; ++trial) {
            const Matrix m = trial == 0 ? Uniform(kMaxMatrixEntry) : trial == 1 ? Uniform(1) : RandomMatrix(random);
            kernels::QuantiserTables tables;
            kernels::PrepareQuantiser(m.w, q, tables);
            for (int n = 0; n < 40; ++n) {
                Block b{};
                for (int i = 1; i < 64; ++i) {
                    const int64_t d = int64_t{m.w[i]} * q;
                    const int64_t maxK = (16 * int64_t{kCoefficientLimit}) / d;
                    const int64_t k = random.Between(static_cast<int32_t>(-maxK), static_cast<int32_t>(maxK));
                    const int64_t target = k * d + random.Between(-1, 1) - (d >> 1);
                    int64_t f = target / 16;
                    if (f > kCoefficientLimit) f = kCoefficientLimit;
                    if (f < -kCoefficientLimit) f = -kCoefficientLimit;
                    b[static_cast<size_t>(i)] = static_cast<int32_t>(f + random.Between(-1, 1));
                }
                b[0] = random.Between(-16384, 16384);
                ExpectQuantiseEqual(b, m, q, tables);
            }
        }
    }
}

TEST(FastDequantise, EqualsPlainOnLevelsOfEverySize) {
    Random random(12);
    for (int32_t q : AllScales()) {
        for (int trial = 0; trial < 6; ++trial) {
            const Matrix m = trial == 0 ? Uniform(kMaxMatrixEntry) : trial == 1 ? Uniform(1) : RandomMatrix(random);
            kernels::QuantiserTables tables;
            kernels::PrepareQuantiser(m.w, q, tables);
            for (int n = 0; n < 60; ++n) {
                Block b{};
                for (int i = 0; i < 64; ++i) {
                    const int kind = random.Between(0, 5);
                    int32_t v = 0;
                    if (kind == 1) v = random.Between(-3, 3);
                    if (kind == 2) v = random.Between(-600, 600);
                    if (kind == 3) {  // around the saturation limits
                        const int32_t d = m.w[i] * q;
                        const int32_t edge = (2048 * 16) / d;
                        v = random.Between(-edge - 2, edge + 2);
                    }
                    if (kind == 4) v = random.Between(INT_MIN, INT_MAX);
                    b[static_cast<size_t>(i)] = v;
                }
                b[0] = random.Between(-20000, 20000);
                ExpectDequantiseEqual(b, m, q, tables);
            }
        }
    }
}

// Mismatch control turns on the parity of the saturated sum, including
// sums of saturated coefficients and coefficient 63 at both limits.
TEST(FastDequantise, EqualsPlainOnMismatchCases) {
    const Matrix m = Uniform(16);
    kernels::QuantiserTables tables;
    kernels::PrepareQuantiser(m.w, 2, tables);
    for (int32_t dc : {0, 1, 1023, 1024, 2047, 2048, -2048, -2049, INT_MAX, INT_MIN})
        for (int32_t last : {0, 1, -1, 2047, -2048, 1000000, -1000000, INT_MAX, INT_MIN}) {
            Block b{};
            b[0] = dc;
            b[63] = last;
            ExpectDequantiseEqual(b, m, 2, tables);
        }
}

// Blocks without AC levels skip dequantisation and the transform. Every DC
// level that dequantisation can see unsaturated (both parities, so with and
// without the mismatch toggle at index 63), the saturation edges, and
// levels far beyond them, for a few matrices and scales (the DC ignores
// them, which this also checks).
TEST(FastReconstructFlat, EqualsDequantiseThenInverseForEveryDcLevel) {
    const auto flatBlocks = testing::EveryBuildOf(&kernels::KernelTable::reconstructFlat);
    std::vector<int32_t> levels;
    for (int32_t dc = -4200; dc <= 4200; ++dc) levels.push_back(dc);
    for (int32_t dc : {INT_MIN, INT_MIN + 1, -1000000, 1000000, INT_MAX - 1, INT_MAX}) levels.push_back(dc);
    Random random(77);
    for (int32_t q : {1, 16, 112}) {
        const Matrix m = RandomMatrix(random);
        for (int32_t dc : levels) {
            Block plain{};
            plain[0] = dc;
            DequantiseBlock(plain.data(), m.w, q);
            InverseDct(plain.data());
            for (const auto& reconstruct : flatBlocks) {
                Block quick{};
                quick[0] = dc;
                reconstruct.kernel(quick.data());
                ASSERT_EQ(plain, quick) << reconstruct.build << " DC level " << dc << " q " << q;
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

namespace vardelk {
namespace {

// The real encoders' rules: the tables and every build of the symmetric
// kernel against each rule written as its encoder writes it, for every
// coefficient value, over the extreme weights and scales where a
// reciprocal or a rounding offset would first go wrong.
TEST(SymmetricQuantise, EveryRuleAndBuildEqualsTheEncodersArithmetic) {
    const QuantiserRule rules[] = {QuantiserRule::kFfmpeg, QuantiserRule::kMpeg2enc, QuantiserRule::kTestModel};
    const std::vector<int32_t> weights = {1, 2, 3, 7, 8, 16, 27, 83, 254, 255, 1000, 4095};
    const auto symmetricQuantisers = testing::EveryBuildOf(&kernels::KernelTable::quantiseSymmetric);
    // The same rule in integer products, for ffmpeg's tables only.
    const auto reciprocalQuantisers = testing::EveryBuildOf(&kernels::KernelTable::quantiseReciprocal);
    Random random(5);
    for (QuantiserRule rule : rules)
        for (int32_t q : {1, 2, 3, 8, 31, 62, 112})
            for (int32_t w : weights) {
                Matrix m = Uniform(w);
                if (w == 27) m = RandomMatrix(random);
                kernels::QuantiserTables tables;
                kernels::PrepareQuantiser(rule, m.w, q, tables);
                Block b{};
                int fill = 1;
                // ffmpeg's rule works on the accurate transform's 8 x larger
                // coefficients; steps coprime to 8 reach every residue.
                const bool accurate = rule == QuantiserRule::kFfmpeg;
                const int32_t limit = accurate ? 8 * kCoefficientLimit : kCoefficientLimit;
                const int32_t step = accurate ? (w > 64 ? 7 : 17) : (w > 64 ? 1 : 3);
                for (int32_t f = -limit; f <= limit; f += step) {
                    b[static_cast<size_t>(fill++)] = f;
                    if (fill < 64 && f + step <= limit) continue;
                    b[0] = random.Between(-2048, 2047);
                    Block expected = b;
                    QuantiseBlockByRule(rule, expected.data(), m.w, q);
                    for (const auto* kernels : {&symmetricQuantisers, &reciprocalQuantisers}) {
                        if (kernels == &reciprocalQuantisers && rule != QuantiserRule::kFfmpeg) continue;
                        for (const auto& quantise : *kernels) {
                            Block quick = b;
                            const uint64_t nonZero = quantise.kernel(quick.data(), tables);
                            ASSERT_EQ(expected, quick)
                                << quantise.build << " rule " << int(rule) << " q " << q << " w " << w;
                            for (int i = 0; i < 64; ++i)
                                ASSERT_EQ((nonZero >> i) & 1, uint64_t{expected[static_cast<size_t>(i)] != 0});
                        }
                    }
                    fill = 1;
                }
            }
}

// ffmpeg's rule in integer products takes any coefficient: the largest
// magnitudes (-2^31 among them) at even and odd positions beside small
// ones, with the largest multiplier (weight 1, scale 1) and others.
TEST(ReciprocalQuantise, EveryBuildTakesAnyCoefficient) {
    const auto reciprocalQuantisers = testing::EveryBuildOf(&kernels::KernelTable::quantiseReciprocal);
    const int32_t extremes[] = {INT_MIN, INT_MIN + 1, INT_MAX, -1, 0, 5, 1 << 30, -(1 << 30)};
    Random random(6);
    for (int32_t q : {1, 2, 112})
        for (int32_t w : {1, 3, 4095}) {
            const Matrix m = Uniform(w);
            kernels::QuantiserTables tables;
            kernels::PrepareQuantiser(QuantiserRule::kFfmpeg, m.w, q, tables);
            for (int n = 0; n < 64; ++n) {
                Block b;
                for (int32_t& v : b) v = n % 2 ? random.Between(INT_MIN, INT_MAX) : extremes[random.Between(0, 7)];
                Block expected = b;
                QuantiseBlockByRule(QuantiserRule::kFfmpeg, expected.data(), m.w, q);
                for (const auto& quantise : reciprocalQuantisers) {
                    Block quick = b;
                    quantise.kernel(quick.data(), tables);
                    ASSERT_EQ(expected, quick) << quantise.build << " q " << q << " w " << w << " block " << n;
                }
            }
        }
}

}  // namespace
}  // namespace vardelk

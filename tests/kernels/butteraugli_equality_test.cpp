// The Butteraugli kernels of every build against the plain ones, bit for
// bit, on widths around the vector sizes and every blur the measure uses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "quality/butteraugli_blur.h"
#include "quality/butteraugli_kernels.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using butteraugli::KernelTable;
using butteraugli::MaltaForm;
using testing::EveryBuildOf;
using testing::Random;

const int32_t kWidths[] = {1, 3, 4, 7, 8, 9, 12, 15, 16, 17, 19, 23, 31, 33, 34, 35, 40, 64, 101};

// Band values of both signs around the measure's ranges, with exact zeros
// and repeated values (ties in the filters' sums).
std::vector<float> Samples(Random& random, size_t count, float scale) {
    std::vector<float> v(count);
    for (float& s : v) {
        switch (random.Between(0, 9)) {
            case 0:
                s = 0.0f;
                break;
            case 1:
                s = scale;
                break;
            default:
                s = scale * float(random.Between(-(1 << 20), 1 << 20)) / float(1 << 20);
                break;
        }
    }
    return v;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(ButteraugliKernels, BlursAlongRowsAndDownColumnsEqualPlainForEveryKernel) {
    for (float sigma : {1.56416327805f, 2.7f, 3.22489901262f, 7.15593339443f}) {
        const butteraugli::BlurKernel blur = butteraugli::GaussianKernel(sigma);
        for (const auto& kernel : EveryBuildOf(&KernelTable::blurRow)) {
            Random random(1);
            for (int32_t width : kWidths) {
                const std::vector<float> in = Samples(random, size_t(width), 40.0f);
                std::vector<float> plain(in.size(), -1.0f), out = plain;
                kernel.plain(in.data(), plain.data(), width, blur);
                kernel.kernel(in.data(), out.data(), width, blur);
                EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " sigma " << sigma << " width " << width;
            }
        }
        for (const auto& kernel : EveryBuildOf(&KernelTable::blurColumns)) {
            Random random(2);
            for (int32_t width : kWidths) {
                const std::vector<float> in = Samples(random, size_t(width) * size_t(blur.size), 40.0f);
                std::vector<float> plain(size_t(width), -1.0f), out = plain;
                kernel.plain(in.data(), width, plain.data(), width, blur);
                kernel.kernel(in.data(), width, out.data(), width, blur);
                EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " sigma " << sigma << " width " << width;
            }
        }
    }
}

// Distorted values on both sides of the original's and at the edges of the
// one-sided terms (0.55 and 1.05 of its size), for originals of both signs.
TEST(ButteraugliKernels, MaltaInputEqualsPlain) {
    const butteraugli::MaltaWeights weights{0.37f, 0.21f, 5.0f};
    for (const auto& kernel : EveryBuildOf(&KernelTable::maltaInput)) {
        Random random(5);
        for (int32_t count : kWidths) {
            const std::vector<float> v0 = Samples(random, size_t(count), 30.0f);
            std::vector<float> v1 = Samples(random, size_t(count), 30.0f);
            for (int32_t x = 0; x < count; x += 3) {
                const float factor = x % 2 ? 0.55f : 1.05f;
                v1[size_t(x)] = factor * v0[size_t(x)];
            }
            std::vector<float> plain(size_t(count), -1.0f), out = plain;
            kernel.plain(v0.data(), v1.data(), plain.data(), count, weights);
            kernel.kernel(v0.data(), v1.data(), out.data(), count, weights);
            EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " count " << count;
        }
    }
}

TEST(ButteraugliKernels, MaltaFiltersEqualPlainInBothForms) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::maltaRow)) {
        Random random(3);
        for (int32_t width : kWidths) {
            if (width < 9) continue;
            for (MaltaForm form : {MaltaForm::kHigh, MaltaForm::kLow}) {
                const std::vector<float> diffs = Samples(random, size_t(width) * 9, 3.0f);
                const std::vector<float> acc = Samples(random, size_t(width), 100.0f);
                std::vector<float> plain = acc, out = acc;
                const float* centre = diffs.data() + 4 * size_t(width);
                kernel.plain(centre, width, plain.data(), 4, width - 4, form);
                kernel.kernel(centre, width, out.data(), 4, width - 4, form);
                EXPECT_TRUE(SameBits(plain, out)) << kernel.build << " width " << width;
            }
        }
    }
}

// Dark, bright and out-of-range light (negative mixtures meet the floors).
TEST(ButteraugliKernels, OpsinDynamicsEqualPlain) {
    for (const auto& kernel : EveryBuildOf(&KernelTable::opsinRow)) {
        Random random(4);
        for (int32_t count : kWidths) {
            std::vector<float> in[6], plain[3], out[3];
            for (std::vector<float>& p : in) {
                p = Samples(random, size_t(count), 1.0f);
                for (float& v : p) v = v < 0 ? (random.OneIn(4) ? v : -v) : v;
            }
            for (int c = 0; c < 3; ++c) plain[c] = out[c] = std::vector<float>(size_t(count), -1.0f);
            const float* rgb[3] = {in[0].data(), in[1].data(), in[2].data()};
            const float* blurred[3] = {in[3].data(), in[4].data(), in[5].data()};
            float* plainOut[3] = {plain[0].data(), plain[1].data(), plain[2].data()};
            float* kernelOut[3] = {out[0].data(), out[1].data(), out[2].data()};
            kernel.plain(rgb, blurred, plainOut, count);
            kernel.kernel(rgb, blurred, kernelOut, count);
            for (int c = 0; c < 3; ++c) EXPECT_TRUE(SameBits(plain[c], out[c])) << kernel.build << " count " << count;
        }
    }
}

}  // namespace
}  // namespace vardelk

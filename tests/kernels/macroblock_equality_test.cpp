#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/kernels/kernel_table.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using testing::Random;

struct PairUnderTest {
    std::string name;
    kernels::GatherFunction plainGather, fastGather;
    kernels::ScatterFunction plainScatter, fastScatter;
};

// Both layouts in every build, each gather with its scatter.
std::vector<PairUnderTest> Pairs() {
    const auto gathers = testing::EveryBuildOf(&kernels::KernelTable::gather);
    const auto scatters = testing::EveryBuildOf(&kernels::KernelTable::scatter);
    std::vector<PairUnderTest> pairs;
    for (size_t build = 0; build < gathers.size(); ++build)
        for (size_t layout : {0, 1}) {
            const auto& g = gathers[build];
            const auto& s = scatters[build];
            pairs.push_back({std::string(layout == 0 ? "progressive " : "interlaced ") + g.build, g.plain[layout],
                             g.kernel[layout], s.plain[layout], s.kernel[layout]});
        }
    return pairs;
}
const std::vector<PairUnderTest> kPairs = Pairs();

bool SamePixels(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].y != b[i].y || a[i].cb != b[i].cb || a[i].cr != b[i].cr) return false;
    return true;
}

// Every remaining size from 1 to beyond a macroblock, in a frame wider than
// the macroblock, with components over the whole 16-bit range; the buffer
// starts from a pattern so that untouched entries are checked too, and the
// destination from a sentinel so that stray writes show.
TEST(FastMacroblock, GatherAndScatterEqualPlainForEveryRemainingSize) {
    Random random(31);
    const int32_t stride = 40, rows = 24;
    std::vector<Pixel> frame(static_cast<size_t>(stride) * rows);
    for (Pixel& p : frame)
        p = Pixel{static_cast<int16_t>(random.Between(-32768, 32767)),
                  static_cast<int16_t>(random.Between(-32768, 32767)),
                  static_cast<int16_t>(random.Between(-32768, 32767))};
    const Pixel* origin = frame.data() + stride * 3 + 5;
    for (const PairUnderTest& pair : kPairs) {
        for (int32_t h = 1; h <= 19; ++h) {
            for (int32_t w = 1; w <= 19; ++w) {
                MacroblockBuffer plain, quick;
                for (int i = 0; i < kMacroblockValues; ++i) plain.value[i] = quick.value[i] = i * 7 - 1000;
                pair.plainGather(origin, plain, w, h, stride);
                pair.fastGather(origin, quick, w, h, stride);
                for (int i = 0; i < kMacroblockValues; ++i)
                    ASSERT_EQ(plain.value[i], quick.value[i]) << pair.name << " " << w << "x" << h << " at " << i;

                // Scatter reconstructed samples (-256..255) into sentinel frames.
                MacroblockBuffer samples;
                for (int32_t& v : samples.value) v = random.Between(-256, 255);
                std::vector<Pixel> plainOut(frame.size(), Pixel{1234, -1234, 4321});
                std::vector<Pixel> fastOut = plainOut;
                pair.plainScatter(samples, plainOut.data() + stride * 2 + 7, w, h, stride);
                pair.fastScatter(samples, fastOut.data() + stride * 2 + 7, w, h, stride);
                ASSERT_TRUE(SamePixels(plainOut, fastOut)) << pair.name << " " << w << "x" << h;
            }
        }
    }
}

// Whole macroblocks (the vector path) over every 16-bit component value:
// the values 0..65535 laid out in turn over the luma, cb and cr of a run of
// macroblocks, so each value meets the even and odd columns and the upper
// and lower rows that chroma combines; then uniform extreme frames, where
// the chroma sums are largest.
TEST(FastMacroblock, WholeMacroblockGathersEqualPlainForEveryComponentValue) {
    const int32_t stride = 16 * 8, rows = 16;
    std::vector<Pixel> frame(static_cast<size_t>(stride) * rows);
    const auto check = [&](const char* what) {
        for (const PairUnderTest& pair : kPairs)
            for (int32_t x = 0; x < stride; x += 16) {
                MacroblockBuffer plain{}, quick{};
                pair.plainGather(frame.data() + x, plain, 16, 16, stride);
                pair.fastGather(frame.data() + x, quick, 16, 16, stride);
                for (int i = 0; i < kMacroblockValues; ++i)
                    ASSERT_EQ(plain.value[i], quick.value[i]) << pair.name << " " << what << " x " << x << " at " << i;
            }
    };
    for (int32_t start = 0; start < 65536; start += static_cast<int32_t>(frame.size())) {
        for (int component = 0; component < 3; ++component) {
            int32_t value = start;
            for (Pixel& p : frame) {
                const int16_t v = static_cast<int16_t>(static_cast<uint16_t>(value++ & 0xFFFF));
                (component == 0 ? p.y : component == 1 ? p.cb : p.cr) = v;
                (component == 0 ? p.cb : p.y) = static_cast<int16_t>(-v - 1);
            }
            check("sweep");
        }
    }
    for (int16_t a : {int16_t{-32768}, int16_t{32767}})
        for (int16_t b : {int16_t{-32768}, int16_t{32767}}) {
            for (size_t i = 0; i < frame.size(); ++i) {
                const int16_t v = (i / stride) % 2 == 0 ? a : b;  // rows alternate
                frame[i] = Pixel{v, v, v};
            }
            check("extremes");
        }
}

// Whole-macroblock scatters of samples beyond the reconstructed range: every
// value whose x16 fits 16 bits, and large values where only the low 16 bits
// of x16 survive (the vector path must wrap exactly as the plain one).
TEST(FastMacroblock, WholeMacroblockScattersEqualPlainForEverySampleValue) {
    Random random(32);
    const int32_t stride = 24, rows = 18;
    for (const PairUnderTest& pair : kPairs) {
        for (int32_t round = 0; round < 24; ++round) {
            MacroblockBuffer samples;
            for (int i = 0; i < kMacroblockValues; ++i)
                samples.value[i] = round < 11 ? (round * kMacroblockValues + i) % 4096 - 2048
                                              : random.Between(-(1 << 27) + 1, (1 << 27) - 1);
            std::vector<Pixel> plainOut(static_cast<size_t>(stride) * rows, Pixel{1234, -1234, 4321});
            std::vector<Pixel> fastOut = plainOut;
            pair.plainScatter(samples, plainOut.data() + stride + 3, 16, 16, stride);
            pair.fastScatter(samples, fastOut.data() + stride + 3, 16, 16, stride);
            ASSERT_TRUE(SamePixels(plainOut, fastOut)) << pair.name << " round " << round;
        }
    }
}

}  // namespace
}  // namespace vardelk

#include <gtest/gtest.h>

#include <vector>

#include "codec/fast/fast_kernels.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "tests/kernels/random_source.h"

namespace vardelk {
namespace {

using testing::RandomSource;

using Gather = void (*)(const YcPixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
using Scatter = void (*)(const MacroblockBuffer&, YcPixel*, int32_t, int32_t, int32_t);

struct PairUnderTest {
    const char* name;
    Gather plainGather, fastGather;
    Scatter plainScatter, fastScatter;
};

const PairUnderTest kPairs[] = {
    {"progressive", GatherMacroblockProgressive, fast::GatherMacroblockProgressive, ScatterMacroblockProgressive,
     fast::ScatterMacroblockProgressive},
    {"interlaced", GatherMacroblockInterlaced, fast::GatherMacroblockInterlaced, ScatterMacroblockInterlaced,
     fast::ScatterMacroblockInterlaced},
};

bool SamePixels(const std::vector<YcPixel>& a, const std::vector<YcPixel>& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].y != b[i].y || a[i].cb != b[i].cb || a[i].cr != b[i].cr) return false;
    return true;
}

// Every remaining size from 1 to beyond a macroblock, in a frame wider than
// the macroblock, with components over the whole 16-bit range; the buffer
// starts from a pattern so that untouched entries are checked too, and the
// destination from a sentinel so that stray writes show.
TEST(FastMacroblock, GatherAndScatterEqualPlainForEveryRemainingSize) {
    RandomSource random(31);
    const int32_t stride = 40, rows = 24;
    std::vector<YcPixel> frame(static_cast<size_t>(stride) * rows);
    for (YcPixel& p : frame)
        p = YcPixel{static_cast<int16_t>(random.Between(-32768, 32767)),
                    static_cast<int16_t>(random.Between(-32768, 32767)),
                    static_cast<int16_t>(random.Between(-32768, 32767))};
    const YcPixel* origin = frame.data() + stride * 3 + 5;
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
                std::vector<YcPixel> plainOut(frame.size(), YcPixel{1234, -1234, 4321});
                std::vector<YcPixel> fastOut = plainOut;
                pair.plainScatter(samples, plainOut.data() + stride * 2 + 7, w, h, stride);
                pair.fastScatter(samples, fastOut.data() + stride * 2 + 7, w, h, stride);
                ASSERT_TRUE(SamePixels(plainOut, fastOut)) << pair.name << " " << w << "x" << h;
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "tests/codec/test_support.h"

namespace vardelk {
namespace {

using Gather = void (*)(const Pixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
using Scatter = void (*)(const MacroblockBuffer&, Pixel*, int32_t, int32_t, int32_t);

// A picture of exactly width x height pixels (so that any read beyond it is
// caught by the address sanitizer) whose every component is positive.
std::vector<Pixel> PositivePicture(int32_t width, int32_t height) {
    std::vector<Pixel> picture(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < picture.size(); ++i) {
        const int16_t v = static_cast<int16_t>(16 * (1 + i % 200));
        picture[i] = Pixel{v, v, v};
    }
    return picture;
}

MacroblockBuffer Gathered(Gather gather, const std::vector<Pixel>& picture, int32_t w, int32_t h) {
    MacroblockBuffer buffer{};
    gather(picture.data(), buffer, w, h, w);
    return buffer;
}

int32_t Entry(const MacroblockBuffer& buffer, int block, int row, int column) {
    return buffer.Block(block)[row * 8 + column];
}

// Which entries a gather fills, as a rectangle per block (columns x rows).
struct Extent {
    int32_t columns, rows;
};

void ExpectFilled(const MacroblockBuffer& buffer, int block, Extent extent, int32_t w, int32_t h) {
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            const bool inside = i < extent.rows && j < extent.columns;
            ASSERT_EQ(Entry(buffer, block, i, j) != 0, inside)
                << "w " << w << " h " << h << " block " << block << " entry " << i << "," << j;
        }
}

TEST(ProgressiveGather, FillsExactlyTheExtentsOfEveryRemainingSize) {
    for (int32_t h = 1; h <= 20; ++h)
        for (int32_t w = 1; w <= 20; ++w) {
            const MacroblockBuffer b = Gathered(GatherMacroblockProgressive, PositivePicture(w, h), w, h);
            const int32_t W = std::min(w, 16), H = std::min(h, 16);
            auto clip = [](int32_t v) { return std::clamp(v, 0, 8); };
            ExpectFilled(b, 0, {clip(W), clip(H)}, w, h);
            ExpectFilled(b, 1, {clip(W - 8), clip(H)}, w, h);
            ExpectFilled(b, 2, {clip(W), clip(H - 8)}, w, h);
            ExpectFilled(b, 3, {clip(W - 8), clip(H - 8)}, w, h);
            ExpectFilled(b, kCbBlock, {W / 2, H / 2}, w, h);
            ExpectFilled(b, kCrBlock, {W / 2, H / 2}, w, h);
        }
}

TEST(InterlacedGather, FillsExactlyTheExtentsOfEveryRemainingSize) {
    for (int32_t h = 1; h <= 20; ++h)
        for (int32_t w = 1; w <= 20; ++w) {
            const MacroblockBuffer b = Gathered(GatherMacroblockInterlaced, PositivePicture(w, h), w, h);
            const int32_t W = std::min(w, 16), H = std::min(h, 16);
            const int32_t top = (H + 1) / 2, bottom = H / 2;
            const int32_t left = std::min(W, 8), right = std::max(W - 8, 0);
            ExpectFilled(b, 0, {left, top}, w, h);
            ExpectFilled(b, 1, {right, top}, w, h);
            ExpectFilled(b, 2, {left, bottom}, w, h);
            ExpectFilled(b, 3, {right, bottom}, w, h);
            // A field with no line in the last group yields 0: a bottom
            // entry is filled only where its group has a second row.
            for (int block : {kCbBlock, kCrBlock})
                for (int i = 0; i < 8; ++i)
                    for (int j = 0; j < 8; ++j) {
                        const int32_t firstRow = 4 * (i / 2) + i % 2;
                        const bool inside = j < std::min(8, (W + 1) / 2) && firstRow < H;
                        ASSERT_EQ(Entry(b, block, i, j) != 0, inside) << w << "x" << h << " " << i << "," << j;
                    }
        }
}

// The scatter writes every component of every inside pixel and nothing
// else, whatever the destination held before.
void ExpectScatterCoversInsideOnly(Scatter scatter) {
    const int32_t stride = 24;
    for (int32_t h = 1; h <= 20; ++h)
        for (int32_t w = 1; w <= 20; ++w) {
            std::vector<Pixel> frame(static_cast<size_t>(stride) * 20, Pixel{7, 7, 7});
            MacroblockBuffer buffer;
            std::fill(std::begin(buffer.value), std::end(buffer.value), 3);
            scatter(buffer, frame.data(), w, h, stride);
            for (int32_t m = 0; m < 20; ++m)
                for (int32_t n = 0; n < stride; ++n) {
                    const Pixel& p = frame[static_cast<size_t>(m) * stride + n];
                    const int16_t expected = m < std::min(h, 16) && n < std::min(w, 16) ? 48 : 7;
                    ASSERT_TRUE(p.y == expected && p.cb == expected && p.cr == expected)
                        << w << "x" << h << " pixel " << m << "," << n;
                }
        }
}

TEST(ProgressiveScatter, WritesAllInsidePixelsAndNothingElse) {
    ExpectScatterCoversInsideOnly(ScatterMacroblockProgressive);
}

TEST(InterlacedScatter, WritesAllInsidePixelsAndNothingElse) {
    ExpectScatterCoversInsideOnly(ScatterMacroblockInterlaced);
}

TEST(ProgressiveGather, SamplesRoundDownAndChromaIsAVerticalPairMean) {
    std::vector<Pixel> picture(4 * 2);
    const int16_t lumas[4] = {15, 16, -1, -17};
    for (int n = 0; n < 4; ++n) picture[n].y = lumas[n];
    const int16_t pairs[2][2] = {{160, 96}, {-1, -1}};
    for (int j = 0; j < 2; ++j) {
        picture[2 * j].cb = pairs[j][0];
        picture[4 + 2 * j].cb = pairs[j][1];
        picture[2 * j + 1].cb = 30000;  // right column of the square: never read
    }
    MacroblockBuffer b{};
    GatherMacroblockProgressive(picture.data(), b, 4, 2, 4);
    EXPECT_EQ(Entry(b, 0, 0, 0), 0);
    EXPECT_EQ(Entry(b, 0, 0, 1), 1);
    EXPECT_EQ(Entry(b, 0, 0, 2), -1);
    EXPECT_EQ(Entry(b, 0, 0, 3), -2);
    EXPECT_EQ(Entry(b, kCbBlock, 0, 0), 8);
    EXPECT_EQ(Entry(b, kCbBlock, 0, 1), -1);

    const std::pair<int16_t, int16_t> more[] = {{15, 16}, {16, 16}};
    const int32_t expected[] = {0, 1};
    for (int k = 0; k < 2; ++k) {
        std::vector<Pixel> pair(2);
        pair[0].cr = more[k].first;
        pair[1].cr = more[k].second;
        MacroblockBuffer c{};
        GatherMacroblockProgressive(pair.data(), c, 1, 2, 1);
        EXPECT_EQ(Entry(c, kCrBlock, 0, 0), 0) << "one column: no chroma entry";
        GatherChromaBlocks(pair.data(), c.Block(kCbBlock), 1, 1, 1);
        EXPECT_EQ(Entry(c, kCrBlock, 0, 0), expected[k]);
    }
}

TEST(ProgressiveScatter, ChromaCoversTwoByTwoSquaresCutAtTheEdge) {
    MacroblockBuffer b{};
    for (int i = 0; i < 64; ++i) {
        b.Block(kCbBlock)[i] = i;
        b.Block(kCrBlock)[i] = -i;
    }
    b.Block(0)[0] = -256;
    b.Block(0)[1] = 255;
    std::vector<Pixel> frame(5 * 3);
    ScatterMacroblockProgressive(b, frame.data(), 5, 3, 5);
    EXPECT_EQ(frame[0].y, -4096);
    EXPECT_EQ(frame[1].y, 4080);
    EXPECT_EQ(frame[2 * 5 + 4].cb, 16 * (1 * 8 + 2)) << "row 2 from chroma row 1, column 4 from chroma column 2";
    EXPECT_EQ(frame[2 * 5 + 4].cr, -16 * (1 * 8 + 2));
    EXPECT_EQ(frame[1 * 5 + 1].cb, 0);
}

// Builds a 16-column picture whose given rows carry the given chroma in
// column 0; everything else is 0.
std::vector<Pixel> ChromaColumn(int32_t height, const std::vector<std::pair<int, int16_t>>& rows) {
    std::vector<Pixel> picture(static_cast<size_t>(16) * height);
    for (auto [row, value] : rows) picture[static_cast<size_t>(row) * 16].cb = value;
    return picture;
}

TEST(InterlacedGather, FieldChromaWeightsThreeToOne) {
    MacroblockBuffer b{};
    GatherMacroblockInterlaced(ChromaColumn(16, {{0, 160}, {2, 96}, {1, 96}, {3, 160}}).data(), b, 16, 16, 16);
    EXPECT_EQ(Entry(b, kCbBlock, 0, 0), 9);
    EXPECT_EQ(Entry(b, kCbBlock, 1, 0), 9);
    GatherMacroblockInterlaced(ChromaColumn(16, {{4, -16}, {6, -16}, {5, -1}, {7, -1}}).data(), b, 16, 16, 16);
    EXPECT_EQ(Entry(b, kCbBlock, 2, 0), -1);
    EXPECT_EQ(Entry(b, kCbBlock, 3, 0), -1);
}

TEST(InterlacedGather, MissingRowsOfTheLastGroupStandInAsTheTableSays) {
    const int16_t r0 = 160, r1 = 320, r2 = 480, r4 = 800;
    struct Case {
        int32_t height;
        int32_t expected[4];  // chroma rows 0..3 of column 0
    };
    const Case cases[] = {
        {3, {(3 * r0 + r2 + 2) >> 6, r1 >> 4, 0, 0}},
        {2, {r0 >> 4, r1 >> 4, 0, 0}},
        {1, {r0 >> 4, 0, 0, 0}},
        {5, {(3 * r0 + r2 + 2) >> 6, (r1 + 3 * 640 + 2) >> 6, r4 >> 4, 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<int, int16_t>> rows;
        const int16_t values[5] = {r0, r1, r2, 640, r4};
        for (int m = 0; m < c.height; ++m) rows.push_back({m, values[m]});
        MacroblockBuffer b{};
        GatherMacroblockInterlaced(ChromaColumn(c.height, rows).data(), b, 16, c.height, 16);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Entry(b, kCbBlock, i, 0), c.expected[i]) << c.height << " row " << i;
    }
}

TEST(InterlacedGather, LumaFieldsAndOddWidthChroma) {
    std::vector<Pixel> picture(5 * 3);
    for (int m = 0; m < 3; ++m)
        for (int n = 0; n < 5; ++n) picture[m * 5 + n] = Pixel{int16_t(16 * (10 * m + n + 1)), 16, 16};
    MacroblockBuffer b{};
    GatherMacroblockInterlaced(picture.data(), b, 5, 3, 5);
    EXPECT_EQ(Entry(b, 0, 1, 4), 10 * 2 + 4 + 1) << "Y0 row 1 is macroblock row 2";
    EXPECT_EQ(Entry(b, 2, 0, 3), 10 * 1 + 3 + 1) << "Y2 row 0 is macroblock row 1";
    EXPECT_EQ(Entry(b, kCbBlock, 0, 2), 1) << "column 4 feeds chroma column 2";
    EXPECT_EQ(Entry(b, kCbBlock, 0, 3), 0);
}

TEST(InterlacedScatter, MapsPixelsToFieldBlocksAndFieldChromaRows) {
    MacroblockBuffer b{};
    b.Block(3)[2 * 8 + 1] = 77;
    b.Block(kCbBlock)[3 * 8 + 4] = 5;
    b.Block(kCrBlock)[3 * 8 + 4] = -6;
    std::vector<Pixel> frame(16 * 16);
    ScatterMacroblockInterlaced(b, frame.data(), 16, 16, 16);
    const Pixel& p = frame[5 * 16 + 9];
    EXPECT_EQ(p.y, 77 * 16);
    EXPECT_EQ(p.cb, 80);
    EXPECT_EQ(p.cr, -96);
    EXPECT_EQ(frame[7 * 16 + 8].cb, 80) << "bottom-field entry covers rows 5 and 7";
    EXPECT_EQ(frame[6 * 16 + 8].cb, 0);
}

TEST(Gathers, LeaveTheSourceUnchanged) {
    testing::Random random(9);
    std::vector<Pixel> picture(static_cast<size_t>(13) * 11);
    testing::FillExtreme(picture, random);
    const std::vector<Pixel> before = picture;
    MacroblockBuffer b{};
    GatherMacroblockInterlaced(picture.data(), b, 13, 11, 13);
    GatherMacroblockProgressive(picture.data(), b, 13, 11, 13);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), picture.begin(),
                           [](const Pixel& a, const Pixel& c) { return a.y == c.y && a.cb == c.cb && a.cr == c.cr; }));
}

}  // namespace
}  // namespace vardelk

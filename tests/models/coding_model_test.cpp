// The coding models' arithmetic on figures worked out by hand from each
// encoder's rule, the DC roundings that tell the rules apart, and the
// presets' names and defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/coding_model.h"
#include "codec/frame_coder.h"
#include "codec/macroblock_pipeline.h"
#include "codec/quantiser_rules.h"

namespace vardelk {
namespace {

using Block = std::array<int32_t, 64>;

// Level of one AC coefficient (index 1) under a rule with a uniform matrix.
int32_t Level(QuantiserRule rule, int32_t coefficient, int32_t weight, int32_t qs) {
    Block b{};
    b[1] = coefficient;
    std::array<int32_t, 64> w;
    w.fill(weight);
    QuantiseBlockByRule(rule, b.data(), w.data(), qs);
    return b[1];
}

TEST(QuantiserRules, HandWorkedLevels) {
    // ffmpeg on X = 8 F: r = 2^17 / 64 = 2048, b = (3 x 2^13 + 1024) / 2048
    // = 12, so |level| = ((|X| + 12) 2048) >> 16 = floor((|X| + 12) / 32).
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 1000, 16, 4), 31);
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, -1000, 16, 4), -31);
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 20, 16, 4), 1) << "(20 + 12) / 32 is exactly 1";
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 19, 16, 4), 0);
    // Its roundings at the finest step: W 19, qs 2 give r = 3449 (not
    // 3449.26) and b = 7 (not 7.125), so 12 stays 0 where 3/8 of a step
    // would make it 1; and 13 (20 x 3449 = 68980 >= 2^16) is 1.
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 12, 19, 2), 0);
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, -13, 19, 2), -1);
    // A step of 1, 2 or 4 would need r = 2^15 or more: ffmpeg keeps 32767.
    EXPECT_EQ(FfmpegStepOf(2, 1).reciprocal, 32767);
    EXPECT_EQ(FfmpegStepOf(1, 4).reciprocal, 32767);
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 100, 1, 2), 50) << "(100 + 1) 32767 >> 16";
    EXPECT_EQ(Level(QuantiserRule::kFfmpeg, 30000, 4095, 62), 0) << "a step past 2^17 wraps nothing";
    // mpeg2enc: (32 |F| + W qs) / (2 W qs), nearest with halves up.
    EXPECT_EQ(Level(QuantiserRule::kMpeg2enc, 10, 16, 4), 3) << "2.5 rounds up";
    EXPECT_EQ(Level(QuantiserRule::kMpeg2enc, -10, 16, 4), -3);
    EXPECT_EQ(Level(QuantiserRule::kMpeg2enc, 9, 16, 4), 2);
    // tm5: y = (32 |F| + W/2) / W = 20, then (y + (3 qs + 2) / 4) / (2 qs).
    EXPECT_EQ(Level(QuantiserRule::kTestModel, 10, 16, 4), 2) << "(20 + 3) / 8";
    EXPECT_EQ(Level(QuantiserRule::kTestModel, -12, 16, 4), -3) << "(24 + 3) / 8";
    // The filter: the offset whatever the sign, division toward zero.
    EXPECT_EQ(Level(QuantiserRule::kFilter, 10, 16, 2), 5);
    EXPECT_EQ(Level(QuantiserRule::kFilter, -10, 16, 2), -4);
    // Real encoders' levels stop at what an escape holds.
    for (QuantiserRule rule : {QuantiserRule::kFfmpeg, QuantiserRule::kMpeg2enc, QuantiserRule::kTestModel}) {
        EXPECT_EQ(Level(rule, 320000, 1, 1), kMaxAcLevel);
        EXPECT_EQ(Level(rule, -320000, 1, 1), -kMaxAcLevel);
    }
}

// Keeps the levels of the last macroblock.
class LevelSink final : public CoefficientSink {
public:
    bool Wants(CoefficientStage stage) const override { return stage == CoefficientStage::kQuantised; }
    void Take(CoefficientStage, int32_t, int32_t, const MacroblockBuffer& buffer) override { levels = buffer; }
    MacroblockBuffer levels{};
};

// DC levels of a macroblock whose luma DC coefficients are `luma` and
// whose chroma ones (signed, about zero) are `chroma`, at the standard's
// scale, as the model codes it (eight times them for ffmpeg's model, whose
// transform keeps 3 more fraction bits).
std::array<int32_t, 6> DcLevels(const CodingModel& model, int32_t luma, int32_t chroma) {
    MacroblockBuffer buffer{};
    const int32_t scale = model.rule == QuantiserRule::kFfmpeg ? 8 : 1;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) buffer.Block(b)[0] = scale * (b < kCbBlock ? luma : chroma);
    CodingSettings settings;
    settings.model = model;
    MacroblockPipeline pipeline;
    pipeline.Prepare(settings, kDefaultIntraMatrix);
    LevelSink sink;
    pipeline.Code(buffer, &sink, 0, 0);
    std::array<int32_t, 6> dc;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) dc[size_t(b)] = sink.levels.Block(b)[0];
    return dc;
}

// A DC of 1022 at 9 bits is 255.5 steps: ffmpeg rounds the whole DC halves
// up (256); mpeg2enc and tm5 round -2 about mid grey away from zero (255).
// Chroma arrives about zero, so -2 is the same sample level.
TEST(CodingModels, DcRoundingTellsTheRulesApart) {
    const auto at9 = [](EncoderPreset preset) {
        CodingModel m = PresetModel(preset);
        m.dcPrecision = 9;
        return m;
    };
    EXPECT_EQ(DcLevels(at9(EncoderPreset::kFfmpeg), 1022, -2), (std::array<int32_t, 6>{256, 256, 256, 256, 256, 256}));
    EXPECT_EQ(DcLevels(at9(EncoderPreset::kMpeg2enc), 1022, -2),
              (std::array<int32_t, 6>{255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(DcLevels(at9(EncoderPreset::kTestModel), 1026, 2),
              (std::array<int32_t, 6>{257, 257, 257, 257, 257, 257}));
    // Beyond the range: clamped to 0 .. 2^p - 1. The filter carries the DC unscaled.
    EXPECT_EQ(DcLevels(PresetModel(EncoderPreset::kFfmpeg), 4000, -3000)[0], 255);
    EXPECT_EQ(DcLevels(PresetModel(EncoderPreset::kFfmpeg), 4000, -3000)[4], 0);
    EXPECT_EQ(DcLevels(PresetModel(EncoderPreset::kFilter), 4000, -3000)[4], -3000);
}

TEST(CodingModels, PresetsNamesAndPredictors) {
    EXPECT_EQ(PresetModel(EncoderPreset::kFfmpeg), (CodingModel{QuantiserRule::kFfmpeg, 0, 8}));
    EXPECT_EQ(PresetModel(EncoderPreset::kMpeg2enc), (CodingModel{QuantiserRule::kMpeg2enc, 1, 9}));
    EXPECT_EQ(PresetModel(EncoderPreset::kTestModel), (CodingModel{QuantiserRule::kTestModel, 1, 8}));
    EncoderPreset preset;
    EXPECT_TRUE(ParsePreset("tm5", preset));
    EXPECT_EQ(preset, EncoderPreset::kTestModel);
    EXPECT_FALSE(ParsePreset("FFmpeg", preset));
    EXPECT_EQ(DescribeModel(PresetModel(EncoderPreset::kFilter)), "filter");
    EXPECT_EQ(DescribeModel(CodingModel{QuantiserRule::kFfmpeg, 1, 10}), "ffmpeg (intra_vlc 1, dc 10)");
    EXPECT_EQ(SafeModel(CodingModel{QuantiserRule::kFfmpeg, 7, 12}), (CodingModel{QuantiserRule::kFfmpeg, 1, 11}));
    // Predictors start at mid grey, except the filter's own DC.
    EXPECT_EQ(PresetModel(EncoderPreset::kFilter).DcPredictorReset(), 0);
    EXPECT_EQ(PresetModel(EncoderPreset::kFfmpeg).DcPredictorReset(), 128);
    EXPECT_EQ((CodingModel{QuantiserRule::kFilter, 1, 10}).DcPredictorReset(), 512);
    EXPECT_EQ((CodingModel{QuantiserRule::kFilter, 1, 12}).DcPredictorReset(), 0) << "as SafeModel codes it";
    // The end of block: 2 bits in the table of intra_vlc_format 0, 4 in the intra table.
    const Block empty{};
    EXPECT_EQ(AcBlockBits(empty.data(), AcCoding{0, 0}), 2);
    EXPECT_EQ(AcBlockBits(empty.data(), AcCoding{0, 1}), 4);
}

// Partial macroblocks: ffmpeg pads its picture by repeating the last column
// and row, so its model codes a 22x14 picture as it codes the 32x16 picture
// padded that way; the filter and the other models code it as the picture
// padded with zeros (black, no colour). The chroma is even over 2x2 squares,
// so that padding the pixels and padding the chroma samples agree.
TEST(CodingModels, PartialMacroblocksArePaddedAsTheEncoderPads) {
    constexpr int32_t kWidth = 22, kHeight = 14, kPaddedWidth = 32, kPaddedHeight = 16;
    std::vector<Pixel> picture(size_t{kWidth} * kHeight);
    uint32_t state = 1;
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            Pixel& p = picture[size_t(y * kWidth + x)];
            p.y = int16_t(16 * ((x * 37 + y * 11) % 200 + int32_t(state >> 27)));
            p.cb = int16_t(16 * ((x / 2 * 23 + y / 2 * 5) % 120 - 60));
            p.cr = int16_t(16 * ((x / 2 * 7 + y / 2 * 31) % 100 - 50));
        }
    }
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        CodingSettings settings;
        settings.scaleCode = 3;
        settings.model = PresetModel(static_cast<EncoderPreset>(preset));
        SCOPED_TRACE(DescribeModel(settings.model));
        const bool repeats = settings.model.rule == QuantiserRule::kFfmpeg;
        std::vector<Pixel> padded(size_t{kPaddedWidth} * kPaddedHeight, Pixel{0, 0, 0});
        for (int32_t y = 0; y < kPaddedHeight; ++y) {
            for (int32_t x = 0; x < kPaddedWidth; ++x) {
                if (x < kWidth && y < kHeight) {
                    padded[size_t(y * kPaddedWidth + x)] = picture[size_t(y * kWidth + x)];
                } else if (repeats) {
                    padded[size_t(y * kPaddedWidth + x)] =
                        picture[size_t(std::min(y, kHeight - 1) * kWidth + std::min(x, kWidth - 1))];
                }
            }
        }
        FrameCoder coder;
        std::vector<Pixel> out(picture.size()), paddedOut(padded.size());
        const int32_t bytes = coder.CodeFrame(settings, kDefaultIntraMatrix, picture.data(), out.data(),
                                              FrameGeometry{kWidth, kHeight, kWidth, kHeight});
        const int32_t paddedBytes =
            coder.CodeFrame(settings, kDefaultIntraMatrix, padded.data(), paddedOut.data(),
                            FrameGeometry{kPaddedWidth, kPaddedHeight, kPaddedWidth, kPaddedHeight});
        EXPECT_EQ(bytes, paddedBytes);
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const Pixel& a = out[size_t(y * kWidth + x)];
                const Pixel& b = paddedOut[size_t(y * kPaddedWidth + x)];
                ASSERT_TRUE(a.y == b.y && a.cb == b.cb && a.cr == b.cr) << "pixel " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

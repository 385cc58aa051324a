#include <gtest/gtest.h>

#include <vector>

#include "codec/frame_coder.h"
#include "codec/quantise.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using testing::Random;

enum class Content { Natural, Extreme, Flat };

// A pair of identical host frame sets, one for each coder.
struct FramePair {
    int32_t width, height, maxWidth, maxHeight;
    std::vector<Pixel> input, plainOut, fastOut;

    FramePair(int32_t w, int32_t h, int32_t mw, int32_t mh, Content content, uint64_t seed)
        : width(w), height(h), maxWidth(mw), maxHeight(mh), input(static_cast<size_t>(mw) * mh) {
        Random random(seed);
        for (size_t i = 0; i < input.size(); ++i) {
            const int32_t x = static_cast<int32_t>(i % static_cast<size_t>(mw));
            const int32_t y = static_cast<int32_t>(i / static_cast<size_t>(mw));
            Pixel& p = input[i];
            if (content == Content::Extreme) {
                p = Pixel{static_cast<int16_t>(random.Between(-32768, 32767)),
                          static_cast<int16_t>(random.Between(-32768, 32767)),
                          static_cast<int16_t>(random.Between(-32768, 32767))};
            } else if (content == Content::Flat) {
                p = Pixel{static_cast<int16_t>(x < mw / 2 ? 4095 : 0), -2048, 2047};
            } else {
                p = Pixel{static_cast<int16_t>((x * 53 + y * 29) % 4096 + random.Between(-64, 64) - 64),
                          static_cast<int16_t>((x * 11 - y * 17) % 2048 + random.Between(-40, 40)),
                          static_cast<int16_t>((y * 23) % 2048 - 1024 + random.Between(-40, 40))};
            }
        }
        // Stale content in the output frames: the coders must clear it.
        plainOut.assign(input.size(), Pixel{111, 222, 333});
        fastOut = plainOut;
    }
};

void ExpectSameFrame(const CodingSettings& settings, const int32_t matrix[kMatrixEntries], FramePair& f,
                     const char* what, uint32_t cpuFlags) {
    std::vector<Pixel> plainIn = f.input, fastIn = f.input;
    const FrameGeometry geometry{f.width, f.height, f.maxWidth, f.maxHeight};
    const size_t macroblocks = static_cast<size_t>(MacroblockColumns(f.width)) * MacroblockRows(f.height);
    std::vector<int32_t> plainBits(macroblocks + 1, -7), fastBits(macroblocks + 1, -7);
    FrameCoder plainCoder, fastCoder(cpuFlags);
    const int32_t plainBytes = plainCoder.CodeFrameReference(settings, matrix, plainIn.data(), f.plainOut.data(),
                                                             geometry, FrameOutputs{plainBits.data(), nullptr});
    const int32_t fastBytes = fastCoder.CodeFrame(settings, matrix, fastIn.data(), f.fastOut.data(), geometry,
                                                  FrameOutputs{fastBits.data(), nullptr});

    const auto trace = [&] {
        return std::string(what) + " scale " + std::to_string(settings.scaleCode) + " nonlinear " +
               std::to_string(settings.nonLinearScale) + " alternate " + std::to_string(settings.alternateScan) +
               " interlaced " + std::to_string(settings.interlacedDct);
    };
    ASSERT_EQ(plainBytes, fastBytes) << trace();
    ASSERT_EQ(plainBits, fastBits) << trace();
    for (size_t i = 0; i < f.plainOut.size(); ++i) {
        const Pixel a = f.plainOut[i], b = f.fastOut[i];
        ASSERT_TRUE(a.y == b.y && a.cb == b.cb && a.cr == b.cr) << trace() << " pixel " << i;
    }
    // Neither coder writes its input frame.
    for (const std::vector<Pixel>* in : {&plainIn, &fastIn})
        for (size_t i = 0; i < f.input.size(); ++i) {
            const Pixel a = (*in)[i], b = f.input[i];
            ASSERT_TRUE(a.y == b.y && a.cb == b.cb && a.cr == b.cr) << trace() << " input changed at " << i;
        }
}

// Every combination of the four settings that change the pipeline, on a
// picture with partial macroblocks at both edges in a larger frame, with
// video-like content and with components anywhere in the 16-bit range.
void ExpectEverySettingsCombinationEqual(uint32_t cpuFlags) {
    for (Content content : {Content::Natural, Content::Extreme}) {
        FramePair f(53, 37, 61, 40, content, content == Content::Natural ? 41 : 42);
        for (int32_t code = 1; code <= 31; ++code)
            for (int32_t nonLinear = 0; nonLinear < 2; ++nonLinear)
                for (int32_t alternate = 0; alternate < 2; ++alternate)
                    for (int32_t interlaced = 0; interlaced < 2; ++interlaced) {
                        CodingSettings s;
                        s.scaleCode = code;
                        s.nonLinearScale = nonLinear;
                        s.alternateScan = alternate;
                        s.interlacedDct = interlaced;
                        ExpectSameFrame(s, kDefaultIntraMatrix, f, content == Content::Natural ? "natural" : "extreme",
                                        cpuFlags);
                    }
    }
}

// Every preset model and DC precision, both tables, both DCT layouts.
void ExpectEveryModelEqual(uint32_t cpuFlags) {
    for (Content content : {Content::Natural, Content::Extreme}) {
        FramePair f(53, 37, 61, 40, content, content == Content::Natural ? 43 : 44);
        for (int preset = 0; preset < kEncoderPresets; ++preset)
            for (int32_t precision = kMinDcPrecision; precision <= kMaxDcPrecision; ++precision)
                for (int32_t code : {1, 2, 9, 31})
                    for (int32_t interlaced = 0; interlaced < 2; ++interlaced) {
                        CodingSettings s;
                        s.scaleCode = code;
                        s.nonLinearScale = code == 9;
                        s.interlacedDct = interlaced;
                        s.alternateScan = interlaced;
                        s.model = PresetModel(static_cast<EncoderPreset>(preset));
                        s.model.dcPrecision = precision;
                        s.model.intraVlcFormat = code % 2;
                        ExpectSameFrame(s, kDefaultIntraMatrix, f, PresetName(static_cast<EncoderPreset>(preset)),
                                        cpuFlags);
                    }
    }
}

TEST(FastFrame, EqualsPlainForEveryCodingModel) {
    for (const testing::KernelBuild& build : testing::KernelBuilds()) {
        SCOPED_TRACE(build.name);
        ExpectEveryModelEqual(build.flags);
    }
}

// In every kernel build this CPU runs.
TEST(FastFrame, EqualsPlainForEverySettingsCombination) {
    for (const testing::KernelBuild& build : testing::KernelBuilds()) {
        SCOPED_TRACE(build.name);
        ExpectEverySettingsCombinationEqual(build.flags);
    }
}

// Matrices at the limits, random ones, and entries outside 1..4095 that
// the coder clamps; whole-macroblock and partial geometries.
TEST(FastFrame, EqualsPlainForMatricesAndGeometries) {
    Random random(43);
    std::vector<std::vector<int32_t>> matrices;
    matrices.emplace_back(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries);
    matrices.emplace_back(kMatrixEntries, 1);
    matrices.emplace_back(kMatrixEntries, kMaxMatrixEntry);
    std::vector<int32_t> wild(kMatrixEntries);
    for (int32_t& e : wild) e = random.OneIn(3) ? random.Between(-100000, 100000) : random.Between(1, 4095);
    wild[0] = 0;
    matrices.push_back(wild);
    struct Geometry {
        int32_t w, h, mw, mh;
    };
    const Geometry geometries[] = {{96, 64, 96, 64}, {1, 1, 1, 1},    {17, 3, 17, 3}, {100, 100, 100, 100},
                                   {32, 48, 40, 60}, {0, 16, 16, 16}, {16, 0, 16, 16}};
    for (const testing::KernelBuild& build : testing::KernelBuilds())
        for (const Geometry& g : geometries)
            for (Content content : {Content::Natural, Content::Extreme, Content::Flat}) {
                FramePair f(g.w, g.h, g.mw, g.mh, content, 44);
                for (const auto& matrix : matrices)
                    for (int32_t code : {1, 2, 8, 31})
                        for (int32_t interlaced = 0; interlaced < 2; ++interlaced) {
                            CodingSettings s;
                            s.scaleCode = code;
                            s.interlacedDct = interlaced;
                            s.nonLinearScale = code == 2;
                            ExpectSameFrame(s, matrix.data(), f, build.name, build.flags);
                        }
            }
}

// Edit and temporary frame being the same memory: the plain order (fill,
// then read the already-cleared frame) must be kept.
TEST(FastFrame, SharedFrameMemoryGivesThePlainResult) {
    FramePair f(32, 32, 32, 32, Content::Natural, 45);
    std::vector<Pixel> plainFrame = f.input, fastFrame = f.input;
    const FrameGeometry geometry{32, 32, 32, 32};
    CodingSettings s;
    FrameCoder coder;
    EXPECT_EQ(coder.CodeFrameReference(s, kDefaultIntraMatrix, plainFrame.data(), plainFrame.data(), geometry),
              coder.CodeFrame(s, kDefaultIntraMatrix, fastFrame.data(), fastFrame.data(), geometry));
    for (size_t i = 0; i < plainFrame.size(); ++i) ASSERT_EQ(plainFrame[i].y, fastFrame[i].y);
}

}  // namespace
}  // namespace vardelk

// Coding 8-bit 4:2:0 planes directly against the host-frame route it
// stands in for: planes to YC, CodeFrame, YC back to planes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/frame_coder.h"
#include "media/yc_convert.h"
#include "testing/kernel_builds.h"
#include "testing/random.h"

namespace vardelk {
namespace {

using testing::Random;

enum class Content { Natural, Extreme, Flat };

Y4mFrame MakePicture(const Y4mFormat& format, Content content, uint64_t seed) {
    Random random(seed);
    Y4mFrame frame;
    frame.Allocate(format);
    const auto fill = [&](std::vector<uint8_t>& plane, int32_t width, int32_t offset) {
        for (size_t i = 0; i < plane.size(); ++i) {
            const int32_t x = int32_t(i % size_t(width)), y = int32_t(i / size_t(width));
            switch (content) {
                case Content::Natural:
                    plane[i] = uint8_t(std::clamp((x * 7 + y * 5 + offset) % 256 + random.Between(-12, 12), 0, 255));
                    break;
                case Content::Extreme:  // full-scale checkers and noise: saturation everywhere
                    plane[i] = random.OneIn(3) ? uint8_t(random.Between(0, 255)) : ((x + y) % 2 ? 255 : 0);
                    break;
                case Content::Flat:
                    plane[i] = uint8_t(x < width / 2 ? 255 : 0);
                    break;
            }
        }
    };
    fill(frame.y, format.width, 0);
    fill(frame.cb, ChromaWidth(format), 90);
    fill(frame.cr, ChromaWidth(format), 170);
    return frame;
}

// Planes with pitches wider than the picture, the margins holding a marker
// that coding must leave alone.
struct PaddedPlanes {
    static constexpr uint8_t kMarker = 0xA5;
    int32_t widths[3], heights[3], strides[3];
    std::vector<uint8_t> plane[3];

    PaddedPlanes(const Y4mFormat& format, const Y4mFrame* content) {
        const std::vector<uint8_t>* sources[3] = {&content->y, &content->cb, &content->cr};
        for (int p = 0; p < 3; ++p) {
            widths[p] = p == 0 ? format.width : ChromaWidth(format);
            heights[p] = p == 0 ? format.height : ChromaHeight(format);
            strides[p] = widths[p] + (p == 0 ? 5 : 3);
            plane[p].assign(size_t(strides[p]) * size_t(heights[p]), kMarker);
            for (int32_t r = 0; r < heights[p]; ++r)
                std::copy_n(sources[p]->data() + size_t(r) * size_t(widths[p]), widths[p],
                            plane[p].data() + size_t(r) * size_t(strides[p]));
        }
    }
    PlanarInput In() const { return {plane[0].data(), plane[1].data(), plane[2].data(), strides[0], strides[1]}; }
    PlanarOutput Out() { return {plane[0].data(), plane[1].data(), plane[2].data(), strides[0], strides[1]}; }
    // The picture part of each plane, and whether every margin byte still holds the marker.
    std::vector<uint8_t> Picture(int p) const {
        std::vector<uint8_t> out;
        for (int32_t r = 0; r < heights[p]; ++r)
            out.insert(out.end(), plane[p].begin() + ptrdiff_t(r) * strides[p],
                       plane[p].begin() + ptrdiff_t(r) * strides[p] + widths[p]);
        return out;
    }
    bool MarginsKept() const {
        for (int p = 0; p < 3; ++p)
            for (int32_t r = 0; r < heights[p]; ++r)
                for (int32_t x = widths[p]; x < strides[p]; ++x)
                    if (plane[p][size_t(r) * size_t(strides[p]) + size_t(x)] != kMarker) return false;
        return true;
    }
};

// Records the quantised levels the sink is handed.
class LevelTrace : public CoefficientSink {
public:
    bool Wants(CoefficientStage stage) const override { return stage == CoefficientStage::kQuantised; }
    void Take(CoefficientStage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override {
        levels.push_back(x);
        levels.push_back(y);
        levels.insert(levels.end(), buffer.value, buffer.value + kMacroblockValues);
    }
    std::vector<int32_t> levels;
};

struct Coded {
    int32_t bytes;
    std::vector<int32_t> bits, levels;
    std::vector<uint8_t> planes[3];
};

Coded ThroughYc(const CodingSettings& s, const int32_t* matrix, const Y4mFormat& format, const Y4mFrame& picture) {
    std::vector<Pixel> in(size_t(format.width) * size_t(format.height)), out(in.size());
    Y4mToYcReference(format, picture, in.data(), format.width);
    Coded c;
    c.bits.assign(size_t(MacroblockColumns(format.width)) * size_t(MacroblockRows(format.height)), -1);
    LevelTrace trace;
    FrameCoder coder(0);
    c.bytes = coder.CodeFrame(s, matrix, in.data(), out.data(),
                              FrameGeometry{format.width, format.height, format.width, format.height},
                              FrameOutputs{c.bits.data(), &trace});
    c.levels = trace.levels;
    Y4mFrame back;
    YcToY4mReference(format, out.data(), format.width, back);
    c.planes[0] = back.y;
    c.planes[1] = back.cb;
    c.planes[2] = back.cr;
    return c;
}

// Both planar entries (the fast one of `flags` and the plain reference),
// into separate planes and in place, against the YC route.
void ExpectPlanarEqualsYc(const CodingSettings& s, const int32_t* matrix, const Y4mFormat& format,
                          const Y4mFrame& picture, uint32_t flags, const std::string& what) {
    const Coded expected = ThroughYc(s, matrix, format, picture);
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(what + (variant == 0 ? " fast" : variant == 1 ? " reference" : " fast in place"));
        PaddedPlanes input(format, &picture);
        Y4mFrame stale = picture;
        for (auto* plane : {&stale.y, &stale.cb, &stale.cr}) std::fill(plane->begin(), plane->end(), uint8_t{77});
        PaddedPlanes output(format, &stale);
        PaddedPlanes& result = variant == 2 ? input : output;
        std::vector<int32_t> bits(expected.bits.size(), -1);
        LevelTrace trace;
        FrameCoder coder(flags);
        const FrameOutputs outputs{bits.data(), &trace};
        const int32_t bytes = variant == 1 ? coder.CodePlanarFrameReference(s, matrix, input.In(), output.Out(),
                                                                            format.width, format.height, outputs)
                                           : coder.CodePlanarFrame(s, matrix, input.In(), result.Out(), format.width,
                                                                   format.height, outputs);
        ASSERT_EQ(bytes, expected.bytes);
        ASSERT_EQ(bits, expected.bits);
        ASSERT_EQ(trace.levels, expected.levels);
        for (int p = 0; p < 3; ++p) ASSERT_EQ(result.Picture(p), expected.planes[p]) << "plane " << p;
        ASSERT_TRUE(result.MarginsKept());
        if (variant != 2) {
            ASSERT_EQ(input.Picture(0), picture.y);
        }
    }
}

Y4mFormat Format420(int32_t width, int32_t height) {
    Y4mFormat format;
    format.width = width;
    format.height = height;
    format.chroma = ChromaFormat::k420;
    return format;
}

// Odd sizes give partial macroblocks and chroma samples covering one or
// two pixels; 48x32 is whole macroblocks only.
TEST(PlanarFrame, EqualsTheYcRouteForEveryBuildSettingAndSize) {
    const int32_t sizes[][2] = {{1, 1}, {2, 3}, {17, 9}, {35, 37}, {48, 32}, {31, 46}, {64, 18}};
    Random random(61);
    std::vector<int32_t> wild(kMatrixEntries);
    for (int32_t& e : wild) e = random.OneIn(4) ? random.Between(-5000, 9000) : random.Between(1, 255);
    for (const testing::KernelBuild& build : testing::KernelBuilds())
        for (const auto& size : sizes)
            for (Content content : {Content::Natural, Content::Extreme, Content::Flat}) {
                const Y4mFormat format = Format420(size[0], size[1]);
                const Y4mFrame picture = MakePicture(format, content, uint64_t(size[0] * 100 + size[1]));
                for (int32_t code : {1, 4, 31})
                    for (int32_t flags = 0; flags < 8; ++flags) {
                        CodingSettings s;
                        s.scaleCode = code;
                        s.nonLinearScale = flags & 1;
                        s.alternateScan = (flags >> 1) & 1;
                        s.interlacedDct = (flags >> 2) & 1;
                        const int32_t* matrix = code == 4 ? wild.data() : kDefaultIntraMatrix;
                        ExpectPlanarEqualsYc(s, matrix, format, picture, build.flags,
                                             std::string(build.name) + " " + std::to_string(size[0]) + "x" +
                                                 std::to_string(size[1]) + " content " + std::to_string(int(content)) +
                                                 " code " + std::to_string(code) + " flags " + std::to_string(flags));
                        if (HasFatalFailure()) return;
                    }
            }
}

// Pitches below the plane widths or a missing plane: nothing is written.
TEST(PlanarFrame, UnusablePlanesWriteNothing) {
    const Y4mFormat format = Format420(20, 20);
    const Y4mFrame picture = MakePicture(format, Content::Natural, 3);
    PaddedPlanes input(format, &picture), output(format, &picture);
    const std::vector<uint8_t> before = output.plane[0];
    FrameCoder coder;
    PlanarOutput narrow = output.Out();
    narrow.chromaStride = 9;
    EXPECT_EQ(coder.CodePlanarFrame(CodingSettings{}, kDefaultIntraMatrix, input.In(), narrow, 20, 20), 0);
    PlanarInput missing = input.In();
    missing.cr = nullptr;
    EXPECT_EQ(coder.CodePlanarFrame(CodingSettings{}, kDefaultIntraMatrix, missing, output.Out(), 20, 20), 0);
    EXPECT_EQ(output.plane[0], before);
    EXPECT_EQ(coder.CodePlanarFrame(CodingSettings{}, kDefaultIntraMatrix, input.In(), output.Out(), -4, 20), 0);
}

}  // namespace
}  // namespace vardelk

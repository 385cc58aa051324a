// The engine codes from cached transforms; it must give exactly what the
// frame coder gives from the picture itself.
#include <gtest/gtest.h>

#include <vector>

#include "codec/frame_coder.h"
#include "media/yc_convert.h"
#include "search/matrix_family.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

// The picture as it comes (4:4:4, as from a PNG) or cut to 4:2:0 (as from a Y4M clip).
Y4mFrame Subsampled(const Y4mFrame& full, Y4mFormat& format, bool subsample) {
    if (!subsample) return full;
    const int32_t width = format.width;
    format.chroma = ChromaFormat::k420;
    format.chromaTag = "420jpeg";
    Y4mFrame frame;
    frame.Allocate(format);
    frame.y = full.y;
    for (int32_t i = 0; i < ChromaHeight(format); ++i) {
        for (int32_t j = 0; j < ChromaWidth(format); ++j) {
            frame.cb[size_t(i * ChromaWidth(format) + j)] = full.cb[size_t(2 * i * width + 2 * j)];
            frame.cr[size_t(i * ChromaWidth(format) + j)] = full.cr[size_t(2 * i * width + 2 * j)];
        }
    }
    return frame;
}

TEST(PointCoder, BytesAndReconstructionEqualTheFrameCoder) {
    SearchMatrix steep = DefaultSearchMatrix();
    for (int i = 1; i < kMatrixEntries; ++i) steep[size_t(i)] = 1 + (i * 37) % 255;  // entries 1..255, uneven
    const std::vector<SearchMatrix> matrices = {DefaultSearchMatrix(), FlatSearchMatrix(1), FlatSearchMatrix(255),
                                                steep};
    for (const auto& [width, height] : {std::pair<int32_t, int32_t>{72, 56}, {48, 32}, {9, 7}}) {
        for (bool subsampled : {false, true}) {
            Y4mFormat format;
            const Y4mFrame frame = Subsampled(GrainyScene(width, height, uint32_t(width), &format), format, subsampled);
            const CodedPicture picture = PrepareCodedPicture("scene", format, frame);
            std::vector<Pixel> input(size_t(width) * size_t(height)), output(input.size());
            Y4mToYc(format, frame, input.data(), width);
            PointCoder engine;
            FrameCoder coder;
            for (const SearchMatrix& matrix : matrices) {
                for (int32_t code : {1, 2, 7, 16, 31}) {
                    for (bool nonLinear : {false, true}) {
                        CodingSettings settings;
                        settings.scaleCode = code;
                        settings.nonLinearScale = nonLinear;
                        const int32_t bytes = coder.CodeFrame(settings, matrix.data(), input.data(), output.data(),
                                                              FrameGeometry{width, height, width, height});
                        // The codec's output in the picture's own 4:2:0 planes.
                        Y4mFrame expected;
                        YcToY4m(picture.format, output.data(), width, expected);
                        const PointResult point =
                            engine.Code(picture, matrix.data(), code, nonLinear, kMeasurePsnr | kMeasureSsim);
                        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " code " +
                                     std::to_string(code));
                        EXPECT_EQ(point.bytes, bytes);
                        EXPECT_EQ(engine.Reconstruction().y, expected.y);
                        EXPECT_EQ(engine.Reconstruction().cb, expected.cb);
                        EXPECT_EQ(engine.Reconstruction().cr, expected.cr);
                        EXPECT_DOUBLE_EQ(point.error.y.Psnr(), ComparePlanes(frame.y, expected.y).Psnr());
                        EXPECT_DOUBLE_EQ(point.error.cb.Psnr(), CompareFrames(picture.original, expected).cb.Psnr());
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

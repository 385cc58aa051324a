// The engine codes from cached transforms for every encoder's model too: it
// must give what the frame coder gives, including ffmpeg's accurate
// transform and its edge extension in the partial macroblocks.
#include <gtest/gtest.h>

#include <vector>

#include "codec/frame_coder.h"
#include "media/yc_convert.h"
#include "search/matrix_family.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

TEST(PointCoder, EveryEncodersModelEqualsTheFrameCoder) {
    SearchMatrix steep = DefaultSearchMatrix();
    for (int i = 1; i < kMatrixEntries; ++i) steep[size_t(i)] = 1 + (i * 37) % 255;
    std::vector<CodingModel> models;
    for (EncoderPreset preset : {EncoderPreset::kFfmpeg, EncoderPreset::kMpeg2enc, EncoderPreset::kTestModel})
        models.push_back(PresetModel(preset));
    models.push_back(CodingModel{QuantiserRule::kFfmpeg, kIntraVlcTable, 11});
    models.push_back(CodingModel{QuantiserRule::kFilter, kMpegVlcTable, 9});
    for (const auto& [width, height] : {std::pair<int32_t, int32_t>{53, 38}, {9, 7}}) {
        Y4mFormat format;
        const Y4mFrame frame = GrainyScene(width, height, uint32_t(width + height), &format);
        std::vector<Pixel> input(size_t(width) * size_t(height)), output(input.size());
        Y4mToYc(format, frame, input.data(), width);
        PointCoder engine;
        FrameCoder coder;
        for (const CodingModel& model : models) {
            const CodedPicture picture = PrepareCodedPicture("scene", format, frame, model);
            for (const SearchMatrix& matrix : {DefaultSearchMatrix(), FlatSearchMatrix(3), steep}) {
                for (int32_t code : {1, 6, 31}) {
                    for (bool nonLinear : {false, true}) {
                        SCOPED_TRACE(DescribeModel(model) + " " + std::to_string(width) + "x" + std::to_string(height) +
                                     " code " + std::to_string(code) + (nonLinear ? " non-linear" : ""));
                        const CodingSettings settings{code, nonLinear, false, false, model};
                        const int32_t bytes = coder.CodeFrame(settings, matrix.data(), input.data(), output.data(),
                                                              FrameGeometry{width, height, width, height});
                        Y4mFrame expected;
                        YcToY4m(picture.format, output.data(), width, expected);
                        const PointResult point =
                            engine.Code(picture, matrix.data(), code, nonLinear, kMeasurePsnr, model);
                        EXPECT_EQ(point.bytes, bytes);
                        ASSERT_EQ(engine.Reconstruction().y, expected.y);
                        ASSERT_EQ(engine.Reconstruction().cb, expected.cb);
                        ASSERT_EQ(engine.Reconstruction().cr, expected.cr);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace vardelk

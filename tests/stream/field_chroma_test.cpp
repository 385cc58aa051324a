// The chroma a decoder shows against the reconstruction the command line
// writes. With frame DCT both agree within the rounding of the inverse
// transforms. With field DCT the coder builds each chroma block from the
// 4:2:0 plane field by field: its rows alternate between a top-field and a
// bottom-field sample of each pair of chroma rows, weighted 3:1 toward the
// field's own line. The stream carries those rows as they are, so a decoder
// shows each field's sample on its own row; the reconstruction puts each
// sample back on its field's lines and the Y4M writer averages them, so both
// rows of a pair hold the mean of the two fields' samples. The two then
// differ by half the difference between the fields' samples.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/clamp8.h"
#include "testing/coded_streams.h"

namespace vardelk {
namespace {

using testing::Planes420;

constexpr int32_t kWidth = 176;
constexpr int32_t kHeight = 96;

// Smooth colour gradients, a diagonal colour edge, luma texture and a
// little noise: chroma changes between neighbouring rows the way it does in
// a photograph, by a few steps in smooth parts and by up to about 40 across
// an edge.
Y4mFrame PhotographLike(const Y4mFormat& format) {
    Y4mFrame frame = testing::MakeTestFrame(format, 3);
    uint32_t state = 99;
    const auto noise = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>((state >> 16) % 7u) - 3;
    };
    const int32_t cw = ChromaWidth(format);
    for (int32_t y = 0; y < ChromaHeight(format); ++y) {
        for (int32_t x = 0; x < cw; ++x) {
            const double smooth = 20.0 * std::sin(x / 13.0) + 15.0 * std::cos(y / 9.0);
            const int32_t edge = x + 2 * y > 90 ? 40 : 0;
            const size_t at = static_cast<size_t>(y) * cw + x;
            frame.cb[at] = Clamp8(100 + static_cast<int32_t>(smooth) + edge + noise());
            frame.cr[at] = Clamp8(150 - static_cast<int32_t>(smooth) - edge + noise());
        }
    }
    return frame;
}

struct Coded {
    Y4mFrame reconstruction;  // as the command line writes it
    std::vector<uint8_t> stream;
};

Coded CodeWithStream(const Y4mFormat& format, const Y4mFrame& frame, const CodingSettings& settings) {
    StreamWriter writer(StreamFormat{format.width, format.height, 25, 1, format.interlace}, settings,
                        kDefaultIntraMatrix);
    std::vector<Pixel> input(static_cast<size_t>(format.width) * format.height), output(input.size());
    Y4mToYc(format, frame, input.data(), format.width);
    FrameOutputs outputs;
    outputs.sink = &writer;
    FrameCoder coder;
    const int32_t estimate =
        coder.CodeFrame(settings, kDefaultIntraMatrix, input.data(), output.data(),
                        FrameGeometry{format.width, format.height, format.width, format.height}, outputs);
    Coded coded;
    writer.FinishFrame(estimate, coded.stream);
    writer.FinishStream(coded.stream);
    YcToY4m(format, output.data(), format.width, coded.reconstruction);
    return coded;
}

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// The stream's one picture as ffmpeg decodes it, or empty planes when it fails.
Planes420 DecodeWithFfmpeg(const std::vector<uint8_t>& stream) {
    // Named per process: runs of this test at the same time must not share files.
    const std::string path = ::testing::TempDir() + "vardelk_field_chroma_" + std::to_string(getpid()) + ".m2v";
    const std::string raw = path + ".yuv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return {};
    std::fwrite(stream.data(), 1, stream.size(), file);
    std::fclose(file);
    const int status = std::system(("ffmpeg -nostdin -loglevel error -threads 1 -y -f mpegvideo -i " + path +
                                    " -f rawvideo -pix_fmt yuv420p " + raw)
                                       .c_str());
    Planes420 planes{kWidth, kHeight, {}, {}, {}};
    const size_t luma = static_cast<size_t>(kWidth) * kHeight;
    std::vector<uint8_t> bytes(luma * 3 / 2);
    file = status == 0 ? std::fopen(raw.c_str(), "rb") : nullptr;
    if (file != nullptr && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) {
        planes.y.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(luma));
        planes.cb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(luma),
                         bytes.begin() + static_cast<std::ptrdiff_t>(luma * 5 / 4));
        planes.cr.assign(bytes.begin() + static_cast<std::ptrdiff_t>(luma * 5 / 4), bytes.end());
    }
    if (file != nullptr) std::fclose(file);
    std::remove(path.c_str());
    std::remove(raw.c_str());
    return planes;
}

int32_t LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int32_t largest = 0;
    for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int32_t{a[i]} - int32_t{b[i]}));
    return largest;
}

Y4mFormat Format() {
    Y4mFormat format;
    format.width = kWidth;
    format.height = kHeight;
    format.interlace = 't';
    return format;
}

TEST(FieldChroma, DecoderShowsEachFieldsSampleWhereTheReconstructionShowsTheirMean) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is missing (scripts/setup.sh installs it)";
    const Y4mFormat format = Format();
    const Y4mFrame picture = PhotographLike(format);
    const int32_t cw = ChromaWidth(format);
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        CodingSettings settings;
        settings.scaleCode = 4;
        settings.interlacedDct = 1;
        settings.model = PresetModel(static_cast<EncoderPreset>(preset));
        SCOPED_TRACE(DescribeModel(settings.model));
        const Coded coded = CodeWithStream(format, picture, settings);
        const Planes420 decoded = DecodeWithFfmpeg(coded.stream);
        ASSERT_EQ(decoded.y.size(), coded.reconstruction.y.size()) << "ffmpeg did not decode the stream";
        EXPECT_LE(LargestDifference(decoded.y, coded.reconstruction.y), 1);
        const struct {
            const char* name;
            const std::vector<uint8_t>& shown;
            const std::vector<uint8_t>& written;
        } planes[] = {{"Cb", decoded.cb, coded.reconstruction.cb}, {"Cr", decoded.cr, coded.reconstruction.cr}};
        for (const auto& [name, shown, written] : planes) {
            // Both rows of a pair within the rounding of the mean of the
            // decoder's two rows (half a step, one for the transforms).
            int32_t offMean = 0;
            for (int32_t pair = 0; pair < ChromaHeight(format) / 2; ++pair) {
                for (int32_t x = 0; x < cw; ++x) {
                    const size_t top = static_cast<size_t>(2 * pair) * cw + x, bottom = top + cw;
                    const int32_t sum = int32_t{shown[top]} + int32_t{shown[bottom]};
                    for (const size_t at : {top, bottom}) offMean += std::abs(2 * int32_t{written[at]} - sum) > 3;
                }
            }
            EXPECT_EQ(offMean, 0) << name;
            // Rows of a pair differ by up to about 50 here (the edge, the
            // gradient and the noise), the fields' samples by half that, so the
            // decoder's rows lie up to about 12 from their mean, and a few
            // steps more where quantisation moved the two samples apart.
            const int32_t largest = LargestDifference(shown, written);
            std::printf("%s, field DCT: %s differs from the reconstruction by up to %d\n",
                        DescribeModel(settings.model).c_str(), name, largest);
            EXPECT_GT(largest, 1) << name;
            EXPECT_LE(largest, 16) << name;
        }
    }
}

TEST(FieldChroma, FrameDctKeepsChromaWithinOne) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is missing (scripts/setup.sh installs it)";
    const Y4mFormat format = Format();
    CodingSettings settings;
    settings.scaleCode = 4;
    const Coded coded = CodeWithStream(format, PhotographLike(format), settings);
    const Planes420 decoded = DecodeWithFfmpeg(coded.stream);
    ASSERT_EQ(decoded.y.size(), coded.reconstruction.y.size()) << "ffmpeg did not decode the stream";
    EXPECT_LE(LargestDifference(decoded.y, coded.reconstruction.y), 1);
    EXPECT_LE(LargestDifference(decoded.cb, coded.reconstruction.cb), 1);
    EXPECT_LE(LargestDifference(decoded.cr, coded.reconstruction.cr), 1);
}

}  // namespace
}  // namespace vardelk

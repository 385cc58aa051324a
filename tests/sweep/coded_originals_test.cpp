// A 4:2:2 or 4:4:4 clip is measured against the 4:2:0 planes the coder
// codes of it: the planes a confirmed sweep hands ffmpeg and the original
// SSIMULACRA 2 and Butteraugli measure against, prepared for the sweep or
// not, are CodedPlanes420 of the frame, and confirming a sweep changes none
// of its predicted figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clip/clip_runner.h"
#include "codec/coding_model.h"
#include "encoders/child_process.h"
#include "media/coded_planes.h"
#include "media/yc_convert.h"
#include "sweep/ffmpeg_points.h"
#include "sweep/perceptual_originals.h"
#include "sweep/sweep_job.h"
#include "testing/random.h"

namespace vardelk {
namespace {

// Every sample drawn on its own, so the two rows and the two columns of a
// chroma pair differ.
Y4mFrame Grainy(const Y4mFormat& format, uint64_t seed) {
    testing::Random random(seed);
    Y4mFrame frame;
    frame.Allocate(format);
    for (auto* plane : {&frame.y, &frame.cb, &frame.cr})
        for (uint8_t& sample : *plane) sample = uint8_t(random.Between(16, 240));
    return frame;
}

void ExpectSamePlanes(const Y4mFrame& a, const Y4mFrame& b) {
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.cb, b.cb);
    EXPECT_EQ(a.cr, b.cr);
}

TEST(CodedOriginals, ConfirmationAndPerceptualMeasuresTakeThePlanesCoded) {
    for (const ChromaFormat chroma : {ChromaFormat::k422, ChromaFormat::k444}) {
        for (const auto& [width, height] : {std::pair<int32_t, int32_t>{48, 32}, {37, 21}}) {
            Y4mFormat format;
            format.width = width;
            format.height = height;
            format.chroma = chroma;
            format.chromaTag = chroma == ChromaFormat::k422 ? "422" : "444";
            SCOPED_TRACE(format.chromaTag + " " + std::to_string(width) + "x" + std::to_string(height));
            const Y4mFrame frame = Grainy(format, uint64_t(width * height));
            Y4mFormat planesFormat;
            Y4mFrame coded;
            CodedPlanes420(format, frame, planesFormat, coded);

            const std::vector<Y4mFrame> given = ConvertTo420(format, {frame});
            ExpectSamePlanes(given.front(), coded);

            // Coding those planes is coding the frame: the same bytes, and
            // the frame's reconstruction in 4:2:0 (averaged back from the
            // host frame) is the planes' reconstruction.
            CodingSettings settings;
            settings.scaleCode = 6;
            ClipRunner runner(format, settings, kDefaultIntraMatrix, "");
            runner.MeasureSsimulacra2(true);
            runner.MeasureButteraugli(true);
            const FrameResult result = runner.Process(frame);
            ClipRunner planar(planesFormat, settings, kDefaultIntraMatrix, "");
            EXPECT_EQ(planar.Process(coded).bytes, result.bytes);
            Y4mFrame reconstruction;
            YcToY4m(planesFormat, runner.ReconstructionYc(), width, reconstruction);
            ExpectSamePlanes(planar.Reconstruction(), reconstruction);

            const double score = Ssimulacra2Frames(planesFormat, coded, reconstruction);
            EXPECT_DOUBLE_EQ(result.ssimulacra2, score);
            const ButteraugliDistance distance = ButteraugliFrames(planesFormat, coded, reconstruction);
            EXPECT_EQ(result.butteraugli.norm3, distance.norm3);
            const PerceptualOriginals originals(format, {frame}, DetectedCpuFlags(), 1, true, true);
            ASSERT_NE(originals.Prepared(0), nullptr);
            ASSERT_NE(originals.PreparedButteraugli(0), nullptr);
            const FrameResult prepared = runner.Process(frame, originals.Prepared(0), originals.PreparedButteraugli(0));
            EXPECT_DOUBLE_EQ(prepared.ssimulacra2, score);
            EXPECT_EQ(prepared.butteraugli.maxNorm, distance.maxNorm);
            EXPECT_EQ(prepared.butteraugli.norm3, distance.norm3);
        }
    }
}

// Confirming a sweep leaves its predictions alone: the clip is coded as it
// is either way (with field DCT a 4:4:4 clip's chroma is not gathered as its
// 4:2:0 form's is) and measured against the same planes, the coded 4:2:0
// ones, or a monochrome clip's luma alone, ffmpeg's pictures too.
TEST(CodedOriginals, ConfirmingKeepsThePredictedFigures) {
    if (FindOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg: not installed (scripts/setup.sh installs it)";
    const TemporaryFolder folder("vardelk-sweep-test");
    for (const ChromaFormat chroma : {ChromaFormat::k444, ChromaFormat::kMono}) {
        Y4mFormat format;
        format.width = 48;
        format.height = 32;
        format.chroma = chroma;
        format.chromaTag = chroma == ChromaFormat::k444 ? "444" : "mono";
        SCOPED_TRACE(format.chromaTag);
        SweepJob job;
        job.input = folder.File(format.chromaTag + ".y4m");
        WriteY4mFile(job.input, format, {Grainy(format, 7)});
        job.scaleCodes = {2, 9};
        job.settings.model = PresetModel(EncoderPreset::kFfmpeg);
        job.settings.interlacedDct = true;
        const SweepReport plain = RunSweepJob(job);
        job.confirm = true;
        const SweepReport confirmed = RunSweepJob(job);
        ASSERT_EQ(confirmed.rows.size(), plain.rows.size());
        for (size_t i = 0; i < plain.rows.size(); ++i) {
            const SweepRow &a = plain.rows[i], &b = confirmed.rows[i];
            EXPECT_EQ(b.totalBytes, a.totalBytes);
            EXPECT_EQ(b.error.cb.squaredError, a.error.cb.squaredError);
            EXPECT_EQ(b.error.cb.samples, a.error.cb.samples);
            EXPECT_EQ(b.ssim.all.Ssim(), a.ssim.all.Ssim());
            EXPECT_EQ(b.measured.ssim.cb.Measured(), a.ssim.cb.Measured());
        }
    }
}

}  // namespace
}  // namespace vardelk

#include "clip/clip_runner.h"

#include <algorithm>
#include <climits>

#include "media/coded_planes.h"
#include "media/coefficient_log_files.h"
#include "media/yc_convert.h"
#include "parallel/parallel_for.h"

namespace vardelk {

ClipRunner::ClipRunner(const Y4mFormat& format, const CodingSettings& settings, const int32_t* matrix,
                       const std::string& logDir, int32_t bandThreads, uint32_t cpuFlags)
    : format_(format),
      format420_(CodedPlanesFormat(format)),
      settings_(settings),
      matrix_(matrix),
      logDir_(logDir),
      cpuFlags_(cpuFlags) {
    planar_ = format.chroma == ChromaFormat::k420 && logDir.empty();
    if (!planar_) SizeHostFrames();
    macroblockBits_.resize(size_t(MacroblockColumns(format.width)) * size_t(MacroblockRows(format.height)));
    reconstruction_.Allocate(format);
    const int32_t bands = logDir.empty() ? std::clamp(bandThreads, 1, std::max(MacroblockRows(format.height), 1)) : 1;
    const int64_t mbRows = MacroblockRows(format.height);
    for (int32_t b = 0; b < bands; ++b) {
        coders_.push_back(std::make_unique<FrameCoder>(cpuFlags));
        bandTops_.push_back(int32_t(mbRows * b / bands * 16));
    }
    recorders_.resize(size_t(bands));
}

void ClipRunner::ReplayLevels(CoefficientSink& to) const {
    for (size_t b = 0; b < recorders_.size(); ++b) recorders_[b].Replay(to, bandTops_[b]);
}

void ClipRunner::SizeHostFrames() {
    const size_t pixels = size_t(format_.width) * size_t(format_.height);
    input_.resize(pixels);
    output_.resize(pixels);
}

void ClipRunner::KeepHostFrames() {
    planar_ = false;
    SizeHostFrames();
}

const Pixel* ClipRunner::ReconstructionYc() const { return planar_ ? nullptr : output_.data(); }

FrameResult ClipRunner::Process(const Y4mFrame& input, const Ssimulacra2Original* prepared,
                                const ButteraugliOriginal* preparedButteraugli) {
    if (!planar_) Y4mToYc(format_, input, input_.data(), format_.width, cpuFlags_);
    FrameResult result;
    result.index = processed_++;
    for (LevelRecorder& recorder : recorders_) recorder.Clear();
    result.bytes = coders_.size() > 1 ? CodeBands(input) : CodeFrame(input);
    if (!planar_) YcToY4m(format_, output_.data(), format_.width, reconstruction_, cpuFlags_);
    const bool perceptual = measureSsimulacra2_ || measureButteraugli_;
    const bool codedPlanes =
        measureCodedPlanes_ && format_.chroma != ChromaFormat::kMono && (measureError_ || measureSsim_);
    const Y4mFrame* original = &input;
    const Y4mFrame* reconstruction = &reconstruction_;
    if (perceptual || codedPlanes) {
        const bool needOriginal = codedPlanes || (measureSsimulacra2_ && prepared == nullptr) ||
                                  (measureButteraugli_ && preparedButteraugli == nullptr);
        Frames420(input, needOriginal, &original, &reconstruction);
    }
    if (measureError_)
        result.error = codedPlanes ? CompareFrames(*original, *reconstruction, cpuFlags_)
                                   : CompareFrames(input, reconstruction_, cpuFlags_);
    if (measureSsim_) {
        result.hasSsim = true;
        result.ssim = codedPlanes ? CompareFramesSsim(format420_, *original, *reconstruction)
                                  : CompareFramesSsim(format_, input, reconstruction_);
    }
    if (!perceptual) return result;
    if (measureSsimulacra2_) {
        result.hasSsimulacra2 = true;
        result.ssimulacra2 = prepared != nullptr
                                 ? prepared->Score(format420_, *reconstruction)
                                 : Ssimulacra2Frames(format420_, *original, *reconstruction,
                                                     Ssimulacra2Options{ssimulacra2Threads_, cpuFlags_});
    }
    if (measureButteraugli_) {
        result.hasButteraugli = true;
        result.butteraugli = preparedButteraugli != nullptr
                                 ? preparedButteraugli->Measure(format420_, *reconstruction)
                                 : ButteraugliFrames(format420_, *original, *reconstruction,
                                                     ButteraugliOptions{butteraugliThreads_, cpuFlags_});
    }
    return result;
}

// A 4:2:0 clip is measured as it is. Any other layout is measured as the
// 4:2:0 planes the coder coded of it (CodedPlanes420), against the
// reconstruction in 4:2:0: the conversion's mean of each 2x2 square of the
// host frame is exact there, as frame DCT scatters one chroma value over
// each square (and with field DCT it is what the planar route writes for a
// 4:2:0 clip).
void ClipRunner::Frames420(const Y4mFrame& input, bool needOriginal, const Y4mFrame** original,
                           const Y4mFrame** reconstruction) {
    *original = &input;
    *reconstruction = &reconstruction_;
    if (format_.chroma == ChromaFormat::k420) return;
    YcToY4m(format420_, output_.data(), format_.width, reconstruction420_, cpuFlags_);
    *reconstruction = &reconstruction420_;
    if (needOriginal) {
        CodedPlanes420(format_, input, format420_, original420_);
        *original = &original420_;
    }
}

int32_t ClipRunner::CodeFrame(const Y4mFrame& input) {
    const FrameGeometry geometry{format_.width, format_.height, format_.width, format_.height};
    FrameOutputs outputs;
    outputs.macroblockBits = macroblockBits_.data();
    FrameCoder& coder = *coders_.front();
    if (recordLevels_) outputs.sink = &recorders_.front();
    if (logDir_.empty()) return CodeBand(input, coder, 0, format_.height, outputs);
    CoefficientLogFiles logs(logDir_ + "/dct.txt", logDir_ + "/qdct.txt");
    SplitSink both(logs, recorders_.front());
    outputs.sink = recordLevels_ ? static_cast<CoefficientSink*>(&both) : &logs;
    return coder.CodeFrame(settings_, matrix_, input_.data(), output_.data(), geometry, outputs);
}

// Macroblock rows are independent (predictors reset and bytes rounded per
// row), so bands of whole rows coded as pictures of their own give exactly
// the frame's pixels, bits and bytes.
int32_t ClipRunner::CodeBands(const Y4mFrame& input) {
    const int64_t mbRows = MacroblockRows(format_.height);
    const int64_t columns = MacroblockColumns(format_.width);
    const int64_t bands = int64_t(coders_.size());
    std::vector<int64_t> bytes(size_t(bands), 0);
    ParallelFor(int32_t(bands), bands, [&](int64_t band) {
        const int64_t firstRow = mbRows * band / bands;
        const int64_t endRow = mbRows * (band + 1) / bands;
        const int64_t top = firstRow * 16;
        const int64_t height = std::min<int64_t>(endRow * 16, format_.height) - top;
        FrameOutputs outputs;
        outputs.macroblockBits = macroblockBits_.data() + firstRow * columns;
        if (recordLevels_) outputs.sink = &recorders_[size_t(band)];
        bytes[size_t(band)] = CodeBand(input, *coders_[size_t(band)], int32_t(top), int32_t(height), outputs);
    });
    int64_t total = 0;
    for (int64_t b : bytes) total += b;
    return int32_t(std::min<int64_t>(total, INT32_MAX));
}

// top is a multiple of 16, so the chroma planes' band starts at top / 2.
int32_t ClipRunner::CodeBand(const Y4mFrame& input, FrameCoder& coder, int32_t top, int32_t height,
                             const FrameOutputs& outputs) {
    if (planar_) {
        const int32_t chromaWidth = ChromaWidth(format_);
        const PlanarInput in =
            PlanarInput{input.y.data(), input.cb.data(), input.cr.data(), format_.width, chromaWidth}.At(top, 0);
        const PlanarOutput out = PlanarOutput{reconstruction_.y.data(), reconstruction_.cb.data(),
                                              reconstruction_.cr.data(), format_.width, chromaWidth}
                                     .At(top, 0);
        return coder.CodePlanarFrame(settings_, matrix_, in, out, format_.width, height, outputs);
    }
    const FrameGeometry geometry{format_.width, height, format_.width, height};
    const size_t offset = size_t(top) * size_t(format_.width);
    return coder.CodeFrame(settings_, matrix_, input_.data() + offset, output_.data() + offset, geometry, outputs);
}

}  // namespace vardelk

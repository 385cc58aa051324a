// A training picture prepared once for many codings: its 8-bit planes and
// the forward transform of every macroblock. The transform does not depend
// on the matrix or the scale code, so a candidate point only needs the
// stages after it: quantisation, bit count, reconstruction and the measure.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "codec/coding_model.h"
#include "codec/frame_coder.h"
#include "codec/macroblock_pipeline.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/butteraugli.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"

namespace vardelk {

// The original's half of SSIMULACRA 2, prepared the first time a point is
// scored by it and shared by every later one (and every copy of the
// picture); safe to ask from several threads at once.
class PreparedSsimulacra2 {
public:
    const Ssimulacra2Original& Get(const Y4mFormat& format, const Y4mFrame& original);

private:
    std::once_flag once_;
    std::unique_ptr<Ssimulacra2Original> original_;
};

// The original's half of Butteraugli, prepared and shared the same way.
class PreparedButteraugli {
public:
    const ButteraugliOriginal& Get(const Y4mFormat& format, const Y4mFrame& original);

private:
    std::once_flag once_;
    std::unique_ptr<ButteraugliOriginal> original_;
};

struct CodedPicture {
    std::string name;
    // The picture as the codec codes it: luma as given, chroma 4:2:0 (mono
    // stays mono). Every measure compares against these planes, and a real
    // encoder is given exactly them.
    Y4mFormat format;
    Y4mFrame original;
    int32_t columns = 0;  // macroblocks across and down
    int32_t rows = 0;
    // kMacroblockValues coefficients per macroblock, in coding order, from
    // the transform of the model the picture was prepared for.
    std::vector<int32_t> coefficients;
    bool accurateTransform = false;
    std::shared_ptr<PreparedSsimulacra2> ssimulacra2 = std::make_shared<PreparedSsimulacra2>();
    std::shared_ptr<PreparedButteraugli> butteraugli = std::make_shared<PreparedButteraugli>();

    // SSIMULACRA 2 of a frame of the picture's format against the original.
    double Ssimulacra2Of(const Y4mFrame& distorted) const;
    // The same pair's Butteraugli 3-norm.
    double ButteraugliOf(const Y4mFrame& distorted) const;
};

// The 4:2:0 planes the codec reads from a frame of any chroma format: luma
// unchanged; each chroma sample the mean of the left pixel pair of its 2x2
// square, rounded down, as the macroblocks gather it (at an odd bottom edge
// the single pixel). A 4:2:0 frame comes back unchanged, mono stays mono.
void CodedPlanes(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes);

// Cuts the frame to the planes the codec codes (CodedPlanes) and captures
// the transform of every macroblock with progressive DCT, as the model
// transforms (a model on its encoder's own transform gets those
// coefficients). Throws MediaError for an empty picture.
CodedPicture PrepareCodedPicture(const std::string& name, const Y4mFormat& format, const Y4mFrame& frame,
                                 const CodingModel& model = CodingModel{});

// What the measures need from one coded point: a set of these bits.
enum PointMeasure : uint32_t {
    kMeasureLumaPsnr = 1,  // the luma plane's error
    kMeasurePsnr = 2,      // every plane's error
    kMeasureSsim = 4,
    kMeasureSsimulacra2 = 8,
    kMeasureButteraugli = 16,
};
using PointMeasures = uint32_t;

struct PointResult {
    int64_t bytes = 0;
    FrameError error;          // luma only for kMeasureLumaPsnr, all planes for kMeasurePsnr
    FrameSsim ssim;            // filled for kMeasureSsim
    double ssimulacra2 = 0.0;  // filled for kMeasureSsimulacra2
    double butteraugli = 0.0;  // the 3-norm, for kMeasureButteraugli
};

// Fills the measures of `point` for a reconstruction of the picture. When
// both perceptual measures are asked the reconstruction is converted to RGB
// once for the two.
void MeasurePoint(const CodedPicture& picture, const Y4mFrame& reconstruction, PointMeasures measures,
                  PointResult& point);

// Codes cached pictures; holds the scratch frames of one thread.
class PointCoder {
public:
    // Exactly the bytes and reconstruction FrameCoder::CodeFrame gives for
    // the picture with zigzag scan and progressive DCT, the linear or
    // non-linear mapping and the coding model as asked. The picture must
    // have been prepared with the same transform (throws std::logic_error). The reconstruction, as the frame coder's
    // output converted back to the picture's format, is left in
    // Reconstruction().
    PointResult Code(const CodedPicture& picture, const int32_t matrix[kMatrixEntries], int32_t scaleCode,
                     bool nonLinearScale, PointMeasures measures, const CodingModel& model = CodingModel{});
    const Y4mFrame& Reconstruction() const { return reconstruction_; }

private:
    void WriteSamples(const Y4mFormat& format, int32_t x, int32_t y);

    Y4mFrame reconstruction_;
    MacroblockBuffer buffer_;
    MacroblockPipeline pipeline_;
};

}  // namespace vardelk

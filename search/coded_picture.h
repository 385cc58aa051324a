// A training picture prepared once for many codings: its 8-bit planes and
// the forward transform of every macroblock. The transform does not depend
// on the matrix or the scale code, so a candidate point only needs the
// stages after it: quantisation, bit count, reconstruction and the measure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/coding_model.h"
#include "codec/frame_coder.h"
#include "codec/macroblock_pipeline.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/ssim.h"

namespace vardelk {

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
};

// The 4:2:0 planes the codec reads from a frame of any chroma format: luma
// unchanged; each chroma sample the mean of the left pixel pair of its 2x2
// square, rounded down, as the macroblocks gather it (at an odd bottom edge
// the single pixel). A 4:2:0 frame comes back unchanged, mono stays mono.
void CodedPlanes(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes);

// Cuts the frame to the planes the codec codes (CodedPlanes) and captures
// the transform of every macroblock with progressive DCT, as the model
// transforms (models of encoders with the accurate transform get its
// coefficients). Throws MediaError for an empty picture.
CodedPicture PrepareCodedPicture(const std::string& name, const Y4mFormat& format, const Y4mFrame& frame,
                                 const CodingModel& model = CodingModel{});

// What the measures need from one coded point.
enum class PointMeasures { kLumaPsnr, kPsnr, kSsim, kBoth };

struct PointResult {
    int64_t bytes = 0;
    FrameError error;  // luma only for kLumaPsnr, all planes for kPsnr and kBoth
    FrameSsim ssim;    // filled for kSsim and kBoth
};

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

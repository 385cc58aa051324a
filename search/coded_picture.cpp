#include "search/coded_picture.h"

#include <cstring>

#include "codec/quantise.h"
#include "media/media_error.h"
#include "media/yc_convert.h"

namespace vardelk {
namespace {

// Keeps the forward transform of every macroblock as the coder hands it over.
class TransformCapture final : public CoefficientSink {
public:
    TransformCapture(std::vector<int32_t>& store, int32_t columns) : store_(store), columns_(columns) {}
    bool Wants(CoefficientStage stage) const override { return stage == CoefficientStage::kTransformed; }
    void Take(CoefficientStage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override {
        const size_t index = size_t(y / 16) * size_t(columns_) + size_t(x / 16);
        std::memcpy(store_.data() + index * kMacroblockValues, buffer.value, sizeof buffer.value);
    }

private:
    std::vector<int32_t>& store_;
    int32_t columns_;
};

}  // namespace

CodedPicture PrepareCodedPicture(const std::string& name, const Y4mFormat& format, const Y4mFrame& frame) {
    if (format.width <= 0 || format.height <= 0) throw MediaError(name + ": the picture is empty");
    CodedPicture picture;
    picture.name = name;
    picture.format = format;
    picture.original = frame;
    picture.columns = MacroblockColumns(format.width);
    picture.rows = MacroblockRows(format.height);
    picture.coefficients.resize(size_t(picture.columns) * size_t(picture.rows) * kMacroblockValues);
    const size_t pixels = size_t(format.width) * size_t(format.height);
    std::vector<YcPixel> input(pixels), output(pixels);
    Y4mToYc(format, frame, input.data(), format.width);
    TransformCapture capture(picture.coefficients, picture.columns);
    FrameOutputs outputs;
    outputs.sink = &capture;
    FilterSettings settings;  // the transform is the same for every scale code and matrix
    FrameCoder coder;
    coder.CodeFrameReference(settings, kDefaultIntraMatrix, input.data(), output.data(),
                             FrameGeometry{format.width, format.height, format.width, format.height}, outputs);
    return picture;
}

// The fast path of the frame coder from the transform on, macroblock by
// macroblock: levels and their non-zero masks, the bit count against the
// row's DC predictors, then blocks without AC levels reconstructed directly
// and the others dequantised and inverse transformed. Each macroblock row's
// bits are rounded up to whole bytes on their own.
PointResult PointCoder::Code(const CodedPicture& picture, const int32_t matrix[kMatrixEntries], int32_t scaleCode,
                             bool nonLinearScale, PointMeasures measures) {
    const int32_t width = picture.format.width, height = picture.format.height;
    int32_t weights[kMatrixEntries];
    ClampMatrix(matrix, weights);
    fast::QuantiserTables tables;
    fast::PrepareQuantiser(weights, QuantiserScale(scaleCode, nonLinearScale ? 1 : 0), tables);
    const fast::QuantiseFunction quantise = fast::QuantiseBlockFunction();
    const fast::DequantiseFunction dequantise = fast::DequantiseBlockFunction();
    const fast::BlockTransform inverseDct = fast::InverseDctFunction();
    pixels_.resize(size_t(width) * size_t(height));

    PointResult result;
    const int32_t* coefficients = picture.coefficients.data();
    DcPredictors predictors;
    for (int32_t row = 0; row < picture.rows; ++row) {
        ResetDcPredictors(predictors);
        int64_t rowBits = 0;
        const int32_t y = row * 16;
        for (int32_t column = 0; column < picture.columns; ++column, coefficients += kMacroblockValues) {
            const int32_t x = column * 16;
            std::memcpy(buffer_.value, coefficients, sizeof buffer_.value);
            uint64_t nonZero[kBlocksPerMacroblock];
            for (int b = 0; b < kBlocksPerMacroblock; ++b) nonZero[b] = quantise(buffer_.Block(b), tables);
            rowBits += fast::EstimateMacroblockBits(buffer_, nonZero, 0, predictors);
            for (int b = 0; b < kBlocksPerMacroblock; ++b) {
                if ((nonZero[b] >> 1) == 0) {
                    fast::ReconstructFlatBlock(buffer_.Block(b));
                    continue;
                }
                dequantise(buffer_.Block(b), tables);
                inverseDct(buffer_.Block(b));
            }
            fast::ScatterMacroblockProgressive(buffer_, pixels_.data() + size_t(y) * size_t(width) + size_t(x),
                                               width - x, height - y, width);
        }
        result.bytes += (rowBits + 7) / 8;
    }
    YcToY4m(picture.format, pixels_.data(), width, reconstruction_);
    if (measures != PointMeasures::kSsim) result.error = CompareFrames(picture.original, reconstruction_);
    if (measures != PointMeasures::kPsnr) result.ssim = CompareFramesSsim(picture.format, picture.original, reconstruction_);
    return result;
}

}  // namespace vardelk

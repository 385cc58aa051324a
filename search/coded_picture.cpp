#include "search/coded_picture.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "codec/quantiser_rules.h"
#include "media/coded_planes.h"
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

void CodedPlanes(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes) {
    // A monochrome picture is coded as it is; any other layout as the 4:2:0
    // planes the frame coder would code.
    if (format.chroma == ChromaFormat::kMono) {
        planesFormat = format;
        planes = frame;
        return;
    }
    CodedPlanes420(format, frame, planesFormat, planes);
}

CodedPicture PrepareCodedPicture(const std::string& name, const Y4mFormat& format, const Y4mFrame& frame,
                                 const CodingModel& model) {
    if (format.width <= 0 || format.height <= 0) throw MediaError(name + ": the picture is empty");
    CodedPicture picture;
    picture.name = name;
    CodedPlanes(format, frame, picture.format, picture.original);
    picture.columns = MacroblockColumns(format.width);
    picture.rows = MacroblockRows(format.height);
    picture.coefficients.resize(size_t(picture.columns) * size_t(picture.rows) * kMacroblockValues);
    const size_t pixels = size_t(format.width) * size_t(format.height);
    std::vector<Pixel> input(pixels), output(pixels);
    Y4mToYc(picture.format, picture.original, input.data(), format.width);
    TransformCapture capture(picture.coefficients, picture.columns);
    FrameOutputs outputs;
    outputs.sink = &capture;
    CodingSettings settings;  // the transform is the same for every scale code and matrix
    settings.model = model;
    picture.accurateTransform = SafeModel(model).UsesAccurateTransform();
    FrameCoder coder;
    coder.CodeFrameReference(settings, kDefaultIntraMatrix, input.data(), output.data(),
                             FrameGeometry{format.width, format.height, format.width, format.height}, outputs);
    return picture;
}

// The frame coder's macroblock pipeline from the transform on, macroblock
// by macroblock, each macroblock row's bits rounded up to whole bytes on
// their own.
PointResult PointCoder::Code(const CodedPicture& picture, const int32_t matrix[kMatrixEntries], int32_t scaleCode,
                             bool nonLinearScale, PointMeasures measures, const CodingModel& model) {
    if (SafeModel(model).UsesAccurateTransform() != picture.accurateTransform)
        throw std::logic_error(picture.name + ": prepared for another transform than the model's");
    CodingSettings settings;
    settings.scaleCode = scaleCode;
    settings.nonLinearScale = nonLinearScale ? 1 : 0;
    settings.model = model;
    pipeline_.Prepare(settings, matrix);
    reconstruction_.Allocate(picture.format);

    PointResult result;
    const int32_t* coefficients = picture.coefficients.data();
    for (int32_t row = 0; row < picture.rows; ++row) {
        pipeline_.StartRow();
        int64_t rowBits = 0;
        for (int32_t column = 0; column < picture.columns; ++column, coefficients += kMacroblockValues) {
            std::memcpy(buffer_.value, coefficients, sizeof buffer_.value);
            rowBits += pipeline_.Code(buffer_, nullptr, column * 16, row * 16);
            WriteSamples(picture.format, column * 16, row * 16);
        }
        result.bytes += (rowBits + 7) / 8;
    }
    MeasurePoint(picture, reconstruction_, measures, result);
    return result;
}

const Ssimulacra2Original& PreparedSsimulacra2::Get(const Y4mFormat& format, const Y4mFrame& original) {
    // One thread per point: the points of a candidate are scored side by side.
    std::call_once(once_, [&] {
        Ssimulacra2Options options;
        options.threads = 1;
        original_ = std::make_unique<Ssimulacra2Original>(format, original, options);
    });
    return *original_;
}

const ButteraugliOriginal& PreparedButteraugli::Get(const Y4mFormat& format, const Y4mFrame& original) {
    std::call_once(once_, [&] {
        ButteraugliOptions options;
        options.threads = 1;
        original_ = std::make_unique<ButteraugliOriginal>(format, original, options);
    });
    return *original_;
}

double CodedPicture::ButteraugliOf(const Y4mFrame& distorted) const {
    return butteraugli->Get(format, original).Measure(format, distorted).norm3;
}

double CodedPicture::Ssimulacra2Of(const Y4mFrame& distorted) const {
    return ssimulacra2->Get(format, original).Score(format, distorted);
}

void MeasurePoint(const CodedPicture& picture, const Y4mFrame& reconstruction, PointMeasures measures,
                  PointResult& point) {
    if (measures & kMeasurePsnr)
        point.error = CompareFrames(picture.original, reconstruction);
    else if (measures & kMeasureLumaPsnr)
        point.error.y = ComparePlanes(picture.original.y, reconstruction.y);
    if (measures & kMeasureSsim) point.ssim = CompareFramesSsim(picture.format, picture.original, reconstruction);
    const bool both = (measures & kMeasureSsimulacra2) && (measures & kMeasureButteraugli);
    if (both) {
        RgbImage rgb;
        FrameToRgb(picture.format, reconstruction, rgb);
        point.ssimulacra2 = picture.ssimulacra2->Get(picture.format, picture.original).Score(rgb);
        point.butteraugli = picture.butteraugli->Get(picture.format, picture.original).Measure(rgb).norm3;
        return;
    }
    if (measures & kMeasureSsimulacra2) point.ssimulacra2 = picture.Ssimulacra2Of(reconstruction);
    if (measures & kMeasureButteraugli) point.butteraugli = picture.ButteraugliOf(reconstruction);
}

// The scatter puts a luma sample s at s x 16 and repeats a chroma entry c
// at c x 16 over its 2x2 square of pixels; back in 8 bits these become
// clamp(s, 0, 255) and clamp(c + 128, 0, 255), and a 4:2:0 chroma sample,
// the mean of the pixels of one square, is that square's value. So the
// 8-bit planes are written straight from the blocks.
void PointCoder::WriteSamples(const Y4mFormat& format, int32_t x, int32_t y) {
    const int32_t width = format.width, height = format.height;
    const int32_t right = std::min(width, x + 16), bottom = std::min(height, y + 16);
    for (int32_t py = y; py < bottom; ++py) {
        uint8_t* out = reconstruction_.y.data() + size_t(py) * size_t(width) + size_t(x);
        // The left and the right block of this line of the macroblock.
        const int32_t* left = buffer_.Block(((py - y) / 8) * 2) + ((py - y) % 8) * 8;
        const int32_t* parts[2] = {left, left + 64};
        for (int32_t half = 0; half < 2; ++half) {
            const int32_t count = std::min(8, right - x - 8 * half);
            for (int32_t i = 0; i < count; ++i) out[8 * half + i] = uint8_t(std::clamp(parts[half][i], 0, 255));
        }
    }
    // The picture's chroma is 4:2:0 (CodedPlanes): one sample per square.
    if (format.chroma == ChromaFormat::kMono) return;
    const int32_t chromaWidth = ChromaWidth(format);
    const int32_t rows = (bottom - y + 1) / 2, columns = (right - x + 1) / 2;
    const int32_t* cb = buffer_.Block(kCbBlock);
    const int32_t* cr = buffer_.Block(kCrBlock);
    for (int32_t i = 0; i < rows; ++i) {
        const size_t line = size_t(y / 2 + i) * size_t(chromaWidth) + size_t(x / 2);
        for (int32_t j = 0; j < columns; ++j) {
            reconstruction_.cb[line + size_t(j)] = uint8_t(std::clamp(cb[i * 8 + j] + 128, 0, 255));
            reconstruction_.cr[line + size_t(j)] = uint8_t(std::clamp(cr[i * 8 + j] + 128, 0, 255));
        }
    }
}

}  // namespace vardelk

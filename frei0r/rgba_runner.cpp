#include "frei0r/rgba_runner.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "parallel/parallel_for.h"

namespace vardelk {

RgbaRunner::RgbaRunner(int32_t width, int32_t height, int32_t threads, uint32_t cpuFlags)
    : width_(width),
      height_(height),
      threads_(std::max(threads, 1)),
      cpuFlags_(cpuFlags),
      conversions_(RgbaConversionsFor(cpuFlags)) {
    if (width < 1 || height < 1) throw std::logic_error("RgbaRunner: frames need at least one pixel");
    const int64_t mbRows = MacroblockRows(height);
    const int64_t count = std::min<int64_t>(threads_, mbRows);
    const size_t chromaWidth = size_t(width / 2 + width % 2);
    bands_.resize(size_t(count));
    for (int64_t b = 0; b < count; ++b) {
        Band& band = bands_[size_t(b)];
        const int64_t top = mbRows * b / count * 16;
        const int64_t end = std::min<int64_t>(mbRows * (b + 1) / count * 16, height);
        band.top = int32_t(top);
        band.height = int32_t(end - top);
        band.y.resize(size_t(width) * size_t(band.height));
        band.cb.resize(chromaWidth * size_t((band.height + 1) / 2));
        band.cr.resize(band.cb.size());
        band.coder = std::make_unique<FrameCoder>(cpuFlags);
    }
}

int32_t RgbaRunner::Process(const CodingSettings& settings, const int32_t* matrix, const uint8_t* in, uint8_t* out) {
    std::vector<int32_t> bytes(bands_.size(), 0);
    ParallelFor(threads_, int64_t(bands_.size()), [&](int64_t b) {
        Band& band = bands_[size_t(b)];
        bytes[size_t(b)] = settings.interlacedDct ? ProcessFieldBand(band, settings, matrix, in, out)
                                                  : ProcessBand(band, settings, matrix, in, out);
    });
    int64_t total = 0;
    for (int32_t b : bytes) total += b;
    return int32_t(std::min<int64_t>(total, INT32_MAX));
}

// The band's input rows are converted before any output row is written, so
// coding in place is safe. A last odd row pairs with itself; the gather
// takes chroma only from whole 2x2 squares, so its chroma is never read.
int32_t RgbaRunner::ProcessBand(Band& band, const CodingSettings& settings, const int32_t* matrix, const uint8_t* in,
                                uint8_t* out) const {
    const size_t width = size_t(width_);
    const size_t rowBytes = width * 4;
    const size_t chromaWidth = width / 2 + width % 2;
    const uint8_t* first = in + size_t(band.top) * rowBytes;
    for (int32_t row = 0; row < band.height; row += 2) {
        const uint8_t* upper = first + size_t(row) * rowBytes;
        const bool pair = row + 1 < band.height;
        const size_t chroma = size_t(row / 2) * chromaWidth;
        conversions_.rowsTo420(upper, pair ? upper + rowBytes : upper, width, band.y.data() + size_t(row) * width,
                               band.y.data() + size_t(row + (pair ? 1 : 0)) * width, band.cb.data() + chroma,
                               band.cr.data() + chroma);
    }
    const PlanarInput planesIn{band.y.data(), band.cb.data(), band.cr.data(), width_, int32_t(chromaWidth)};
    const PlanarOutput planesOut{band.y.data(), band.cb.data(), band.cr.data(), width_, int32_t(chromaWidth)};
    const int32_t bytes = band.coder->CodePlanarFrame(settings, matrix, planesIn, planesOut, width_, band.height);
    uint8_t* target = out + size_t(band.top) * rowBytes;
    for (int32_t row = 0; row < band.height; row += 2) {
        const bool pair = row + 1 < band.height;
        const size_t chroma = size_t(row / 2) * chromaWidth;
        uint8_t* to = target + size_t(row) * rowBytes;
        const uint8_t* luma = band.y.data() + size_t(row) * width;
        conversions_.rows420ToRgba(luma, pair ? luma + width : nullptr, band.cb.data() + chroma,
                                   band.cr.data() + chroma, width, first + size_t(row) * rowBytes,
                                   pair ? first + size_t(row + 1) * rowBytes : nullptr, to,
                                   pair ? to + rowBytes : nullptr);
    }
    return bytes;
}

int32_t RgbaRunner::ProcessFieldBand(Band& band, const CodingSettings& settings, const int32_t* matrix,
                                     const uint8_t* in, uint8_t* out) const {
    if (!band.runner) {
        band.frame.Allocate(FormatForRgb(width_, band.height));
        band.runner = std::make_unique<ClipRunner>(FormatForRgb(width_, band.height), CodingSettings{},
                                                   kDefaultIntraMatrix, std::string(), 1, cpuFlags_);
        band.runner->MeasureError(false);
    }
    band.runner->SetCoding(settings, matrix);
    const size_t offset = size_t(band.top) * size_t(width_) * 4;
    const size_t pixels = size_t(band.height) * size_t(width_);
    conversions_.toPlanes(in + offset, pixels, band.frame.y.data(), band.frame.cb.data(), band.frame.cr.data());
    const int32_t bytes = band.runner->Process(band.frame).bytes;
    if (out != in) {
        for (size_t i = 3; i < pixels * 4; i += 4) out[offset + i] = in[offset + i];
    }
    const Y4mFrame& made = band.runner->Reconstruction();
    conversions_.toRgba(made.y.data(), made.cb.data(), made.cr.data(), pixels, out + offset);
    return bytes;
}

}  // namespace vardelk

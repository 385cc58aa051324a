#include "clip/rgba_runner.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "parallel/parallel_for.h"

namespace vardelk {

RgbaRunner::RgbaRunner(int32_t width, int32_t height, int32_t threads, uint32_t cpuFlags)
    : width_(width), height_(height), threads_(std::max(threads, 1)), conversions_(RgbaConversionsFor(cpuFlags)) {
    if (width < 1 || height < 1) throw std::logic_error("RgbaRunner: frames need at least one pixel");
    const int64_t mbRows = MacroblockRows(height);
    const int64_t count = std::min<int64_t>(threads_, mbRows);
    bands_.resize(size_t(count));
    for (int64_t b = 0; b < count; ++b) {
        Band& band = bands_[size_t(b)];
        const int64_t top = mbRows * b / count * 16;
        const int64_t end = std::min<int64_t>(mbRows * (b + 1) / count * 16, height);
        band.top = int32_t(top);
        band.height = int32_t(end - top);
        band.frame.Allocate(FormatForRgb(width, band.height));
        // The coding settings are given with every frame.
        band.runner = std::make_unique<ClipRunner>(FormatForRgb(width, band.height), CodingSettings{},
                                                   kDefaultIntraMatrix, std::string(), 1, cpuFlags);
        band.runner->MeasureError(false);
    }
}

int32_t RgbaRunner::Process(const CodingSettings& settings, const int32_t* matrix, const uint8_t* in, uint8_t* out) {
    for (Band& band : bands_) band.runner->SetCoding(settings, matrix);
    std::vector<int32_t> bytes(bands_.size(), 0);
    ParallelFor(threads_, int64_t(bands_.size()),
                [&](int64_t b) { bytes[size_t(b)] = ProcessBand(bands_[size_t(b)], in, out); });
    int64_t total = 0;
    for (int32_t b : bytes) total += b;
    return int32_t(std::min<int64_t>(total, INT32_MAX));
}

// The band's input rows are converted before any output row is written, so
// coding in place is safe.
int32_t RgbaRunner::ProcessBand(Band& band, const uint8_t* in, uint8_t* out) const {
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

// Whole frames through the frame coder with whatever a host could hand over:
// any geometry (sizes beyond the frame, zero, negative, one), missing
// frames, any settings, any matrix entries and any component values.
//
// The frames are allocated with exactly maxWidth x maxHeight pixels so that
// ASan reports any access outside them. Besides the sanitizers, the target
// checks what the frame coder promises: the input is only read, the output is
// zero outside the picture and holds reconstructed samples inside it, the
// matrix is not written, the byte count matches the per-macroblock bits,
// out-of-range settings behave exactly like their clamped values, a second
// run of the same frame gives the same result, and the fast path gives
// exactly what the plain reference path gives.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/frame_coder.h"
#include "codec/types.h"
#include "fuzz/fuzz_support.h"

namespace {

using vardelk::CodingSettings;
using vardelk::FrameGeometry;
using vardelk::Pixel;

// Small enough to keep a run fast, large enough for several macroblocks,
// partial ones at both edges and interlaced field pairs.
constexpr int32_t kLargestFrameSide = 72;

// Stands in for the coefficient logs: wants both stages, as they do, and
// checks what it is handed.
class CheckingSink final : public vardelk::CoefficientSink {
public:
    bool Wants(vardelk::CoefficientStage) const override { return true; }
    void Take(vardelk::CoefficientStage, int32_t x, int32_t y, const vardelk::MacroblockBuffer&) override {
        FUZZ_CHECK(x >= 0 && y >= 0 && x % 16 == 0 && y % 16 == 0);
    }
};

struct Result {
    int32_t bytes = 0;
    std::vector<Pixel> output;
    std::vector<int32_t> macroblockBits;
};

bool SamePixels(const Pixel* a, const Pixel* b, size_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(Pixel)) == 0;
}

int32_t Clamp(int32_t v, int32_t low, int32_t high) { return std::min(std::max(v, low), high); }

// One run on freshly allocated frames of exactly the frame's pixel count.
Result Run(const CodingSettings& settings, bool log, const int32_t* matrix, const FrameGeometry& shape,
           const std::vector<Pixel>& input, bool withEdit, bool withTemp, int32_t safeWidth, int32_t safeHeight,
           bool reference = false) {
    const size_t pixels = input.size();
    std::unique_ptr<Pixel[]> edit(withEdit ? new Pixel[pixels] : nullptr);
    std::unique_ptr<Pixel[]> temp(withTemp ? new Pixel[pixels] : nullptr);
    if (edit && pixels > 0) std::memcpy(edit.get(), input.data(), pixels * sizeof(Pixel));
    // Whatever the host left in the output frame must not matter.
    if (temp) {
        for (size_t i = 0; i < pixels; ++i) temp[i] = Pixel{int16_t(0x5a5a), int16_t(-1), int16_t(0x7fff)};
    }
    std::vector<Pixel> tempBefore(temp ? temp.get() : nullptr, temp ? temp.get() + pixels : nullptr);

    const size_t mbCount = static_cast<size_t>(vardelk::MacroblockColumns(safeWidth)) *
                           static_cast<size_t>(vardelk::MacroblockRows(safeHeight));
    // Exactly as many entries as promised, so an extra one is an overrun.
    std::unique_ptr<int32_t[]> bits(new int32_t[mbCount]);

    Result result;
    vardelk::FrameOutputs outputs;
    outputs.macroblockBits = bits.get();
    CheckingSink sink;
    if (log) outputs.sink = &sink;
    vardelk::FrameCoder coder;
    result.bytes = reference ? coder.CodeFrameReference(settings, matrix, edit.get(), temp.get(), shape, outputs)
                             : coder.CodeFrame(settings, matrix, edit.get(), temp.get(), shape, outputs);
    FUZZ_CHECK(result.bytes >= 0);
    FUZZ_CHECK(vardelk::FramesUsable(edit.get(), temp.get(), shape) == (withEdit && withTemp));

    if (!withEdit || !withTemp) {
        // Nothing to process: nothing written.
        FUZZ_CHECK(result.bytes == 0);
        if (temp) FUZZ_CHECK(SamePixels(temp.get(), tempBefore.data(), pixels));
        if (edit) FUZZ_CHECK(SamePixels(edit.get(), input.data(), pixels));
        return result;
    }

    // The input frame is only read.
    FUZZ_CHECK(SamePixels(edit.get(), input.data(), pixels));

    const int32_t stride = shape.stride;
    const Pixel* out = temp.get();
    for (int32_t row = 0; row < shape.rows; ++row) {
        for (int32_t col = 0; col < stride; ++col) {
            const Pixel& p = out[static_cast<size_t>(row) * static_cast<size_t>(stride) + static_cast<size_t>(col)];
            if (row >= safeHeight || col >= safeWidth) {
                FUZZ_CHECK(p.y == 0 && p.cb == 0 && p.cr == 0);
                continue;
            }
            for (int16_t c : {p.y, p.cb, p.cr}) {
                FUZZ_CHECK(c % 16 == 0);
                FUZZ_CHECK(c >= -256 * 16 && c <= 255 * 16);
            }
        }
    }

    // Each macroblock row is rounded up to whole bytes on its own.
    const int32_t columns = vardelk::MacroblockColumns(safeWidth);
    int64_t expected = 0;
    for (size_t start = 0; start < mbCount; start += static_cast<size_t>(columns)) {
        int64_t rowBits = 0;
        for (int32_t c = 0; c < columns; ++c) {
            FUZZ_CHECK(bits[start + static_cast<size_t>(c)] >= 0);
            rowBits += bits[start + static_cast<size_t>(c)];
        }
        expected += (rowBits + 7) / 8;
    }
    FUZZ_CHECK(expected == result.bytes);

    result.output.assign(out, out + pixels);
    result.macroblockBits.assign(bits.get(), bits.get() + mbCount);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);

    CodingSettings settings;
    settings.scaleCode = provider.ConsumeIntegral<int32_t>();
    settings.nonLinearScale = provider.ConsumeIntegral<int32_t>() != 0;
    settings.alternateScan = provider.ConsumeIntegral<int32_t>() != 0;
    settings.interlacedDct = provider.ConsumeIntegral<int32_t>() != 0;
    // Logging sends a frame down the plain path; keep it rarer so the fast
    // path is what most inputs exercise.
    const bool log = provider.ConsumeIntegralInRange<int>(0, 7) == 0 && provider.ConsumeIntegral<int32_t>() != 0;

    const bool withEdit = provider.ConsumeIntegralInRange<int>(0, 15) != 0;
    const bool withTemp = provider.ConsumeIntegralInRange<int>(0, 15) != 0;

    FrameGeometry shape{};
    provider.ConsumeIntegral<int32_t>();  // the host record's unused word, kept so the corpus keeps its meaning
    shape.stride = provider.ConsumeIntegralInRange<int32_t>(-2, kLargestFrameSide);
    shape.rows = provider.ConsumeIntegralInRange<int32_t>(-2, kLargestFrameSide);
    if (!withEdit || !withTemp) {
        // Without frames even absurd sizes must be harmless.
        if (provider.ConsumeBool()) shape.stride = provider.ConsumeIntegral<int32_t>();
        if (provider.ConsumeBool()) shape.rows = provider.ConsumeIntegral<int32_t>();
    }
    // Picture sizes: near the frame's, or anything at all.
    auto pictureSide = [&](int32_t frameSide) {
        switch (provider.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                return frameSide;
            case 1:
                return provider.ConsumeIntegralInRange<int32_t>(-3, 3);
            case 2: {
                const int64_t side = int64_t{frameSide} + provider.ConsumeIntegralInRange<int32_t>(-20, 20);
                return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(side, INT32_MIN), INT32_MAX));
            }
            default:
                return provider.ConsumeIntegral<int32_t>();
        }
    };
    shape.width = pictureSide(shape.stride);
    shape.height = pictureSide(shape.rows);

    int32_t matrix[vardelk::kMatrixEntries];
    const int matrixKind = provider.ConsumeIntegralInRange<int>(0, 2);
    for (int32_t& entry : matrix) {
        entry = matrixKind == 0   ? provider.ConsumeIntegral<int32_t>()
                : matrixKind == 1 ? provider.ConsumeIntegral<int16_t>()
                                  : provider.ConsumeIntegralInRange<int32_t>(1, 4095);
    }
    int32_t matrixBefore[vardelk::kMatrixEntries];
    std::memcpy(matrixBefore, matrix, sizeof matrix);

    const bool framesPresent = withEdit && withTemp;
    const int32_t maxWidth = framesPresent ? std::max(shape.stride, 0) : 0;
    const int32_t maxHeight = framesPresent ? std::max(shape.rows, 0) : 0;
    const size_t pixels = static_cast<size_t>(maxWidth) * static_cast<size_t>(maxHeight);
    // Frames are only allocated when both exist; a lone frame gets a few
    // pixels, since with the other missing nothing may touch it at all.
    std::vector<Pixel> input(framesPresent ? pixels : 4);

    // Components over the whole int16 range; a short input repeats itself.
    const std::vector<uint8_t> bytes = provider.ConsumeRemainingBytes<uint8_t>();
    for (size_t i = 0; i < input.size(); ++i) {
        int16_t c[3] = {0, 0, 0};
        if (!bytes.empty()) {
            for (size_t k = 0; k < 3; ++k) {
                const size_t at = (i * 6 + k * 2) % bytes.size();
                c[k] = static_cast<int16_t>(bytes[at] | (bytes[(at + 1) % bytes.size()] << 8));
            }
        }
        input[i] = Pixel{c[0], c[1], c[2]};
    }

    const int32_t safeWidth = framesPresent ? Clamp(shape.width, 0, maxWidth) : 0;
    const int32_t safeHeight = framesPresent ? Clamp(shape.height, 0, maxHeight) : 0;
    const Result first = Run(settings, log, matrix, shape, input, withEdit, withTemp, safeWidth, safeHeight);
    FUZZ_CHECK(std::memcmp(matrix, matrixBefore, sizeof matrix) == 0);
    if (!framesPresent) return 0;

    // The same frame again: no state may leak from one frame into the next.
    const Result again = Run(settings, log, matrix, shape, input, true, true, safeWidth, safeHeight);
    FUZZ_CHECK(again.bytes == first.bytes);
    FUZZ_CHECK(again.output.size() == first.output.size() &&
               SamePixels(again.output.data(), first.output.data(), first.output.size()));
    FUZZ_CHECK(again.macroblockBits == first.macroblockBits);

    // A host handing the same buffer as both frames gets no defined picture,
    // but nothing outside that buffer may be touched.
    if (provider.remaining_bytes() == 0 && !input.empty() && (input[0].y & 1) != 0) {
        std::unique_ptr<Pixel[]> one(new Pixel[input.size()]);
        std::memcpy(one.get(), input.data(), input.size() * sizeof(Pixel));
        vardelk::FrameCoder coder;
        FUZZ_CHECK(coder.CodeFrame(settings, matrix, one.get(), one.get(), shape) >= 0);
    }

    // The plain stages alone give exactly the same frame.
    const Result plain = Run(settings, log, matrix, shape, input, true, true, safeWidth, safeHeight, true);
    FUZZ_CHECK(plain.bytes == first.bytes);
    FUZZ_CHECK(SamePixels(plain.output.data(), first.output.data(), first.output.size()));
    FUZZ_CHECK(plain.macroblockBits == first.macroblockBits);

    // Out-of-range inputs must behave exactly like their safe equivalents.
    CodingSettings clamped;
    clamped.scaleCode = Clamp(settings.scaleCode, vardelk::kMinScaleCode, vardelk::kMaxScaleCode);
    clamped.nonLinearScale = settings.nonLinearScale;
    clamped.alternateScan = settings.alternateScan;
    clamped.interlacedDct = settings.interlacedDct;
    int32_t clampedMatrix[vardelk::kMatrixEntries];
    for (int i = 0; i < vardelk::kMatrixEntries; ++i) {
        clampedMatrix[i] = Clamp(matrix[i], vardelk::kMinMatrixEntry, vardelk::kMaxMatrixEntry);
    }
    FrameGeometry safeShape = shape;
    safeShape.width = safeWidth;
    safeShape.height = safeHeight;
    const Result reference = Run(clamped, false, clampedMatrix, safeShape, input, true, true, safeWidth, safeHeight);
    FUZZ_CHECK(reference.bytes == first.bytes);
    FUZZ_CHECK(SamePixels(reference.output.data(), first.output.data(), first.output.size()));
    FUZZ_CHECK(reference.macroblockBits == first.macroblockBits);
    return 0;
}

// Shared by the stream tests: frames coded through the frame coder into a
// stream, with the coder's levels kept, and the pictures a compliant decoder
// should show, rebuilt from those levels with the coder's own plain
// dequantisation and inverse transform.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_pipeline.h"
#include "codec/quantise.h"
#include "media/clamp8.h"
#include "media/y4m.h"
#include "media/yc_convert.h"
#include "stream/stream_writer.h"

namespace vardelk::testing {

// Passes levels on to the writer and keeps a copy, macroblocks row-major.
class KeepingSink final : public CoefficientSink {
public:
    KeepingSink(StreamWriter& writer, int32_t columns, int32_t rows)
        : writer_(writer), columns_(columns), levels(static_cast<size_t>(columns) * rows * kMacroblockValues) {}
    bool Wants(CoefficientStage stage) const override { return writer_.Wants(stage); }
    void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override {
        writer_.Take(stage, x, y, buffer);
        const size_t at = (static_cast<size_t>(y / 16) * columns_ + static_cast<size_t>(x / 16)) * kMacroblockValues;
        std::copy(buffer.value, buffer.value + kMacroblockValues, levels.begin() + static_cast<std::ptrdiff_t>(at));
    }

private:
    StreamWriter& writer_;
    int32_t columns_;

public:
    std::vector<int32_t> levels;
};

// 8-bit 4:2:0 planes cut to the picture, chroma (w + 1) / 2 x (h + 1) / 2.
struct Planes420 {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> y, cb, cr;
};

struct StreamedFrame {
    std::vector<int32_t> levels;  // the coder's, per macroblock
    int32_t estimatedBytes = 0;
    FrameAccounting accounting;
    Planes420 expected;              // what a decoder of the stream should show
    std::vector<uint8_t> codedLuma;  // the coder's own output luma, 8-bit
};

// What a decoder needs besides the levels: the picture's size, the matrix,
// the scale and DCT type of each macroblock, and how its DC levels are held.
struct LevelsCoding {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<int32_t> matrix;  // natural order
    int32_t nonLinearScale = 0;
    int32_t dcPrecision = 11;
    // The DC as the filter carries it (unscaled, chroma about zero);
    // otherwise as a stream holds it, 0..2^dcPrecision - 1.
    bool filterDc = true;
    std::vector<int32_t> scaleCodes;  // per macroblock, row-major
    std::vector<uint8_t> fieldDct;    // per macroblock
};

// Dequantises and inverse-transforms the levels (every macroblock row they
// hold) and places the blocks as the stream's decoder does: luma by
// quadrant or by field, chroma always by frame.
inline Planes420 Rebuild(const std::vector<int32_t>& levels, const LevelsCoding& coding) {
    int32_t weights[kMatrixEntries];
    ClampMatrix(coding.matrix.data(), weights);
    const int32_t columns = MacroblockColumns(coding.width);
    const int32_t rows = static_cast<int32_t>(levels.size() / (static_cast<size_t>(columns) * kMacroblockValues));
    const int32_t paddedWidth = columns * 16;
    const int32_t dcShift = 11 - coding.dcPrecision;
    std::vector<uint8_t> luma(static_cast<size_t>(paddedWidth) * rows * 16);
    std::vector<uint8_t> chroma[2];
    for (auto& plane : chroma) {
        plane.assign(luma.size() / 4, 0);
    }
    for (int32_t row = 0; row < rows; ++row) {
        for (int32_t column = 0; column < columns; ++column) {
            const size_t index = static_cast<size_t>(row) * columns + static_cast<size_t>(column);
            MacroblockBuffer buffer;
            const size_t at = index * kMacroblockValues;
            std::copy(levels.begin() + static_cast<std::ptrdiff_t>(at),
                      levels.begin() + static_cast<std::ptrdiff_t>(at + kMacroblockValues), buffer.value);
            if (!coding.filterDc) {
                // A stream's DC level scaled to 11 bits, chroma about zero as the
                // filter's own DC is.
                for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
                    buffer.Block(b)[0] = buffer.Block(b)[0] * (1 << dcShift) - (b >= kCbBlock ? kChromaDcOffset : 0);
                }
            }
            DequantiseMacroblock(buffer, weights, QuantiserScale(coding.scaleCodes[index], coding.nonLinearScale));
            for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
                InverseDct(buffer.Block(b));
            }
            for (int32_t b = 0; b < 4; ++b) {
                for (int32_t i = 0; i < 8; ++i) {
                    const int32_t line = coding.fieldDct[index] ? 2 * i + (b >> 1) : 8 * (b >> 1) + i;
                    for (int32_t j = 0; j < 8; ++j) {
                        const size_t pixel = static_cast<size_t>(row * 16 + line) * paddedWidth +
                                             static_cast<size_t>(column * 16 + (b & 1) * 8 + j);
                        luma[pixel] = Clamp8(buffer.Block(b)[i * 8 + j]);
                    }
                }
            }
            for (int32_t c = 0; c < 2; ++c) {
                for (int32_t i = 0; i < 8; ++i) {
                    for (int32_t j = 0; j < 8; ++j) {
                        const size_t sample =
                            static_cast<size_t>(row * 8 + i) * (paddedWidth / 2) + static_cast<size_t>(column * 8 + j);
                        chroma[c][sample] = Clamp8(buffer.Block(kCbBlock + c)[i * 8 + j] + 128);
                    }
                }
            }
        }
    }
    Planes420 planes;
    planes.width = coding.width;
    planes.height = coding.height;
    const int32_t chromaWidth = (coding.width + 1) / 2;
    const int32_t chromaHeight = (coding.height + 1) / 2;
    for (int32_t y = 0; y < coding.height; ++y) {
        const auto from = luma.begin() + static_cast<std::ptrdiff_t>(y) * paddedWidth;
        planes.y.insert(planes.y.end(), from, from + coding.width);
    }
    for (int32_t y = 0; y < chromaHeight; ++y) {
        const auto offset = static_cast<std::ptrdiff_t>(y) * (paddedWidth / 2);
        planes.cb.insert(planes.cb.end(), chroma[0].begin() + offset, chroma[0].begin() + offset + chromaWidth);
        planes.cr.insert(planes.cr.end(), chroma[1].begin() + offset, chroma[1].begin() + offset + chromaWidth);
    }
    return planes;
}

// The coder's levels of a frame coded with these settings.
inline Planes420 RebuildPlanes(const std::vector<int32_t>& levels, int32_t width, int32_t height,
                               const CodingSettings& settings, const int32_t matrix[kMatrixEntries]) {
    const CodingModel model = SafeModel(settings.model);
    const size_t macroblocks = static_cast<size_t>(MacroblockColumns(width)) * MacroblockRows(height);
    LevelsCoding coding;
    coding.width = width;
    coding.height = height;
    coding.matrix.assign(matrix, matrix + kMatrixEntries);
    coding.nonLinearScale = settings.nonLinearScale;
    coding.dcPrecision = model.dcPrecision;
    coding.filterDc = model.CarriesFilterDc();
    coding.scaleCodes.assign(macroblocks, settings.scaleCode);
    coding.fieldDct.assign(macroblocks, settings.interlacedDct ? 1 : 0);
    return Rebuild(levels, coding);
}

// Codes one Y4M frame through the coder into the writer.
inline StreamedFrame CodeIntoStream(FrameCoder& coder, StreamWriter& writer, const CodingSettings& settings,
                                    const int32_t matrix[kMatrixEntries], const Y4mFormat& format,
                                    const Y4mFrame& frame, std::vector<uint8_t>& stream) {
    const FrameGeometry geometry{format.width, format.height, format.width, format.height};
    std::vector<Pixel> input(static_cast<size_t>(format.width) * format.height);
    std::vector<Pixel> output(input.size());
    Y4mToYc(format, frame, input.data(), format.width);
    KeepingSink sink(writer, MacroblockColumns(format.width), MacroblockRows(format.height));
    StreamedFrame coded;
    FrameOutputs outputs;
    outputs.sink = &sink;
    coded.estimatedBytes = coder.CodeFrame(settings, matrix, input.data(), output.data(), geometry, outputs);
    coded.accounting = writer.FinishFrame(coded.estimatedBytes, stream);
    coded.levels = std::move(sink.levels);
    coded.expected = RebuildPlanes(coded.levels, format.width, format.height, settings, matrix);
    for (const Pixel& pixel : output) {
        coded.codedLuma.push_back(YcToSample(pixel.y));
    }
    return coded;
}

// Levels made up for a model, for the writer without the coder.
struct Picture {
    int32_t width = 40;
    int32_t height = 40;
    char interlace = 'p';
};

// Pseudo-random levels of the kind the model's coder gives: DC levels over
// their whole range (the filter's unscaled, chroma about zero; any other
// model's 0..2^precision - 1), sparse AC levels with short and long runs,
// magnitudes with codes and beyond them, and some blocks whose last
// coefficient is non-zero. `huge`: busier blocks and magnitudes up to the
// largest an escape holds; otherwise few levels, mostly small, so that the
// samples they give stay near the range a decoder's transform is exact in.
inline std::vector<int32_t> MakeLevels(const CodingModel& model, int32_t macroblocks, uint32_t seed, bool huge) {
    uint32_t state = seed * 2654435761u + 7u;
    const auto next = [&state](uint32_t span) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>((state >> 8) % span);
    };
    const int32_t magnitudes[] = {
        1, 1, 1, 2, 3, 5, huge ? 17 : 1, huge ? 40 : 2, huge ? 41 : 6, huge ? 300 : 9, huge ? 2047 : 17};
    const int32_t maxDc = (1 << model.dcPrecision) - 1;
    std::vector<int32_t> levels(static_cast<size_t>(macroblocks) * kMacroblockValues);
    for (size_t block = 0; block < levels.size() / kBlockValues; ++block) {
        int32_t* values = levels.data() + block * kBlockValues;
        const bool chroma = block % kBlocksPerMacroblock >= static_cast<size_t>(kCbBlock);
        const int32_t extreme = next(8);
        values[0] = extreme == 0 ? 0 : extreme == 1 ? maxDc : next(static_cast<uint32_t>(maxDc + 1));
        if (model.CarriesFilterDc() && chroma) values[0] -= kChromaDcOffset;
        const int32_t density = next(4);  // 0: no AC at all, up to 3: busy
        for (int32_t i = 1; i < kBlockValues; ++i) {
            if (density > 0 && next(64) < (huge ? density * density * 3 : density)) {
                values[i] = magnitudes[next(sizeof magnitudes / sizeof magnitudes[0])] * (next(2) ? 1 : -1);
            }
        }
        if (block % 5 == 0) values[63] = next(2) ? 1 : -3;  // last in both scans
    }
    return levels;
}

// What the coder estimates for these levels: per macroblock row, predictors
// from the model's reset value, bits rounded up to bytes.
inline int32_t EstimateBytes(const std::vector<int32_t>& levels, int32_t columns, const CodingModel& model,
                             int32_t alternateScan) {
    int32_t bytes = 0;
    const int32_t rows = static_cast<int32_t>(levels.size() / kMacroblockValues) / columns;
    for (int32_t row = 0; row < rows; ++row) {
        DcPredictors predictors;
        ResetDcPredictors(predictors, model);
        int32_t bits = 0;
        for (int32_t column = 0; column < columns; ++column) {
            MacroblockBuffer buffer;
            const size_t at = (static_cast<size_t>(row) * columns + static_cast<size_t>(column)) * kMacroblockValues;
            std::copy(levels.begin() + static_cast<std::ptrdiff_t>(at),
                      levels.begin() + static_cast<std::ptrdiff_t>(at + kMacroblockValues), buffer.value);
            bits += EstimateMacroblockBits(buffer, AcCoding{alternateScan, model.intraVlcFormat}, predictors);
        }
        bytes += (bits + 7) / 8;
    }
    return bytes;
}

struct Written {
    std::vector<uint8_t> stream;
    FrameAccounting account;
};

inline Written Write(const Picture& picture, const CodingSettings& settings, const std::vector<int32_t>& levels) {
    // Taken as a coder hands them over, then the frame and the end code.
    StreamWriter writer(StreamFormat{picture.width, picture.height, 25, 1, picture.interlace}, settings,
                        kDefaultIntraMatrix);
    const int32_t columns = MacroblockColumns(picture.width);
    for (size_t m = 0; m < levels.size() / kMacroblockValues; ++m) {
        MacroblockBuffer buffer;
        std::copy(levels.begin() + static_cast<std::ptrdiff_t>(m * kMacroblockValues),
                  levels.begin() + static_cast<std::ptrdiff_t>((m + 1) * kMacroblockValues), buffer.value);
        const int32_t x = static_cast<int32_t>(m % static_cast<size_t>(columns)) * 16;
        const int32_t y = static_cast<int32_t>(m / static_cast<size_t>(columns)) * 16;
        writer.Take(CoefficientStage::kQuantised, x, y, buffer);
    }
    Written written;
    written.account =
        writer.FinishFrame(EstimateBytes(levels, columns, settings.model, settings.alternateScan), written.stream);
    writer.FinishStream(written.stream);
    return written;
}

// A picture with smooth gradients, edges and noise, in any chroma format.
inline Y4mFrame MakeTestFrame(const Y4mFormat& format, uint32_t seed) {
    Y4mFrame frame;
    frame.Allocate(format);
    uint32_t state = seed * 2654435761u + 12345u;
    const auto noise = [&state](int32_t span) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>((state >> 16) % static_cast<uint32_t>(2 * span + 1)) - span;
    };
    for (int32_t y = 0; y < format.height; ++y) {
        for (int32_t x = 0; x < format.width; ++x) {
            const int32_t edge = ((x / 11 + y / 7) % 3 == 0) ? 90 : 0;
            frame.y[static_cast<size_t>(y) * format.width + x] = Clamp8(30 + (x * 3 + y * 2) % 160 + edge + noise(12));
        }
    }
    const int32_t cw = ChromaWidth(format);
    const int32_t ch = ChromaHeight(format);
    for (int32_t y = 0; y < ch; ++y) {
        for (int32_t x = 0; x < cw; ++x) {
            frame.cb[static_cast<size_t>(y) * cw + x] = Clamp8(128 + (x * 5 - y * 3) % 90 - 20 + noise(8));
            frame.cr[static_cast<size_t>(y) * cw + x] = Clamp8(60 + (y * 4) % 150 + noise(8));
        }
    }
    return frame;
}

}  // namespace vardelk::testing

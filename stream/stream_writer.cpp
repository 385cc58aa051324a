#include "stream/stream_writer.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "codec/bit_cost.h"
#include "codec/vlc_tables.h"
#include "stream/stream_error.h"

namespace vardelk {
namespace {

int32_t ClipLevel(int32_t value, int32_t low, int32_t high, int32_t& clipped) {
    if (value < low || value > high) {
        ++clipped;
        return value < low ? low : high;
    }
    return value;
}

// Codes one block's DC difference against its predictor and its AC levels;
// returns the bits written.
int64_t WriteBlock(BitWriter& writer, const int32_t* block, bool chroma, int32_t& predictor, const int32_t* scan,
                   int32_t intraVlcFormat) {
    const int64_t start = writer.BitCount();
    // dct_dc_differential: size bits holding the difference when positive,
    // or the difference plus 2^size - 1 when negative.
    const int32_t difference = block[0] - predictor;
    predictor = block[0];
    const int32_t size = DcSizeCategory(difference);
    const VlcCode sizeCode = DcSizeCode(chroma, size);
    writer.Put(sizeCode.code, sizeCode.length);
    if (size > 0) {
        const int32_t bits = difference > 0 ? difference : difference + (1 << size) - 1;
        writer.Put(static_cast<uint32_t>(bits), size);
    }
    int32_t run = 0;
    for (int32_t p = 1; p < kBlockValues; ++p) {
        const int32_t level = block[scan[p]];
        if (level == 0) {
            ++run;
            continue;
        }
        const int32_t magnitude = level < 0 ? -level : level;
        const VlcCode code = AcCode(intraVlcFormat, run, magnitude);
        if (code.length > 0) {
            writer.Put(code.code, code.length);
            writer.Put(level < 0 ? 1 : 0, 1);
        } else {
            writer.Put(kEscapeCode.code, kEscapeCode.length);
            writer.Put(static_cast<uint32_t>(run), kEscapeRunBits);
            writer.Put(static_cast<uint32_t>(level) & 0xFFF, kEscapeLevelBits);
        }
        run = 0;
    }
    const VlcCode endOfBlock = EndOfBlockCode(intraVlcFormat);
    writer.Put(endOfBlock.code, endOfBlock.length);
    return writer.BitCount() - start;
}

// A block's DC level in the stream's terms before clipping: the filter's
// chroma DC is about zero and gains the offset of unsigned samples.
int64_t StreamDc(const CodingModel& model, int32_t block, int32_t dc) {
    return int64_t{dc} + (model.CarriesFilterDc() && block >= kCbBlock ? kChromaDcOffset : 0);
}

// The stream's levels of one macroblock from the coder's, for a model in
// range (SafeModel). The filter's own DC gains the chroma offset for
// unsigned samples; every other model's DC levels are the stream's already.
// DC levels are clipped to 0..2^precision - 1, AC levels to -2047..2047.
// Returns how many levels were clipped.
int32_t ToStreamLevels(const CodingModel& model, const MacroblockBuffer& simulated, int32_t stream[kMacroblockValues]) {
    const int32_t maxDc = (int32_t{1} << model.dcPrecision) - 1;
    int32_t clipped = 0;
    for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
        const int32_t* in = simulated.Block(b);
        int32_t* out = stream + b * kBlockValues;
        const int64_t dc = StreamDc(model, b, in[0]);
        out[0] = static_cast<int32_t>(dc < 0 ? 0 : dc > maxDc ? maxDc : dc);
        clipped += dc < 0 || dc > maxDc ? 1 : 0;
        for (int32_t i = 1; i < kBlockValues; ++i) {
            out[i] = ClipLevel(in[i], -kMaxStreamLevel, kMaxStreamLevel, clipped);
        }
    }
    return clipped;
}

}  // namespace

StreamWriter::StreamWriter(const StreamFormat& format, const CodingSettings& settings,
                           const int32_t matrix[kMatrixEntries])
    : layout_(MakeStreamLayout(format, settings, matrix)) {
    const size_t macroblocks = static_cast<size_t>(layout_.macroblockColumns) * layout_.simulatedRows;
    levels_.assign(macroblocks * kMacroblockValues, 0);
    taken_.assign(macroblocks, 0);
}

void StreamWriter::Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) {
    if (stage != CoefficientStage::kQuantised) {
        return;
    }
    if (x < 0 || y < 0 || x % 16 != 0 || y % 16 != 0 || x / 16 >= layout_.macroblockColumns ||
        y / 16 >= layout_.simulatedRows) {
        throw std::invalid_argument("macroblock at (" + std::to_string(x) + ", " + std::to_string(y) +
                                    ") lies outside the stream's " + std::to_string(layout_.width) + "x" +
                                    std::to_string(layout_.height) + " picture");
    }
    const size_t index = static_cast<size_t>(y / 16) * layout_.macroblockColumns + static_cast<size_t>(x / 16);
    for (int32_t i = 0; i < kMacroblockValues; ++i) {
        levels_[index * kMacroblockValues + static_cast<size_t>(i)] = buffer.value[i];
    }
    taken_[index] = 1;
}

FrameAccounting StreamWriter::FinishFrame(int32_t estimatedBytes, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < taken_.size(); ++i) {
        if (!taken_[i]) {
            throw std::logic_error("frame " + std::to_string(frames_) + ": no levels for macroblock " +
                                   std::to_string(i) + " of " + std::to_string(taken_.size()));
        }
    }
    FrameAccounting account;
    account.estimatedBytes = estimatedBytes;
    BitWriter writer;
    WriteSequenceHeader(writer, layout_);
    WriteSequenceExtension(writer, layout_);
    WriteGroupHeader(writer, layout_, frames_);
    WritePictureHeader(writer);
    WritePictureCodingExtension(writer, layout_);
    account.headerBits = writer.BitCount();

    // Each block's bits in the stream are the estimate's DC and AC bits plus
    // the terms below. The estimate's predictors start each row at the
    // model's reset value and follow the coder's own DC levels, as the
    // coder's estimate does; the stream's start each slice at mid range.
    const CodingModel& model = layout_.model;
    const AcCoding coding{layout_.alternateScan ? 1 : 0, model.intraVlcFormat};
    const int32_t* scan = coding.alternateScan ? AlternateScan : ZigzagScan;
    const int32_t lastNatural = scan[kBlockValues - 1];
    const int32_t endOfBlockBits = EndOfBlockCode(model.intraVlcFormat).length;
    const int32_t streamReset = StreamDcReset(layout_);
    const int32_t estimateReset = model.DcPredictorReset();
    int64_t estimateBytes = 0;
    MacroblockBuffer simulated;
    int32_t stream[kMacroblockValues];
    for (int32_t row = 0; row < layout_.simulatedRows; ++row) {
        account.sliceHeaderBits += WriteSliceHeader(writer, layout_, row);
        int32_t streamPredictors[3] = {streamReset, streamReset, streamReset};
        int32_t estimatePredictors[3] = {estimateReset, estimateReset, estimateReset};
        int64_t rowEstimateBits = 0;
        for (int32_t column = 0; column < layout_.macroblockColumns; ++column) {
            const size_t index = static_cast<size_t>(row) * layout_.macroblockColumns + static_cast<size_t>(column);
            for (int32_t i = 0; i < kMacroblockValues; ++i) {
                simulated.value[i] = levels_[index * kMacroblockValues + static_cast<size_t>(i)];
            }
            account.clippedLevels += ToStreamLevels(model, simulated, stream);
            account.macroblockBits += WriteMacroblockHeader(writer, layout_);
            for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
                const int32_t kind = b < kCbBlock ? 0 : b - kCbBlock + 1;
                const auto dcBits = [kind](int64_t d) -> int64_t {
                    return kind == 0 ? DcLumaBits(d) : DcChromaBits(d);
                };
                const int32_t* block = simulated.Block(b);
                const int64_t difference = int64_t{block[0]} - estimatePredictors[kind];
                estimatePredictors[kind] = block[0];
                const int64_t estimateBits = dcBits(difference) + AcBlockBits(block, coding);
                rowEstimateBits += estimateBits;

                const int64_t streamBits = WriteBlock(writer, stream + b * kBlockValues, kind != 0,
                                                      streamPredictors[kind], scan, model.intraVlcFormat);
                const int64_t endOfBlock = block[lastNatural] != 0 ? endOfBlockBits : 0;
                // The first block of each kind in a slice: its DC against the
                // stream's reset instead of the estimate's (only the filter's
                // luma DC differs; its chroma DC carries the same offset).
                const bool first = column == 0 && (b == 0 || b >= kCbBlock);
                const int64_t reset =
                    first ? dcBits(StreamDc(model, b, block[0]) - streamReset) - dcBits(difference) : 0;
                // What is left can only come from a DC level clipped into the
                // stream's range (an AC level beyond 2047 is an escape either way).
                const int64_t clipping = streamBits - estimateBits - endOfBlock - reset;
                account.endOfBlockBits += endOfBlock;
                account.dcResetBits += reset;
                account.clippingBits += clipping;
            }
        }
        const int64_t stuffing = writer.AlignWithZeros();
        const int64_t rowBytes = (rowEstimateBits + 7) / 8;
        account.alignmentBits += stuffing - (rowBytes * 8 - rowEstimateBits);
        estimateBytes += rowBytes;
    }
    if (estimateBytes != estimatedBytes) {
        throw std::logic_error("frame " + std::to_string(frames_) + ": the levels give an estimate of " +
                               std::to_string(estimateBytes) + " bytes, the coder reported " +
                               std::to_string(estimatedBytes));
    }

    // Rows below the picture, present only when the stream counts rows in
    // pairs: every block repeats its predictor (mid grey) and ends at once.
    const int64_t paddingStart = writer.BitCount();
    for (int32_t row = layout_.simulatedRows; row < layout_.codedRows; ++row) {
        WriteSliceHeader(writer, layout_, row);
        int32_t predictors[3] = {streamReset, streamReset, streamReset};
        int32_t grey[kBlockValues] = {streamReset};
        for (int32_t column = 0; column < layout_.macroblockColumns; ++column) {
            WriteMacroblockHeader(writer, layout_);
            for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
                const int32_t kind = b < kCbBlock ? 0 : b - kCbBlock + 1;
                WriteBlock(writer, grey, kind != 0, predictors[kind], ZigzagScan, model.intraVlcFormat);
            }
        }
        writer.AlignWithZeros();
    }
    account.paddingRowBits = writer.BitCount() - paddingStart;

    account.streamBytes = static_cast<int64_t>(writer.Bytes().size());
    if (account.TermBits() != 8 * (account.streamBytes - account.estimatedBytes)) {
        throw std::logic_error("frame " + std::to_string(frames_) + ": the accounting terms do not add up");
    }
    out.insert(out.end(), writer.Bytes().begin(), writer.Bytes().end());
    std::fill(taken_.begin(), taken_.end(), uint8_t{0});
    ++frames_;
    return account;
}

FrameAccounting StreamWriter::FinishStream(std::vector<uint8_t>& out) {
    FrameAccounting account;
    out.insert(out.end(), {0x00, 0x00, 0x01, kSequenceEndCode});
    account.streamBytes = 4;
    account.headerBits = 32;
    return account;
}

}  // namespace vardelk

#include "stream/stream_headers.h"

#include <cmath>
#include <string>

#include "codec/bit_cost.h"
#include "codec/frame_coder.h"
#include "stream/stream_error.h"

namespace vardelk {
namespace {

// The eight frame rates a frame_rate_code names; the sequence extension
// scales them by (n + 1) / (d + 1).
struct FrameRate {
    int32_t num;
    int32_t den;
};
constexpr FrameRate kFrameRates[9] = {{0, 1},  {24000, 1001}, {24, 1},       {25, 1}, {30000, 1001},
                                      {30, 1}, {50, 1},       {60000, 1001}, {60, 1}};

// A profile's levels, smallest first: picture size, luma samples per
// second, bit rate (400 bit/s units) and buffer size (16384-bit units).
struct Level {
    uint8_t indication;
    int32_t maxWidth;
    int32_t maxHeight;
    double maxSampleRate;
    uint32_t bitRateUnits;
    uint32_t vbvBufferUnits;
};
// The main profile allows intra DC precisions of 8 to 10 bits.
constexpr Level kMainLevels[4] = {
    {0x4A, 352, 288, 3041280.0, 10000, 29},
    {0x48, 720, 576, 10368000.0, 37500, 112},
    {0x46, 1440, 1152, 47001600.0, 150000, 448},
    {0x44, 1920, 1152, 62668800.0, 200000, 597},
};
// The high profile allows 11 bits as well.
constexpr Level kHighLevels[3] = {
    {0x18, 720, 576, 14745600.0, 50000, 152},
    {0x16, 1440, 1152, 62668800.0, 200000, 600},
    {0x14, 1920, 1152, 83558400.0, 250000, 748},
};
constexpr int32_t kMaxMainProfileDcPrecision = 10;

double RateOf(const StreamLayout& layout) {
    return static_cast<double>(kFrameRates[layout.frameRateCode].num) * (layout.frameRateExtensionN + 1) /
           (static_cast<double>(kFrameRates[layout.frameRateCode].den) * (layout.frameRateExtensionD + 1));
}

// The source's rate exactly when a code (plain first, then with the
// extension's factor) can say it; otherwise the nearest plain code.
void ChooseFrameRate(const StreamFormat& format, StreamLayout& layout) {
    const bool valid = format.rateNum > 0 && format.rateDen > 0;
    const int64_t num = valid ? format.rateNum : 25;
    const int64_t den = valid ? format.rateDen : 1;
    const auto findExact = [&](int32_t maxN, int32_t maxD) {
        for (int32_t n = 0; n <= maxN; ++n) {
            for (int32_t d = 0; d <= maxD; ++d) {
                for (int32_t code = 1; code <= 8; ++code) {
                    if (int64_t{kFrameRates[code].num} * (n + 1) * den == num * kFrameRates[code].den * (d + 1)) {
                        layout.frameRateCode = code;
                        layout.frameRateExtensionN = n;
                        layout.frameRateExtensionD = d;
                        return true;
                    }
                }
            }
        }
        return false;
    };
    if (!findExact(0, 0) && !findExact(3, 31)) {
        const double wanted = static_cast<double>(num) / static_cast<double>(den);
        double bestError = -1.0;
        for (int32_t code = 1; code <= 8; ++code) {
            const double error = std::fabs(static_cast<double>(kFrameRates[code].num) / kFrameRates[code].den - wanted);
            if (bestError < 0.0 || error < bestError) {
                bestError = error;
                layout.frameRateCode = code;
            }
        }
        layout.frameRateExtensionN = 0;
        layout.frameRateExtensionD = 0;
    }
    layout.timeCodeRate = static_cast<int32_t>(std::lround(RateOf(layout)));
    if (layout.timeCodeRate < 1) {
        layout.timeCodeRate = 1;
    }
}

template <size_t N>
const Level& SmallestLevelThatFits(const Level (&levels)[N], const StreamLayout& layout) {
    const double sampleRate = static_cast<double>(layout.width) * layout.height * RateOf(layout);
    for (const Level& level : levels) {
        if (layout.width <= level.maxWidth && layout.height <= level.maxHeight && sampleRate <= level.maxSampleRate) {
            return level;
        }
    }
    return levels[N - 1];  // larger pictures than any level allows still say the highest
}

void ChooseLevel(StreamLayout& layout) {
    const Level* chosen = layout.model.dcPrecision <= kMaxMainProfileDcPrecision
                              ? &SmallestLevelThatFits(kMainLevels, layout)
                              : &SmallestLevelThatFits(kHighLevels, layout);
    layout.profileAndLevel = chosen->indication;
    layout.bitRateUnits = chosen->bitRateUnits;
    layout.vbvBufferUnits = chosen->vbvBufferUnits;
}

}  // namespace

int32_t CodedMacroblockRows(int32_t height, bool progressiveSequence) {
    return progressiveSequence ? MacroblockRows(height) : 2 * ((height + 31) / 32);
}

void CheckMatrixFitsStream(const int32_t matrix[kMatrixEntries]) {
    // The DC weight is never used for intra blocks and is written as 8.
    const int32_t i = AcEntriesAbove(matrix, kMaxStreamMatrixEntry).first;
    if (i >= 0) {
        throw StreamError("intra matrix entry " + std::to_string(matrix[i]) + " at row " + std::to_string(i / 8 + 1) +
                          ", column " + std::to_string(i % 8 + 1) + " is above " +
                          std::to_string(kMaxStreamMatrixEntry) + ", the largest a stream can carry");
    }
}

StreamLayout MakeStreamLayout(const StreamFormat& format, const CodingSettings& settings,
                              const int32_t matrix[kMatrixEntries]) {
    CheckMatrixFitsStream(matrix);
    if (format.width < 1 || format.width > kMaxStreamWidth || format.height < 1 || format.height > kMaxStreamHeight) {
        throw StreamError("picture size " + std::to_string(format.width) + "x" + std::to_string(format.height) +
                          " cannot be written as a stream (1x1 to 16383x2800)");
    }
    if (format.width % 4096 == 0 || format.height % 4096 == 0) {
        // The 12-bit size fields may not be 0.
        throw StreamError("picture size " + std::to_string(format.width) + "x" + std::to_string(format.height) +
                          " cannot be written as a stream (a side is a multiple of 4096)");
    }
    StreamLayout layout;
    layout.width = format.width;
    layout.height = format.height;
    layout.macroblockColumns = MacroblockColumns(format.width);
    layout.simulatedRows = MacroblockRows(format.height);
    layout.fieldDct = settings.interlacedDct != 0;
    layout.alternateScan = settings.alternateScan != 0;
    layout.qScaleType = settings.nonLinearScale != 0 ? 1 : 0;
    layout.scaleCode = settings.scaleCode < kMinScaleCode   ? kMinScaleCode
                       : settings.scaleCode > kMaxScaleCode ? kMaxScaleCode
                                                            : settings.scaleCode;
    layout.model = SafeModel(settings.model);
    // A frame coded with field DCT is not a progressive frame, whatever the
    // source says; an unknown field order counts as progressive.
    const bool interlacedSource = format.interlace == 't' || format.interlace == 'b' || format.interlace == 'm';
    layout.progressiveFrame = !interlacedSource && !layout.fieldDct;
    layout.progressiveSequence = layout.progressiveFrame;
    layout.topFieldFirst = !layout.progressiveFrame && format.interlace != 'b';
    layout.codedRows = CodedMacroblockRows(format.height, layout.progressiveSequence);
    ChooseFrameRate(format, layout);
    ChooseLevel(layout);
    for (int32_t p = 0; p < kMatrixEntries; ++p) {
        const int32_t natural = ZigzagScan[p];
        const int32_t weight = natural == 0 ? kStreamMatrixDcEntry : matrix[natural];
        layout.matrixZigzag[p] = static_cast<uint8_t>(weight < 1 ? 1 : weight);
    }
    return layout;
}

int32_t IntraDcPrecisionField(const StreamLayout& layout) { return layout.model.dcPrecision - kMinDcPrecision; }

int32_t StreamDcReset(const StreamLayout& layout) { return int32_t{1} << (layout.model.dcPrecision - 1); }

void WriteSequenceHeader(BitWriter& writer, const StreamLayout& layout) {
    writer.PutStartCode(kSequenceHeaderCode);
    writer.Put(static_cast<uint32_t>(layout.width) & 0xFFF, 12);
    writer.Put(static_cast<uint32_t>(layout.height) & 0xFFF, 12);
    writer.Put(1, 4);  // square samples
    writer.Put(static_cast<uint32_t>(layout.frameRateCode), 4);
    writer.Put(layout.bitRateUnits & 0x3FFFF, 18);
    writer.Put(1, 1);  // marker
    writer.Put(layout.vbvBufferUnits & 0x3FF, 10);
    writer.Put(0, 1);                               // constrained_parameters_flag
    writer.Put(layout.loadIntraMatrix ? 1 : 0, 1);  // load_intra_quantiser_matrix
    if (layout.loadIntraMatrix) {
        for (uint8_t weight : layout.matrixZigzag) {
            writer.Put(weight, 8);
        }
    }
    writer.Put(0, 1);  // load_non_intra_quantiser_matrix
    writer.AlignWithZeros();
}

void WriteSequenceExtension(BitWriter& writer, const StreamLayout& layout) {
    writer.PutStartCode(kExtensionStartCode);
    writer.Put(kSequenceExtensionId, 4);
    writer.Put(layout.profileAndLevel, 8);
    writer.Put(layout.progressiveSequence ? 1 : 0, 1);
    writer.Put(1, 2);  // chroma_format 4:2:0
    writer.Put(static_cast<uint32_t>(layout.width) >> 12, 2);
    writer.Put(static_cast<uint32_t>(layout.height) >> 12, 2);
    writer.Put(layout.bitRateUnits >> 18, 12);
    writer.Put(1, 1);  // marker
    writer.Put(layout.vbvBufferUnits >> 10, 8);
    writer.Put(1, 1);  // low_delay: no B pictures, no reordering
    writer.Put(static_cast<uint32_t>(layout.frameRateExtensionN), 2);
    writer.Put(static_cast<uint32_t>(layout.frameRateExtensionD), 5);
    writer.AlignWithZeros();
}

void WriteGroupHeader(BitWriter& writer, const StreamLayout& layout, int64_t frameIndex) {
    const int64_t rate = layout.timeCodeRate;
    const int64_t seconds = frameIndex / rate;
    writer.PutStartCode(kGroupStartCode);
    writer.Put(0, 1);  // drop_frame_flag
    writer.Put(static_cast<uint32_t>((seconds / 3600) % 24), 5);
    writer.Put(static_cast<uint32_t>((seconds / 60) % 60), 6);
    writer.Put(1, 1);  // marker
    writer.Put(static_cast<uint32_t>(seconds % 60), 6);
    writer.Put(static_cast<uint32_t>((frameIndex % rate) & 0x3F), 6);
    writer.Put(1, 1);  // closed_gop
    writer.Put(0, 1);  // broken_link
    writer.AlignWithZeros();
}

void WritePictureHeader(BitWriter& writer) {
    writer.PutStartCode(kPictureStartCode);
    writer.Put(0, 10);       // temporal_reference: one picture per group
    writer.Put(1, 3);        // picture_coding_type I
    writer.Put(0xFFFF, 16);  // vbv_delay: variable rate
    writer.Put(0, 1);        // extra_bit_picture
    writer.AlignWithZeros();
}

void WritePictureCodingExtension(BitWriter& writer, const StreamLayout& layout) {
    writer.PutStartCode(kExtensionStartCode);
    writer.Put(kPictureCodingExtensionId, 4);
    writer.Put(0xFFFF, 16);  // f_codes: no motion
    writer.Put(static_cast<uint32_t>(IntraDcPrecisionField(layout)), 2);
    writer.Put(3, 2);  // picture_structure: frame
    writer.Put(layout.topFieldFirst ? 1 : 0, 1);
    writer.Put(layout.fieldDct ? 0 : 1, 1);  // frame_pred_frame_dct
    writer.Put(0, 1);                        // concealment_motion_vectors
    writer.Put(static_cast<uint32_t>(layout.qScaleType), 1);
    writer.Put(layout.model.intraVlcFormat != 0 ? 1 : 0, 1);  // intra_vlc_format
    writer.Put(layout.alternateScan ? 1 : 0, 1);
    writer.Put(0, 1);                                // repeat_first_field
    writer.Put(layout.progressiveFrame ? 1 : 0, 1);  // chroma_420_type
    writer.Put(layout.progressiveFrame ? 1 : 0, 1);  // progressive_frame
    writer.Put(0, 1);                                // composite_display_flag
    writer.AlignWithZeros();
}

int64_t WriteSliceHeader(BitWriter& writer, const StreamLayout& layout, int32_t row) {
    const int64_t start = writer.BitCount();
    writer.PutStartCode(static_cast<uint8_t>(kFirstSliceStartCode + row));
    writer.Put(static_cast<uint32_t>(layout.scaleCode), 5);
    writer.Put(0, 1);  // extra_bit_slice
    return writer.BitCount() - start;
}

int32_t WriteMacroblockHeader(BitWriter& writer, const StreamLayout& layout) {
    writer.Put(1, 1);  // macroblock_address_increment 1
    writer.Put(1, 1);  // macroblock_type: intra
    if (layout.fieldDct) {
        writer.Put(1, 1);  // dct_type: field
        return 3;
    }
    return 2;
}

// The headers' fields have fixed widths, so any layout gives the same
// counts; the defaults stand for every picture.
StreamOverhead StreamOverheadOf(bool fieldDct) {
    StreamLayout layout;
    layout.fieldDct = fieldDct;
    const auto headerBits = [&layout] {
        BitWriter writer;
        WriteSequenceHeader(writer, layout);
        WriteSequenceExtension(writer, layout);
        WriteGroupHeader(writer, layout, 0);
        WritePictureHeader(writer);
        WritePictureCodingExtension(writer, layout);
        return writer.BitCount();
    };
    StreamOverhead overhead;
    overhead.loadedMatrixBits = headerBits();
    layout.loadIntraMatrix = false;
    overhead.pictureHeaderBits = headerBits();
    overhead.loadedMatrixBits -= overhead.pictureHeaderBits;
    BitWriter writer;
    overhead.sliceHeaderBits = WriteSliceHeader(writer, layout, 0);
    overhead.macroblockHeaderBits = WriteMacroblockHeader(writer, layout);
    return overhead;
}

}  // namespace vardelk

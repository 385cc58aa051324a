#include "codec/bit_cost.h"

#include "codec/vlc_tables.h"

namespace vardelk {
namespace {

// Row r of a table: entry 0 the first magnitude without a code word (the
// table's rows end at the first gap), then the code lengths.
AcCodeLengthTable MakeAcCodeLengths(int32_t intraVlcFormat) {
    AcCodeLengthTable table{};
    for (int32_t run = 0; run < 64; ++run) {
        auto& row = table[static_cast<size_t>(run)];
        int32_t magnitude = 1;
        for (; magnitude < 64; ++magnitude) {
            const VlcCode code = AcCode(intraVlcFormat, run, magnitude);
            if (code.length == 0) break;
            row[static_cast<size_t>(magnitude)] = code.length;
        }
        row[0] = magnitude;
    }
    return table;
}

int32_t SignificantBits(uint64_t magnitude) {
    int32_t size = 0;
    for (; magnitude != 0; magnitude >>= 1) ++size;
    return size;
}

// Differences are taken in 64 bits so that no pair of DC values can overflow.
int32_t DcBits(int64_t difference, const int32_t lengths[12]) {
    // Negated as unsigned: the magnitude of the most negative value is representable there.
    const uint64_t bits = static_cast<uint64_t>(difference);
    const int32_t size = SignificantBits(difference < 0 ? 0 - bits : bits);
    return size + lengths[size < 12 ? size : 11];
}

}  // namespace

const int32_t ZigzagScan[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

const int32_t AlternateScan[64] = {
    0,  8,  16, 24, 1, 9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49,  //
    41, 33, 26, 18, 3, 11, 4,  12, 19, 27, 34, 42, 50, 58, 35, 43,  //
    51, 59, 20, 28, 5, 13, 6,  14, 21, 29, 36, 44, 52, 60, 37, 45,  //
    53, 61, 22, 30, 7, 15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63,
};

const AcCodeLengthTable AcCodeLengths = MakeAcCodeLengths(kIntraVlcTable);

const AcCodeLengthTable& AcCodeLengthsFor(int32_t intraVlcFormat) {
    static const AcCodeLengthTable mpegTable = MakeAcCodeLengths(kMpegVlcTable);
    return intraVlcFormat != 0 ? AcCodeLengths : mpegTable;
}

int32_t EndOfBlockBits(int32_t intraVlcFormat) { return EndOfBlockCode(intraVlcFormat).length; }

const int32_t DcLumaCodeLengths[12] = {3, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 9};
const int32_t DcChromaCodeLengths[12] = {2, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};

void ResetDcPredictors(DcPredictors& predictors) { predictors = DcPredictors{}; }

void ResetDcPredictors(DcPredictors& predictors, const CodingModel& model) {
    const int32_t reset = model.DcPredictorReset();
    predictors = DcPredictors{reset, reset, reset};
}

int32_t DcSizeCategory(int32_t difference) {
    const int64_t d = difference;
    return SignificantBits(static_cast<uint64_t>(d < 0 ? -d : d));
}

int32_t DcLumaBits(int64_t difference) { return DcBits(difference, DcLumaCodeLengths); }
int32_t DcChromaBits(int64_t difference) { return DcBits(difference, DcChromaCodeLengths); }

int32_t AcBlockBits(const int32_t block[64], int32_t alternateScan) {
    return AcBlockBits(block, AcCoding{alternateScan, kIntraVlcTable});
}

int32_t AcBlockBits(const int32_t block[64], const AcCoding& coding) {
    const int32_t* scan = coding.alternateScan != 0 ? AlternateScan : ZigzagScan;
    const AcCodeLengthTable& table = AcCodeLengthsFor(coding.intraVlcFormat);
    int32_t bits = 0;
    int32_t run = 0;
    for (int p = 1; p < 64; ++p) {
        const int32_t level = block[scan[p]];
        if (level == 0) {
            ++run;
            continue;
        }
        const auto& lengths = table[static_cast<size_t>(run)];
        const int64_t magnitude = level < 0 ? -int64_t{level} : int64_t{level};
        bits += magnitude < lengths[0] ? lengths[static_cast<size_t>(magnitude)] + kSignBits : kEscapeBits;
        run = 0;
    }
    return run > 0 ? bits + EndOfBlockBits(coding.intraVlcFormat) : bits;
}

int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, int32_t alternateScan, DcPredictors& predictors) {
    return EstimateMacroblockBits(buffer, AcCoding{alternateScan, kIntraVlcTable}, predictors);
}

int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, const AcCoding& coding, DcPredictors& predictors) {
    int32_t bits = 0;
    for (int b = 0; b < 4; ++b) {
        const int32_t dc = buffer.Block(b)[0];
        bits += DcLumaBits(int64_t{dc} - predictors.luma);
        predictors.luma = dc;
    }
    const int32_t cb = buffer.Block(kCbBlock)[0];
    const int32_t cr = buffer.Block(kCrBlock)[0];
    bits += DcChromaBits(int64_t{cb} - predictors.cb) + DcChromaBits(int64_t{cr} - predictors.cr);
    predictors.cb = cb;
    predictors.cr = cr;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) bits += AcBlockBits(buffer.Block(b), coding);
    return bits;
}

}  // namespace vardelk

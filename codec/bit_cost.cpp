#include "codec/bit_cost.h"

namespace vardelk {
namespace {

// Code lengths of the intra AC table, without the sign bit, in a compact
// form: for each run, the level limit and the lengths of magnitudes
// 1 .. limit-1, given as (count, length) spans.
struct LengthSpan {
    int32_t count;
    int32_t length;
};
struct RunLengths {
    int32_t firstRun;
    int32_t lastRun;
    LengthSpan spans[8];
};

constexpr RunLengths kRunLengths[] = {
    {0, 0, {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {2, 6}, {2, 7}, {6, 8}, {16, 14}}},
    {1, 1, {{1, 3}, {1, 5}, {1, 7}, {2, 8}, {2, 13}, {7, 15}, {4, 16}}},
    {2, 2, {{1, 5}, {1, 7}, {1, 8}, {1, 10}, {1, 13}}},
    {3, 3, {{1, 5}, {1, 8}, {1, 12}, {1, 13}}},
    {4, 4, {{1, 6}, {1, 8}, {1, 12}}},
    {5, 5, {{1, 6}, {1, 9}, {1, 13}}},
    {6, 6, {{1, 7}, {1, 12}, {1, 16}}},
    {7, 8, {{1, 7}, {1, 12}}},
    {9, 10, {{1, 7}, {1, 13}}},
    {11, 13, {{1, 8}, {1, 16}}},
    {14, 15, {{1, 9}, {1, 16}}},
    {16, 16, {{1, 10}, {1, 16}}},
    {17, 21, {{1, 12}}},
    {22, 26, {{1, 13}}},
    {27, 31, {{1, 16}}},
};
// Run 0 goes on past the eight spans above: magnitudes 32..40 take 15 bits.
constexpr LengthSpan kRunZeroTail = {9, 15};

constexpr AcCodeLengthTable MakeAcCodeLengths() {
    AcCodeLengthTable table{};
    for (auto& row : table) row[0] = 1;  // runs without code words: always escape
    for (const RunLengths& group : kRunLengths) {
        for (int32_t run = group.firstRun; run <= group.lastRun; ++run) {
            auto& row = table[static_cast<size_t>(run)];
            int32_t magnitude = 1;
            for (const LengthSpan& span : group.spans)
                for (int32_t k = 0; k < span.count; ++k) row[static_cast<size_t>(magnitude++)] = span.length;
            if (run == 0)
                for (int32_t k = 0; k < kRunZeroTail.count; ++k)
                    row[static_cast<size_t>(magnitude++)] = kRunZeroTail.length;
            row[0] = magnitude;
        }
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

const AcCodeLengthTable AcCodeLengths = MakeAcCodeLengths();

const int32_t DcLumaCodeLengths[12] = {3, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 9};
const int32_t DcChromaCodeLengths[12] = {2, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};

void ResetDcPredictors(DcPredictors& predictors) { predictors = DcPredictors{}; }

int32_t DcSizeCategory(int32_t difference) {
    const int64_t d = difference;
    return SignificantBits(static_cast<uint64_t>(d < 0 ? -d : d));
}

int32_t DcLumaBits(int64_t difference) { return DcBits(difference, DcLumaCodeLengths); }
int32_t DcChromaBits(int64_t difference) { return DcBits(difference, DcChromaCodeLengths); }

int32_t AcBlockBits(const int32_t block[64], int32_t alternateScan) {
    const int32_t* scan = alternateScan != 0 ? AlternateScan : ZigzagScan;
    int32_t bits = 0;
    int32_t run = 0;
    for (int p = 1; p < 64; ++p) {
        const int32_t level = block[scan[p]];
        if (level == 0) {
            ++run;
            continue;
        }
        const auto& lengths = AcCodeLengths[static_cast<size_t>(run)];
        const int64_t magnitude = level < 0 ? -int64_t{level} : int64_t{level};
        bits += magnitude < lengths[0] ? lengths[static_cast<size_t>(magnitude)] + kSignBits : kEscapeBits;
        run = 0;
    }
    return run > 0 ? bits + kEndOfBlockBits : bits;
}

int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, int32_t alternateScan, DcPredictors& predictors) {
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
    for (int b = 0; b < kBlocksPerMacroblock; ++b) bits += AcBlockBits(buffer.Block(b), alternateScan);
    return bits;
}

}  // namespace vardelk

// Estimated coded size of a macroblock's coefficient data: DC size codes
// against running predictors, AC run/level code lengths in zigzag or
// alternate scan, escapes and end-of-block codes. Only lengths are added; no
// code word is formed.
#pragma once

#include <array>
#include <cstdint>

#include "codec/coding_model.h"
#include "codec/types.h"

namespace vardelk {

// DC level of the last block of each kind estimated in the current
// macroblock row; the model's reset value at the start of each row (0 for
// the filter's own DC).
struct DcPredictors {
    int32_t luma = 0;
    int32_t cb = 0;
    int32_t cr = 0;
};

// How the AC levels of a block are ordered and coded.
struct AcCoding {
    int32_t alternateScan = 0;                // any non-zero value: the alternate scan
    int32_t intraVlcFormat = kIntraVlcTable;  // 0 or 1 (any non-zero value is 1)
};

// Scan position -> natural (row-major) coefficient index.
extern const int32_t ZigzagScan[64];
extern const int32_t AlternateScan[64];

constexpr int32_t kSignBits = 1;
constexpr int32_t kEscapeBits = 24;     // 6-bit escape, 6-bit run, 12-bit level
constexpr int32_t kEndOfBlockBits = 4;  // the intra table's; see EndOfBlockBits

// Row r: entry 0 is the smallest magnitude with no code word for run r;
// entries 1 .. limit-1 are the code lengths without the sign bit.
using AcCodeLengthTable = std::array<std::array<int32_t, 64>, 64>;
extern const AcCodeLengthTable AcCodeLengths;  // the intra table (intra_vlc_format 1)
// The lengths of either table, taken from its code words (codec/vlc_tables.h).
const AcCodeLengthTable& AcCodeLengthsFor(int32_t intraVlcFormat);
int32_t EndOfBlockBits(int32_t intraVlcFormat);

extern const int32_t DcLumaCodeLengths[12];
extern const int32_t DcChromaCodeLengths[12];

void ResetDcPredictors(DcPredictors& predictors);
// Every predictor at the model's value for the start of a row
// (CodingModel::DcPredictorReset).
void ResetDcPredictors(DcPredictors& predictors, const CodingModel& model);

// Number of significant bits of |difference| (0 for 0).
int32_t DcSizeCategory(int32_t difference);

// Bits of a DC difference: size code plus the size itself. Sizes beyond 11,
// which the size-code tables do not cover, cost the size-11 code plus the size.
int32_t DcLumaBits(int64_t difference);
int32_t DcChromaBits(int64_t difference);

// Bits of a block's 63 AC levels and its end-of-block code. Any non-zero
// alternateScan selects the alternate scan. Without a table: the intra table.
int32_t AcBlockBits(const int32_t block[64], int32_t alternateScan);
int32_t AcBlockBits(const int32_t block[64], const AcCoding& coding);

// Bits of the six quantised blocks (DC levels and AC levels); updates the
// predictors. Without a table: the intra table.
int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, int32_t alternateScan, DcPredictors& predictors);
int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, const AcCoding& coding, DcPredictors& predictors);

}  // namespace vardelk

#include "codec/vlc_tables.h"

#include <array>
#include <cstddef>

namespace vardelk {
namespace {

// Code words of the size codes for DC sizes 0..11.
constexpr VlcCode kDcLumaSizeCodes[12] = {{0x4, 3},  {0x0, 2},  {0x1, 2},  {0x5, 3},  {0x6, 3},   {0xE, 4},
                                          {0x1E, 5}, {0x3E, 6}, {0x7E, 7}, {0xFE, 8}, {0x1FE, 9}, {0x1FF, 9}};
constexpr VlcCode kDcChromaSizeCodes[12] = {{0x0, 2},  {0x1, 2},  {0x2, 2},  {0x6, 3},   {0xE, 4},    {0x1E, 5},
                                            {0x3E, 6}, {0x7E, 7}, {0xFE, 8}, {0x1FE, 9}, {0x3FE, 10}, {0x3FF, 10}};

// Run/level code words without the sign bit: row r lists magnitudes 1, 2,
// ... of run r. Runs from 32 on, and magnitudes past a row's end, take the
// escape. Both tables have rows of the same lengths.
constexpr int32_t kMaxCodedRun = 31;
constexpr int32_t kMaxCodedMagnitude = 40;
using AcCodeTable = VlcCode[kMaxCodedRun + 1][kMaxCodedMagnitude];

// The table shared with non-intra blocks (intra_vlc_format 0). Run 0,
// magnitude 1 is '11': the short '1' form belongs to the first coefficient
// of a non-intra block only, and an intra block's first AC coefficient
// follows its DC. Entries past a row's end have length 0.
constexpr AcCodeTable kMpegAcCodes = {
    /* run  0 */ {{0x3, 2},   {0x4, 4},   {0x5, 5},   {0x6, 7},   {0x26, 8},  {0x21, 8},  {0xA, 10},  {0x1D, 12},
                  {0x18, 12}, {0x13, 12}, {0x10, 12}, {0x1A, 13}, {0x19, 13}, {0x18, 13}, {0x17, 13}, {0x1F, 14},
                  {0x1E, 14}, {0x1D, 14}, {0x1C, 14}, {0x1B, 14}, {0x1A, 14}, {0x19, 14}, {0x18, 14}, {0x17, 14},
                  {0x16, 14}, {0x15, 14}, {0x14, 14}, {0x13, 14}, {0x12, 14}, {0x11, 14}, {0x10, 14}, {0x18, 15},
                  {0x17, 15}, {0x16, 15}, {0x15, 15}, {0x14, 15}, {0x13, 15}, {0x12, 15}, {0x11, 15}, {0x10, 15}},
    /* run  1 */
    {{0x3, 3},
     {0x6, 6},
     {0x25, 8},
     {0xC, 10},
     {0x1B, 12},
     {0x16, 13},
     {0x15, 13},
     {0x1F, 15},
     {0x1E, 15},
     {0x1D, 15},
     {0x1C, 15},
     {0x1B, 15},
     {0x1A, 15},
     {0x19, 15},
     {0x13, 16},
     {0x12, 16},
     {0x11, 16},
     {0x10, 16}},
    /* run  2 */ {{0x5, 4}, {0x4, 7}, {0xB, 10}, {0x14, 12}, {0x14, 13}},
    /* run  3 */ {{0x7, 5}, {0x24, 8}, {0x1C, 12}, {0x13, 13}},
    /* run  4 */ {{0x6, 5}, {0xF, 10}, {0x12, 12}},
    /* run  5 */ {{0x7, 6}, {0x9, 10}, {0x12, 13}},
    /* run  6 */ {{0x5, 6}, {0x1E, 12}, {0x14, 16}},
    /* run  7 */ {{0x4, 6}, {0x15, 12}},
    /* run  8 */ {{0x7, 7}, {0x11, 12}},
    /* run  9 */ {{0x5, 7}, {0x11, 13}},
    /* run 10 */ {{0x27, 8}, {0x10, 13}},
    /* run 11 */ {{0x23, 8}, {0x1A, 16}},
    /* run 12 */ {{0x22, 8}, {0x19, 16}},
    /* run 13 */ {{0x20, 8}, {0x18, 16}},
    /* run 14 */ {{0xE, 10}, {0x17, 16}},
    /* run 15 */ {{0xD, 10}, {0x16, 16}},
    /* run 16 */ {{0x8, 10}, {0x15, 16}},
    /* run 17 */ {{0x1F, 12}},
    /* run 18 */ {{0x1A, 12}},
    /* run 19 */ {{0x19, 12}},
    /* run 20 */ {{0x17, 12}},
    /* run 21 */ {{0x16, 12}},
    /* run 22 */ {{0x1F, 13}},
    /* run 23 */ {{0x1E, 13}},
    /* run 24 */ {{0x1D, 13}},
    /* run 25 */ {{0x1C, 13}},
    /* run 26 */ {{0x1B, 13}},
    /* run 27 */ {{0x1F, 16}},
    /* run 28 */ {{0x1E, 16}},
    /* run 29 */ {{0x1D, 16}},
    /* run 30 */ {{0x1C, 16}},
    /* run 31 */ {{0x1B, 16}},
};

// The intra table (intra_vlc_format 1).
constexpr AcCodeTable kIntraAcCodes = {
    /* run  0 */ {{0x2, 2},   {0x6, 3},   {0x7, 4},   {0x1C, 5},  {0x1D, 5},  {0x5, 6},   {0x4, 6},   {0x7B, 7},
                  {0x7C, 7},  {0x23, 8},  {0x22, 8},  {0xFA, 8},  {0xFB, 8},  {0xFE, 8},  {0xFF, 8},  {0x1F, 14},
                  {0x1E, 14}, {0x1D, 14}, {0x1C, 14}, {0x1B, 14}, {0x1A, 14}, {0x19, 14}, {0x18, 14}, {0x17, 14},
                  {0x16, 14}, {0x15, 14}, {0x14, 14}, {0x13, 14}, {0x12, 14}, {0x11, 14}, {0x10, 14}, {0x18, 15},
                  {0x17, 15}, {0x16, 15}, {0x15, 15}, {0x14, 15}, {0x13, 15}, {0x12, 15}, {0x11, 15}, {0x10, 15}},
    /* run  1 */
    {{0x2, 3},
     {0x6, 5},
     {0x79, 7},
     {0x27, 8},
     {0x20, 8},
     {0x16, 13},
     {0x15, 13},
     {0x1F, 15},
     {0x1E, 15},
     {0x1D, 15},
     {0x1C, 15},
     {0x1B, 15},
     {0x1A, 15},
     {0x19, 15},
     {0x13, 16},
     {0x12, 16},
     {0x11, 16},
     {0x10, 16}},
    /* run  2 */ {{0x5, 5}, {0x7, 7}, {0xFC, 8}, {0xC, 10}, {0x14, 13}},
    /* run  3 */ {{0x7, 5}, {0x26, 8}, {0x1C, 12}, {0x13, 13}},
    /* run  4 */ {{0x6, 6}, {0xFD, 8}, {0x12, 12}},
    /* run  5 */ {{0x7, 6}, {0x4, 9}, {0x12, 13}},
    /* run  6 */ {{0x6, 7}, {0x1E, 12}, {0x14, 16}},
    /* run  7 */ {{0x4, 7}, {0x15, 12}},
    /* run  8 */ {{0x5, 7}, {0x11, 12}},
    /* run  9 */ {{0x78, 7}, {0x11, 13}},
    /* run 10 */ {{0x7A, 7}, {0x10, 13}},
    /* run 11 */ {{0x21, 8}, {0x1A, 16}},
    /* run 12 */ {{0x25, 8}, {0x19, 16}},
    /* run 13 */ {{0x24, 8}, {0x18, 16}},
    /* run 14 */ {{0x5, 9}, {0x17, 16}},
    /* run 15 */ {{0x7, 9}, {0x16, 16}},
    /* run 16 */ {{0xD, 10}, {0x15, 16}},
    /* run 17 */ {{0x1F, 12}},
    /* run 18 */ {{0x1A, 12}},
    /* run 19 */ {{0x19, 12}},
    /* run 20 */ {{0x17, 12}},
    /* run 21 */ {{0x16, 12}},
    /* run 22 */ {{0x1F, 13}},
    /* run 23 */ {{0x1E, 13}},
    /* run 24 */ {{0x1D, 13}},
    /* run 25 */ {{0x1C, 13}},
    /* run 26 */ {{0x1B, 13}},
    /* run 27 */ {{0x1F, 16}},
    /* run 28 */ {{0x1E, 16}},
    /* run 29 */ {{0x1D, 16}},
    /* run 30 */ {{0x1C, 16}},
    /* run 31 */ {{0x1B, 16}},
};

constexpr VlcCode kMpegEndOfBlock{0x2, 2};
constexpr VlcCode kIntraEndOfBlock{0x6, 4};

constexpr const AcCodeTable& CodesOf(int32_t intraVlcFormat) {
    return intraVlcFormat != 0 ? kIntraAcCodes : kMpegAcCodes;
}

using AcDecodeTable = std::array<AcSymbol, 65536>;

// Every 16-bit pattern that begins with a code word maps to that word.
AcDecodeTable MakeAcDecodeTable(int32_t intraVlcFormat) {
    const AcCodeTable& codes = CodesOf(intraVlcFormat);
    AcDecodeTable table{};
    const auto fill = [&table](VlcCode code, AcSymbol symbol) {
        symbol.length = static_cast<uint8_t>(code.length);
        const uint32_t first = code.code << (16 - code.length);
        const uint32_t count = 1u << (16 - code.length);
        for (uint32_t i = 0; i < count; ++i) {
            table[first + i] = symbol;
        }
    };
    for (size_t run = 0; run <= kMaxCodedRun; ++run) {
        for (size_t level = 0; level < kMaxCodedMagnitude && codes[run][level].length > 0; ++level) {
            fill(codes[run][level],
                 AcSymbol{AcSymbol::kPair, static_cast<uint8_t>(run), static_cast<uint8_t>(level + 1), 0});
        }
    }
    fill(kEscapeCode, AcSymbol{AcSymbol::kEscape, 0, 0, 0});
    fill(EndOfBlockCode(intraVlcFormat), AcSymbol{AcSymbol::kEndOfBlock, 0, 0, 0});
    return table;
}

using DcDecodeTable = std::array<DcSizeSymbol, 1024>;

DcDecodeTable MakeDcDecodeTable(const VlcCode (&codes)[12]) {
    DcDecodeTable table{};
    for (int32_t size = 0; size < 12; ++size) {
        const uint32_t first = codes[size].code << (10 - codes[size].length);
        const uint32_t count = 1u << (10 - codes[size].length);
        for (uint32_t i = 0; i < count; ++i) {
            table[first + i] = DcSizeSymbol{static_cast<uint8_t>(size), static_cast<uint8_t>(codes[size].length)};
        }
    }
    return table;
}

}  // namespace

VlcCode DcSizeCode(bool chroma, int32_t size) {
    if (size < 0 || size > kMaxDcSize) {
        return {};
    }
    return chroma ? kDcChromaSizeCodes[size] : kDcLumaSizeCodes[size];
}

VlcCode EndOfBlockCode(int32_t intraVlcFormat) { return intraVlcFormat != 0 ? kIntraEndOfBlock : kMpegEndOfBlock; }

VlcCode AcCode(int32_t intraVlcFormat, int32_t run, int32_t magnitude) {
    if (run < 0 || magnitude < 1 || run > kMaxCodedRun || magnitude > kMaxCodedMagnitude) {
        return {};
    }
    return CodesOf(intraVlcFormat)[run][magnitude - 1];
}

const AcSymbol& DecodeAc(int32_t intraVlcFormat, uint32_t next16Bits) {
    static const AcDecodeTable mpegTable = MakeAcDecodeTable(kMpegVlcTable);
    static const AcDecodeTable intraTable = MakeAcDecodeTable(kIntraVlcTable);
    return (intraVlcFormat != 0 ? intraTable : mpegTable)[next16Bits & 0xFFFF];
}

DcSizeSymbol DecodeDcSize(bool chroma, uint32_t next16Bits) {
    static const DcDecodeTable luma = MakeDcDecodeTable(kDcLumaSizeCodes);
    static const DcDecodeTable chromaTable = MakeDcDecodeTable(kDcChromaSizeCodes);
    return (chroma ? chromaTable : luma)[(next16Bits >> 6) & 0x3FF];
}

}  // namespace vardelk

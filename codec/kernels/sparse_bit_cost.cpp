// Bit-cost estimate that visits only the non-zero levels, exactly equal to
// bit_cost.cpp.
//
// The block's non-zero levels, a 64-bit mask in natural order as the
// quantiser returns it, are reordered into scan order by table lookups, one
// per byte. Walking the set bits of the scan-order mask gives each non-zero
// level with the run of zeros before it (the distance to the previous set
// bit), so the zeros cost nothing. The code lengths,
// sign bit and escape are folded into one table indexed by run and by the
// magnitude capped at 41: no run has a code word for 41 or more.
#include <array>
#include <cstddef>

#include "codec/kernels/sparse_bit_cost.h"

namespace vardelk {
namespace kernels {
namespace {

constexpr int kMagnitudeCap = 41;

// Lookup tables built once from the plain tables.
struct Tables {
    // Natural-order mask byte -> its bits moved to scan positions, for each
    // of the two scans and each of the eight bytes of the mask.
    uint64_t scanMask[2][8][256];
    // Bits of one run/level pair in each AC table: code word and sign, or
    // the escape.
    uint8_t pairBits[2][64][kMagnitudeCap + 1];
    int32_t endOfBlockBits[2];
};

Tables MakeTables() {
    Tables t{};
    for (int s = 0; s < 2; ++s) {
        const int32_t* scan = s == 0 ? ZigzagScan : AlternateScan;
        int position[64] = {};
        for (int p = 0; p < 64; ++p) position[scan[p]] = p;
        for (int byte = 0; byte < 8; ++byte)
            for (int value = 0; value < 256; ++value)
                for (int bit = 0; bit < 8; ++bit)
                    if ((value >> bit) & 1) t.scanMask[s][byte][value] |= uint64_t{1} << position[byte * 8 + bit];
    }
    for (int32_t format = 0; format < 2; ++format) {
        const AcCodeLengthTable& table = AcCodeLengthsFor(format);
        for (size_t run = 0; run < 64; ++run) {
            const auto& lengths = table[run];
            for (int32_t m = 1; m <= kMagnitudeCap; ++m)
                t.pairBits[format][run][m] =
                    static_cast<uint8_t>(m < lengths[0] ? lengths[static_cast<size_t>(m)] + kSignBits : kEscapeBits);
        }
        t.endOfBlockBits[format] = EndOfBlockBits(format);
    }
    return t;
}

const Tables& GetTables() {
    static const Tables tables = MakeTables();
    return tables;
}

// Every compiler of the project's builds (gcc, clang, mingw, emscripten)
// has these builtins.
inline int LowestSetBit(uint64_t v) { return __builtin_ctzll(v); }
inline int32_t SignificantBits(uint64_t v) { return v == 0 ? 0 : 64 - __builtin_clzll(v); }

int32_t DcBits(int64_t difference, const int32_t lengths[12]) {
    const int32_t size = SignificantBits(static_cast<uint64_t>(difference < 0 ? -difference : difference));
    return size + lengths[size < 12 ? size : 11];
}

int32_t AcBits(const int32_t block[64], uint64_t natural, int scan, int format, const Tables& tables) {
    natural &= ~uint64_t{1};  // the DC is not an AC level
    const int32_t endOfBlock = tables.endOfBlockBits[format];
    if (natural == 0) return endOfBlock;
    const int32_t* order = scan != 0 ? AlternateScan : ZigzagScan;
    uint64_t inScan = 0;
    for (int byte = 0; byte < 8; ++byte) inScan |= tables.scanMask[scan][byte][(natural >> (8 * byte)) & 0xFF];

    int32_t bits = 0;
    int previous = 0;
    while (inScan != 0) {
        const int position = LowestSetBit(inScan);
        inScan &= inScan - 1;
        const int32_t level = block[order[position]];
        const uint32_t magnitude = level < 0 ? 0u - static_cast<uint32_t>(level) : static_cast<uint32_t>(level);
        const uint32_t capped = magnitude < kMagnitudeCap ? magnitude : kMagnitudeCap;
        bits += tables.pairBits[format][position - previous - 1][capped];
        previous = position;
    }
    // End of block unless the last level sits at scan position 63.
    return previous == 63 ? bits : bits + endOfBlock;
}

}  // namespace

int32_t SparseAcBlockBits(const int32_t block[64], uint64_t nonZero, const AcCoding& coding) {
    return AcBits(block, nonZero, coding.alternateScan != 0 ? 1 : 0, coding.intraVlcFormat != 0 ? 1 : 0, GetTables());
}

int32_t SparseMacroblockBits(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                             const AcCoding& coding, DcPredictors& predictors) {
    const Tables& tables = GetTables();
    const int scan = coding.alternateScan != 0 ? 1 : 0;
    const int format = coding.intraVlcFormat != 0 ? 1 : 0;
    int32_t bits = 0;
    for (int b = 0; b < 4; ++b) {
        const int32_t dc = buffer.Block(b)[0];
        bits += DcBits(int64_t{dc} - predictors.luma, DcLumaCodeLengths);
        predictors.luma = dc;
    }
    const int32_t cb = buffer.Block(kCbBlock)[0];
    const int32_t cr = buffer.Block(kCrBlock)[0];
    bits += DcBits(int64_t{cb} - predictors.cb, DcChromaCodeLengths) +
            DcBits(int64_t{cr} - predictors.cr, DcChromaCodeLengths);
    predictors.cb = cb;
    predictors.cr = cr;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) bits += AcBits(buffer.Block(b), nonZero[b], scan, format, tables);
    return bits;
}

}  // namespace kernels
}  // namespace vardelk

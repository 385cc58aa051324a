// Variable-length codes of intra blocks: DC size codes for luminance and
// chrominance, and the intra run/level table (the one intra_vlc_format 1
// selects) with its escape and end-of-block codes. Writers look codes up by
// value; readers decode through tables indexed by the next 16 bits.
#pragma once

#include <cstdint>

namespace vardelk {

struct VlcCode {
    uint32_t code = 0;
    int32_t length = 0;  // 0: no code word
};

constexpr VlcCode kEndOfBlockCode{0x6, 4};
constexpr VlcCode kEscapeCode{0x1, 6};
constexpr int32_t kEscapeRunBits = 6;
constexpr int32_t kEscapeLevelBits = 12;
constexpr int32_t kMaxStreamLevel = 2047;  // a 12-bit escape level holds -2047..2047
constexpr int32_t kMaxDcSize = 11;

// Size code of a DC difference size 0..11.
VlcCode DcSizeCode(bool chroma, int32_t size);

// The code word (sign bit not included) for a run and a magnitude, or a code
// of length 0 when the pair takes the escape.
VlcCode IntraAcCode(int32_t run, int32_t magnitude);

// What the next bits of a block hold, for a reader that peeked 16 bits
// (missing bits past the end of the data read as zero).
struct AcSymbol {
    enum Kind : uint8_t { kInvalid, kPair, kEscape, kEndOfBlock };
    Kind kind = kInvalid;
    uint8_t run = 0;
    uint8_t magnitude = 0;
    uint8_t length = 0;  // bits of the code word, sign bit not included
};
const AcSymbol& DecodeIntraAc(uint32_t next16Bits);

// The DC size whose code begins the next bits (peeked 16 bits), with the
// code's length; length 0 for no valid code.
struct DcSizeSymbol {
    uint8_t size = 0;
    uint8_t length = 0;
};
DcSizeSymbol DecodeDcSize(bool chroma, uint32_t next16Bits);

}  // namespace vardelk

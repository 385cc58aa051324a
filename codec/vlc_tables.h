// Variable-length codes of intra blocks: DC size codes for luminance and
// chrominance, and the two run/level tables an intra block may be coded
// with (intra_vlc_format 0: the table shared with non-intra blocks; 1: the
// intra table), with their escape and end-of-block codes. The bit-cost
// estimate takes its lengths from here, writers look codes up by value, and
// readers decode through tables indexed by the next 16 bits.
#pragma once

#include <cstdint>

#include "codec/coding_model.h"

namespace vardelk {

struct VlcCode {
    uint32_t code = 0;
    int32_t length = 0;  // 0: no code word
};

constexpr VlcCode kEscapeCode{0x1, 6};  // the same in both tables
constexpr int32_t kEscapeRunBits = 6;
constexpr int32_t kEscapeLevelBits = 12;
constexpr int32_t kMaxStreamLevel = 2047;  // a 12-bit escape level holds -2047..2047
constexpr int32_t kMaxDcSize = 11;

// Size code of a DC difference size 0..11.
VlcCode DcSizeCode(bool chroma, int32_t size);

// intraVlcFormat: 0 or 1 (any non-zero value is 1).
VlcCode EndOfBlockCode(int32_t intraVlcFormat);

// The code word (sign bit not included) for a run and a magnitude, or a code
// of length 0 when the pair takes the escape.
VlcCode AcCode(int32_t intraVlcFormat, int32_t run, int32_t magnitude);

// What the next bits of a block hold, for a reader that peeked 16 bits
// (missing bits past the end of the data read as zero).
struct AcSymbol {
    enum Kind : uint8_t { kInvalid, kPair, kEscape, kEndOfBlock };
    Kind kind = kInvalid;
    uint8_t run = 0;
    uint8_t magnitude = 0;
    uint8_t length = 0;  // bits of the code word, sign bit not included
};
const AcSymbol& DecodeAc(int32_t intraVlcFormat, uint32_t next16Bits);

// The DC size whose code begins the next bits (peeked 16 bits), with the
// code's length; length 0 for no valid code.
struct DcSizeSymbol {
    uint8_t size = 0;
    uint8_t length = 0;
};
DcSizeSymbol DecodeDcSize(bool chroma, uint32_t next16Bits);

}  // namespace vardelk

// Most-significant-bit-first bit packing into a growing byte buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace vardelk {

class BitWriter {
public:
    // Appends the low `bits` bits of value (0..32), most significant first.
    void Put(uint32_t value, int32_t bits);
    // Zero bits up to the next byte boundary; returns how many were added.
    int32_t AlignWithZeros();
    // Aligns, then writes the 32-bit start code 00 00 01 `code`.
    void PutStartCode(uint8_t code);

    int64_t BitCount() const { return static_cast<int64_t>(bytes_.size()) * 8 - freeBits_; }
    // The bytes so far; a partly filled last byte has its unused bits zero.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int32_t freeBits_ = 0;  // unused low bits of the last byte
};

}  // namespace vardelk

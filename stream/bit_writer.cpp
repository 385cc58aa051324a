#include "stream/bit_writer.h"

namespace vardelk {

void BitWriter::Put(uint32_t value, int32_t bits) {
    while (bits > 0) {
        if (freeBits_ == 0) {
            bytes_.push_back(0);
            freeBits_ = 8;
        }
        const int32_t take = bits < freeBits_ ? bits : freeBits_;
        const uint32_t chunk = (value >> (bits - take)) & ((1u << take) - 1u);
        bytes_.back() = static_cast<uint8_t>(bytes_.back() | (chunk << (freeBits_ - take)));
        freeBits_ -= take;
        bits -= take;
    }
}

int32_t BitWriter::AlignWithZeros() {
    const int32_t added = freeBits_;
    freeBits_ = 0;
    return added;
}

void BitWriter::PutStartCode(uint8_t code) {
    AlignWithZeros();
    bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, code});
}

}  // namespace vardelk

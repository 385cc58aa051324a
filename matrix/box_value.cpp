#include "matrix/box_value.h"

#include <limits>

#include "codec/types.h"

namespace vardelk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

int32_t ParseBoxText(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    while (IsBlank(*text)) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is past
    // anything 32 bits can hold; further digits cannot bring it back.
    constexpr int64_t kCeiling = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < kCeiling) {
            magnitude = magnitude * 10 + (*text - '0');
        }
    }
    if (negative) {
        return magnitude >= kCeiling ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(-magnitude);
    }
    return magnitude >= kCeiling - 1 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(magnitude);
}

int32_t ClampMatrixEntry(int32_t value) {
    if (value < kMinMatrixEntry) {
        return kMinMatrixEntry;
    }
    if (value > kMaxMatrixEntry) {
        return kMaxMatrixEntry;
    }
    return value;
}

}  // namespace vardelk

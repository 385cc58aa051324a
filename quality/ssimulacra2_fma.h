// a * b + c rounded once to float, for the plain kernels: the C library's
// fmaf is slow on processors without the instruction and in WebAssembly.
// The product of two floats is exact in double, and their sum with c is
// rounded once there. Rounding that double to float again gives the
// once-rounded result, except when the sum was inexact and the double lies
// exactly halfway between two floats: then it is first moved one double
// step towards the exact sum. Results below 2^-100 (never met by the
// measure) take std::fma.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vardelk {
namespace ssimulacra2 {

inline float FusedMultiplyAdd(float a, float b, float c) {
    const double product = double(a) * double(b);
    double sum = product + double(c);
    uint64_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    // 29 low bits of 100...0: halfway between two floats (rare, so the
    // sum's exact rounding error is worked out only then).
    if ((bits & 0x1FFFFFFFu) == 0x10000000u || std::fabs(sum) < 0x1p-100) {
        if (std::fabs(sum) < 0x1p-100) return std::fma(a, b, c);
        const double cPart = sum - product;
        const double error = (product - (sum - cPart)) + (double(c) - cPart);
        if (error != 0.0) {
            bits = (error > 0) == (sum > 0) ? bits + 1 : bits - 1;
            std::memcpy(&sum, &bits, sizeof sum);
        }
    }
    return static_cast<float>(sum);
}

}  // namespace ssimulacra2
}  // namespace vardelk

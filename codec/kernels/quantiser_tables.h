// Fast versions of the pipeline's kernels. Each one gives exactly the
// result of its plain counterpart (forward_dct, inverse_dct, quantise,
// bit_cost, macroblock_*) for every input the frame driver can hand it; the
// domain each one needs is stated beside it. They come in builds per
// instruction set: plain:: (portable C++), sse2:: and avx2:: (only in builds
// for x86, run only where the CPU has them). kernel_table.h gathers them.
#pragma once

#include <cstdint>

#include "codec/bit_cost.h"
#include "codec/coding_model.h"
#include "codec/planar.h"
#include "codec/types.h"

namespace vardelk {
namespace fast {

using BlockTransform = void (*)(int32_t block[64]);

// Forward DCT: samples in -2048..2047 (any host component >> 4, any chroma
// mean). Blocks whose intermediate values would not fit the vector path go
// through the plain ForwardDct unchanged.
// Inverse DCT: coefficients in -2048..2047, as dequantisation leaves them.
// Blocks whose row-pass values would not fit the vector path go through the
// plain InverseDct. The AVX2 build is the same vector code with
// three-operand instructions and both 128-bit halves in use.
// ForwardDctAccurate: the same for the accurate transform of forward_dct.h.
namespace sse2 {
void ForwardDct(int32_t block[64]);
void ForwardDctAccurate(int32_t block[64]);
void InverseDct(int32_t block[64]);
}  // namespace sse2
namespace avx2 {
void ForwardDct(int32_t block[64]);
void ForwardDctAccurate(int32_t block[64]);
void InverseDct(int32_t block[64]);
}  // namespace avx2

// The 64 divisors d = W x q of one frame, prepared once so that the
// quantiser multiplies instead of dividing; and, for the sign-symmetric
// rules of real encoders, the constants of their two roundings.
//
// A sign-symmetric rule is, for m = |F|:
//   y = floor((a m + b) / c)   per position a, b, c
//   |level| = min(floor((y + e) / f), maxLevel)   the same e, f for the block
// with the sign of F. quantiser_rules.h says which a..f each rule takes.
// The vector kernels evaluate both roundings in double precision: a m + b
// stays below 2^51, so it is exact, and a reciprocal of c rounded up makes
// the product's truncation the floor of the quotient (see quantise_fast.cpp).
struct QuantiserTables {
    QuantiserRule rule = QuantiserRule::kFilter;
    // The filter's rule (and the dequantiser of every rule).
    alignas(32) int32_t divisor[64];      // d; 1 for the DC, which is never divided
    alignas(32) int32_t halfDivisor[64];  // d >> 1, the rounding offset
    alignas(32) float reciprocal[64];     // 1 / d, nudged up (see quantise_fast.cpp)
    alignas(32) float dequantScale[64];   // d / 16, exact; 1 for the DC
    // Sign-symmetric rules.
    alignas(32) int64_t scale[64];        // a
    alignas(32) int64_t offset[64];       // b
    alignas(32) int64_t stepDivisor[64];  // c
    alignas(32) double scaleReal[64];     // a, b and 1/c (rounded up) as doubles
    alignas(32) double offsetReal[64];
    alignas(32) double inverseStep[64];
    int64_t finalOffset = 0;   // e
    int64_t finalDivisor = 1;  // f
    double finalOffsetReal = 0.0;
    double inverseFinal = 1.0;  // 1/f rounded up
    int32_t maxLevel = 0;
};

// The SSE2 quantiser converts floats to integers and clamps floats, which
// wasm SIMD does not do the x86 way: emulated there it is slower than the
// portable loops, so wasm builds keep the plain quantiser in every table.
#if defined(__SSE2__) && !defined(__wasm__)
#define VARDELK_SSE2_QUANTISER 1
#endif

// weights must already be clamped to 1..4095 and q lie in 1..112. Without a
// rule: the filter's.
void PrepareQuantiser(const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables);
void PrepareQuantiser(QuantiserRule rule, const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables);

// Quantise: coefficients with magnitude up to 40000 (ForwardDct of host
// samples stays below 32770). The DC passes through. Returns the block's
// non-zero mask: bit i set when level i (the DC included) is not zero.
// QuantiseBlock is the filter's rule, QuantiseSymmetricBlock the
// sign-symmetric rules' (whichever the tables were prepared for).
// Dequantise: any levels.
using QuantiseFunction = uint64_t (*)(int32_t block[64], const QuantiserTables& tables);
using DequantiseFunction = void (*)(int32_t block[64], const QuantiserTables& tables);
#define VARDELK_DECLARE_QUANTISER_KERNELS                                              \
    uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables);          \
    uint64_t QuantiseSymmetricBlock(int32_t block[64], const QuantiserTables& tables); \
    void DequantiseBlock(int32_t block[64], const QuantiserTables& tables);
namespace plain {
VARDELK_DECLARE_QUANTISER_KERNELS
}  // namespace plain
namespace sse2 {
VARDELK_DECLARE_QUANTISER_KERNELS
}  // namespace sse2
namespace avx2 {
VARDELK_DECLARE_QUANTISER_KERNELS
}  // namespace avx2
#undef VARDELK_DECLARE_QUANTISER_KERNELS

// A block of levels whose 63 AC levels are all zero, reconstructed to
// samples: the result of dequantisation followed by InverseDct, for any DC
// level. Such blocks are common at coarse quantiser scales.
namespace plain {
void ReconstructFlatBlock(int32_t block[64]);
}  // namespace plain
namespace sse2 {
void ReconstructFlatBlock(int32_t block[64]);
}  // namespace sse2
namespace avx2 {
void ReconstructFlatBlock(int32_t block[64]);
}  // namespace avx2

// Any levels; the same counts as AcBlockBits and EstimateMacroblockBits of
// bit_cost.h. Table work without vector code, the same in every build.
int32_t AcBlockBits(const int32_t block[64], const AcCoding& coding);
int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, const AcCoding& coding, DcPredictors& predictors);
// The same, with each block's non-zero mask as QuantiseBlock returned it.
int32_t EstimateMacroblockBits(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                               const AcCoding& coding, DcPredictors& predictors);

// Same contract as the plain gather/scatter pairs (whose plain builds they
// are). Whole macroblocks take a straight path; partial ones at the
// picture's edges use the plain code. Like the plain gathers, the gathers
// leave entries outside the inside part as they were, so partial
// macroblocks need a zeroed buffer.
#define VARDELK_DECLARE_MACROBLOCK_KERNELS                                                                          \
    void GatherMacroblockProgressive(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,       \
                                     int32_t remainingHeight, int32_t stride);                                      \
    void ScatterMacroblockProgressive(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth, \
                                      int32_t remainingHeight, int32_t stride);                                     \
    void GatherMacroblockInterlaced(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,        \
                                    int32_t remainingHeight, int32_t stride);                                       \
    void ScatterMacroblockInterlaced(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,  \
                                     int32_t remainingHeight, int32_t stride);
namespace sse2 {
VARDELK_DECLARE_MACROBLOCK_KERNELS
}  // namespace sse2
namespace avx2 {
VARDELK_DECLARE_MACROBLOCK_KERNELS
}  // namespace avx2
#undef VARDELK_DECLARE_MACROBLOCK_KERNELS

// The same for 8-bit planes (codec/planar.h), same contract as the plain
// planar gathers and scatters; partial macroblocks use the plain code.
#define VARDELK_DECLARE_PLANAR_KERNELS                                                                        \
    void GatherPlanarProgressive(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth, \
                                 int32_t remainingHeight);                                                    \
    void ScatterPlanarProgressive(const MacroblockBuffer& buffer, const PlanarOutput& destination,            \
                                  int32_t remainingWidth, int32_t remainingHeight);                           \
    void GatherPlanarInterlaced(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,  \
                                int32_t remainingHeight);                                                     \
    void ScatterPlanarInterlaced(const MacroblockBuffer& buffer, const PlanarOutput& destination,             \
                                 int32_t remainingWidth, int32_t remainingHeight);
namespace sse2 {
VARDELK_DECLARE_PLANAR_KERNELS
}  // namespace sse2
namespace avx2 {
VARDELK_DECLARE_PLANAR_KERNELS
}  // namespace avx2
#undef VARDELK_DECLARE_PLANAR_KERNELS

}  // namespace fast
}  // namespace vardelk

// How each coding model's encoder turns AC coefficients into levels,
// written out as the encoder does it. These are the references the
// quantiser tables (codec/kernels/quantiser_tables.h) and their kernels are proven
// against.
//
// F is the coefficient as the forward DCT gives it (the true transform's
// scale: the DC is 8 x the block's mean), W the weight (1..4095), qs the
// quantiser scale (quantiser_scale: 2..62 linear, 1..112 non-linear).
//
// filter     level = ((W qs >> 1) + 16 F) / (W qs), division toward zero: the
//            offset is added whatever the sign.
// ffmpeg     Its quantiser on x86, where it codes unless told -dct. Works
//            on X, the coefficient of its 16-bit transform (8 F; see
//            ForwardDctFixed16), with a 16-bit reciprocal of the step and
//            a bias of 3/8 step rounded to whole units of X (FfmpegStepOf):
//            |level| = ((|X| + b) r) >> 16, sign of X, at most 2047. The
//            two roundings of r and b put each threshold up to a unit of X
//            away from 3/8 of a step; at the finest steps that is what
//            tells it from the 22-bit reciprocal of its plain quantiser.
// mpeg2enc   Rounding to nearest, halves up:
//            |level| = (32 |F| + W qs) / (2 W qs), sign of F, at most 2047.
//            (The encoder itself codes a macroblock again at the next
//            coarser scale when a level would pass 2047; the model clips.)
// tm5        Two roundings: y = (32 |F| + (W >> 1)) / W, then
//            |level| = (y + ((3 qs + 2) >> 2)) / (2 qs), sign of F, at most
//            2047: about 16 |F| / (W qs) + 3/8.
//
// The DC is the pipeline's business (codec/macroblock_pipeline.h): every
// function here leaves block[0] as it is. What the rules say of it is how
// it rounds to a level of precision p (step s = 2^(11-p)):
//   ffmpeg           the whole DC, halves up: (DC + s/2) / s
//   mpeg2enc, tm5    the DC about mid grey r = DC - 1024, halves away from
//                    zero: 2^(p-1) + sign(r) (|r| + s/2) / s
#pragma once

#include <cstdint>

#include "codec/coding_model.h"
#include "codec/types.h"

namespace vardelk {

constexpr int32_t kMaxAcLevel = 2047;  // what an escape's 12-bit level holds

// ffmpeg's reciprocal of a step d = qs W and its bias, as its encoder
// prepares them for the x86 quantiser: r = floor(2^17 / d) kept in 16 bits,
// where 0 and 32768 (from d = 1, 2 and 4) become 32767; b = 3 x 2^13 / r
// rounded to nearest, halves up. Only d = 3 (the non-linear scale's code
// 1 with W = 3) gives an r past 32767, which ffmpeg's signed multiply takes
// as negative: the model keeps the true r there. Steps past 2^17, which
// only weights beyond ffmpeg's 255 make, get r = b = 0 (every level 0)
// rather than ffmpeg's 32767 for a reciprocal of 0.
struct FfmpegStep {
    int32_t reciprocal;
    int32_t bias;
};
FfmpegStep FfmpegStepOf(int32_t weight, int32_t qs);

// One block in place. weights in 1..4095, qs in 1..112, |F| up to 40000
// (|X| up to 320000).
void QuantiseBlockByRule(QuantiserRule rule, int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs);

}  // namespace vardelk

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
// ffmpeg     Works on X, the accurate transform's coefficient (8 F; see
//            ForwardDctAccurate), which it multiplies by the reciprocal
//            r = floor(2^22 / (qs W)), adding a bias of 3/8 in 21-bit fixed
//            point: |level| = (|X| r + 3 x 2^18) >> 21, sign of X, at most
//            2047.
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

// One block in place. weights in 1..4095, qs in 1..112, |F| up to 40000
// (|X| up to 320000).
void QuantiseBlockByRule(QuantiserRule rule, int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs);

}  // namespace vardelk

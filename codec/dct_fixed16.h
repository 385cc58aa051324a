// The factors of ffmpeg's 16-bit transform (ForwardDctFixed16 in
// forward_dct.cpp, and its SSE2 body in codec/kernels/), shared so that
// both read the same figures.
//
// The column pass rotates by tangents held as 16-bit fractions (the high
// half of a 16 x 16-bit product); the row pass takes dot products with
// cosine factors c1..c7 at 15 fraction bits, each row's set scaled by its
// vertical frequency's own normalisation, so that the outputs come out at
// 8 x the transform's scale after a shift by 17.
#pragma once

#include <cstdint>

namespace vardelk {
namespace dct {
namespace fixed16 {

constexpr int16_t kTan1 = 13036;   // tan(pi/16) x 2^16
constexpr int16_t kTan2 = 27146;   // tan(2 pi/16) x 2^16
constexpr int16_t kTan3 = -21746;  // (tan(3 pi/16) - 1) x 2^16
constexpr int16_t kCos4 = 23170;   // cos(pi/4) x 2^15
constexpr int kRowShift = 17;

// c1..c7 of each row set (index 0 unused); vertical frequencies 0 and 4,
// 1 and 7, 2 and 6, 3 and 5 share one.
constexpr int32_t kRowFactors[4][8] = {
    {0, 22725, 21407, 19266, 16384, 12873, 8867, 4520},
    {0, 31521, 29692, 26722, 22725, 17855, 12299, 6270},
    {0, 29692, 27969, 25172, 21407, 16819, 11585, 5906},
    {0, 26722, 25172, 22654, 19266, 15137, 10426, 5315},
};
constexpr int kRowSetOf[8] = {0, 1, 2, 3, 0, 3, 2, 1};

// Output k of a row as the dot product of its weights with (s0, s1, s2, s3,
// d0, d1, d2, d3), where sj = xj + x(7-j) and dj = xj - x(7-j): the even
// outputs weigh the sums, the odd ones the differences.
struct RowWeights {
    int16_t w[4][8][8];  // [set][output][input]
};
constexpr RowWeights MakeRowWeights() {
    // Factor index and sign of each output's four terms.
    constexpr int kIndex[8][4] = {{4, 4, 4, 4}, {1, 3, 5, 7}, {2, 6, 6, 2}, {3, 7, 1, 5},
                                  {4, 4, 4, 4}, {5, 1, 7, 3}, {6, 2, 2, 6}, {7, 5, 3, 1}};
    constexpr int kSign[8][4] = {{1, 1, 1, 1},   {1, 1, 1, 1},  {1, 1, -1, -1}, {1, -1, -1, -1},
                                 {1, -1, -1, 1}, {1, -1, 1, 1}, {1, -1, 1, -1}, {1, -1, 1, -1}};
    RowWeights t{};
    for (int set = 0; set < 4; ++set)
        for (int k = 0; k < 8; ++k)
            for (int j = 0; j < 4; ++j)
                t.w[set][k][(k % 2) * 4 + j] = static_cast<int16_t>(kSign[k][j] * kRowFactors[set][kIndex[k][j]]);
    return t;
}
inline constexpr RowWeights kRowWeights = MakeRowWeights();

}  // namespace fixed16
}  // namespace dct
}  // namespace vardelk

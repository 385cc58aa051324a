#include "codec/quantiser_rules.h"

#include "codec/quantise.h"

namespace vardelk {
namespace {

int64_t Magnitude(int32_t v) { return v < 0 ? -int64_t{v} : int64_t{v}; }

int32_t WithSignOf(int32_t f, int64_t magnitude) {
    const int32_t m = static_cast<int32_t>(magnitude < kMaxAcLevel ? magnitude : kMaxAcLevel);
    return f < 0 ? -m : m;
}

void QuantiseFfmpeg(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs) {
    for (int i = 1; i < 64; ++i) {
        const FfmpegStep step = FfmpegStepOf(weights[i], qs);
        block[i] = WithSignOf(block[i], ((Magnitude(block[i]) + step.bias) * step.reciprocal) >> 16);
    }
}

void QuantiseMpeg2enc(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs) {
    for (int i = 1; i < 64; ++i) {
        const int64_t step = int64_t{weights[i]} * qs;
        block[i] = WithSignOf(block[i], (32 * Magnitude(block[i]) + step) / (2 * step));
    }
}

void QuantiseTestModel(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs) {
    const int64_t offset = (3 * int64_t{qs} + 2) >> 2;
    for (int i = 1; i < 64; ++i) {
        const int64_t w = weights[i];
        const int64_t y = (32 * Magnitude(block[i]) + (w >> 1)) / w;
        block[i] = WithSignOf(block[i], (y + offset) / (2 * int64_t{qs}));
    }
}

}  // namespace

FfmpegStep FfmpegStepOf(int32_t weight, int32_t qs) {
    const int64_t whole = (int64_t{1} << 17) / (int64_t{weight} * qs);
    if (whole == 0) return {0, 0};  // a step past 2^17 (W beyond 255): every level 0
    int32_t reciprocal = static_cast<int32_t>(whole & 0xFFFF);
    if (reciprocal == 0 || reciprocal == 0x8000) reciprocal = 0x7FFF;
    return {reciprocal, (3 * (1 << 13) + reciprocal / 2) / reciprocal};
}

void QuantiseBlockByRule(QuantiserRule rule, int32_t block[64], const int32_t weights[kMatrixEntries], int32_t qs) {
    switch (rule) {
        case QuantiserRule::kFilter:
            QuantiseBlock(block, weights, qs);
            return;
        case QuantiserRule::kFfmpeg:
            QuantiseFfmpeg(block, weights, qs);
            return;
        case QuantiserRule::kMpeg2enc:
            QuantiseMpeg2enc(block, weights, qs);
            return;
        case QuantiserRule::kTestModel:
            QuantiseTestModel(block, weights, qs);
            return;
    }
}

}  // namespace vardelk

// The pipeline's stages one at a time, on inputs beyond what a frame can
// produce: the forward transform on any host sample, the inverse transform
// on any 32-bit coefficients, quantisation with any weights in range and
// every quantiser scale, and the bit costs of any levels. Each stage must
// stay free of overflow and keep its output in range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codec/bit_cost.h"
#include "codec/forward_dct.h"
#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/quantise.h"
#include "codec/types.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace vardelk;

void CheckSamples(const int32_t block[64]) {
    for (int i = 0; i < 64; ++i) FUZZ_CHECK(block[i] >= kMinSample && block[i] <= kMaxSample);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);

    // Any 32-bit coefficients come back as saturated samples.
    int32_t coefficients[64];
    for (int32_t& c : coefficients) c = provider.ConsumeIntegral<int32_t>();
    InverseDct(coefficients);
    CheckSamples(coefficients);

    // A macroblock of host samples (a component >> 4) through the codec.
    MacroblockBuffer buffer;
    for (int32_t& v : buffer.value) v = provider.ConsumeIntegral<int16_t>() >> 4;
    int32_t weights[kMatrixEntries];
    for (int32_t& w : weights) w = provider.ConsumeIntegral<int32_t>();
    ClampMatrix(weights, weights);
    for (int32_t w : weights) FUZZ_CHECK(w >= kMinMatrixEntry && w <= kMaxMatrixEntry);
    const int32_t q = QuantiserScale(provider.ConsumeIntegral<int32_t>(), provider.ConsumeIntegral<int32_t>());
    FUZZ_CHECK(q >= 1 && q <= 112);
    const int32_t alternateScan = provider.ConsumeIntegral<int32_t>();

    for (int b = 0; b < kBlocksPerMacroblock; ++b) ForwardDct(buffer.Block(b));
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        // The DC coefficient is one eighth of the block's sum, so it can
        // only span that range.
        FUZZ_CHECK(buffer.Block(b)[0] >= -2048 * 8 && buffer.Block(b)[0] <= 2047 * 8);
    }
    QuantiseMacroblock(buffer, weights, q);
    DcPredictors predictors;
    predictors.luma = provider.ConsumeIntegral<int32_t>();
    predictors.cb = provider.ConsumeIntegral<int32_t>();
    predictors.cr = provider.ConsumeIntegral<int32_t>();
    const int32_t bits = EstimateMacroblockBits(buffer, alternateScan, predictors);
    FUZZ_CHECK(bits >= 6 * (2 + kEndOfBlockBits));
    FUZZ_CHECK(predictors.luma == buffer.Block(3)[0]);
    FUZZ_CHECK(predictors.cb == buffer.Block(kCbBlock)[0] && predictors.cr == buffer.Block(kCrBlock)[0]);
    DequantiseMacroblock(buffer, weights, q);
    for (int32_t v : buffer.value) FUZZ_CHECK(v >= kMinCoefficient && v <= kMaxCoefficient);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        InverseDct(buffer.Block(b));
        CheckSamples(buffer.Block(b));
    }

    // Bit costs of levels no quantiser makes.
    int32_t levels[64];
    for (int32_t& level : levels) level = provider.ConsumeIntegral<int32_t>();
    FUZZ_CHECK(AcBlockBits(levels, provider.ConsumeIntegral<int32_t>()) >= kEndOfBlockBits);
    const int64_t difference = provider.ConsumeIntegral<int64_t>();
    const int32_t category = DcSizeCategory(static_cast<int32_t>(difference));
    FUZZ_CHECK(category >= 0 && category <= 32);
    FUZZ_CHECK(DcLumaBits(difference) >= 2 && DcChromaBits(difference) >= 2);
    return 0;
}

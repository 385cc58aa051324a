// The vector transforms of dct_body.h compiled for AVX2 (this file only is
// built with -mavx2). Called only after CpuHasAvx2() said yes.
#include "codec/fast/fast_kernels.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

namespace vardelk {
namespace fast {
namespace avx2 {
namespace {
#include "codec/fast/dct_body.h"
}  // namespace

void ForwardDct(int32_t block[64]) { ForwardDctVector(block); }
void InverseDct(int32_t block[64]) { InverseDctVector(block); }

}  // namespace avx2
}  // namespace fast
}  // namespace vardelk
#endif

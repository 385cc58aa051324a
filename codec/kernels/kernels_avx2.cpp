// The AVX2 builds of the vector kernels, compiled with AVX2 enabled (this
// file only): the transforms' 256-bit bodies, and the shared gather, scatter
// and flat-block bodies, whose intrinsics take the three-operand forms here.
// Run only when the CPU flags allow AVX2.
#include "codec/kernels/quantiser_tables.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

#include <cstddef>

#include "codec/dct_constants.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/flat_block.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/sample_scale.h"

namespace vardelk {
namespace fast {
namespace avx2 {
namespace {
#include "codec/kernels/dct_avx2_body.h"
}  // namespace
#include "codec/kernels/vector_kernels.inc"

}  // namespace avx2
}  // namespace fast
}  // namespace vardelk
#endif

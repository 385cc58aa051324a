// The SSE2 builds of the vector kernels, compiled from their bodies.
// Builds for targets without SSE2 (wasm32, for one) leave this file empty
// and their kernel tables plain.
#include "codec/kernels/quantiser_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>

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
namespace sse2 {
namespace {
#include "codec/kernels/dct_sse2_body.h"
}  // namespace
#include "codec/kernels/vector_kernels.inc"

}  // namespace sse2
}  // namespace fast
}  // namespace vardelk
#endif

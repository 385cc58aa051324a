// The SIMD core's quantiser: the portable loops under the SSE2 kernels'
// names. wasm SIMD has no float-to-integer conversion or clamp with the x86
// semantics, so the SSE2 quantiser's intrinsics each become a long emulated
// sequence and the quantiser ends up slower than the portable loops; the
// transforms and the rest gain. Both give the same levels.
//
// quantise_fast.cpp is built here without its SSE2 path, and these
// definitions fill the kernel table's SSE2 entries. They are weak: a core
// that keeps the SSE2 quantiser away from wasm itself, and defines these
// names or never asks for them, is taken as it is.
#include "codec/fast/fast_kernels.h"

namespace vardelk {
namespace fast {
namespace sse2 {

__attribute__((weak)) uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    return plain::QuantiseBlock(block, tables);
}

__attribute__((weak)) void DequantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    plain::DequantiseBlock(block, tables);
}

}  // namespace sse2
}  // namespace fast
}  // namespace vardelk

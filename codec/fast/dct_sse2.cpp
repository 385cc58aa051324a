// The vector transforms in their SSE2 form (see dct_body.h), the choice
// between that and the AVX2 form, and the plain kernels where there is no
// SSE2.
#include <atomic>

#include "codec/fast/fast_kernels.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vardelk {
namespace fast {

#if defined(__SSE2__)
namespace sse2 {
namespace {
#include "codec/fast/dct_body.h"
}  // namespace

void ForwardDct(int32_t block[64]) { ForwardDctVector(block); }
void InverseDct(int32_t block[64]) { InverseDctVector(block); }

}  // namespace sse2
#else
namespace sse2 {
void ForwardDct(int32_t block[64]) { vardelk::ForwardDct(block); }
void InverseDct(int32_t block[64]) { vardelk::InverseDct(block); }
}  // namespace sse2
#endif

namespace {
std::atomic<bool> g_widerAllowed{true};
}  // namespace

void AllowWiderInstructions(bool allowed) { g_widerAllowed.store(allowed, std::memory_order_relaxed); }

bool CpuHasAvx2() {
#if defined(VARDELK_HAVE_AVX2)
    // Asked once; the answer includes the operating system's support for
    // the wider register state.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has && g_widerAllowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

#if !defined(VARDELK_HAVE_AVX2)
namespace avx2 {
void ForwardDct(int32_t block[64]) { sse2::ForwardDct(block); }
void InverseDct(int32_t block[64]) { sse2::InverseDct(block); }
}  // namespace avx2
#endif

BlockTransform ForwardDctFunction() { return CpuHasAvx2() ? avx2::ForwardDct : sse2::ForwardDct; }
BlockTransform InverseDctFunction() { return CpuHasAvx2() ? avx2::InverseDct : sse2::InverseDct; }

void ForwardDct(int32_t block[64]) { ForwardDctFunction()(block); }
void InverseDct(int32_t block[64]) { InverseDctFunction()(block); }

}  // namespace fast
}  // namespace vardelk

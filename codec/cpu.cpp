#include "codec/cpu.h"

namespace vardelk {
namespace {

uint32_t Detect() {
    uint32_t flags = 0;
#if defined(__SSE2__)
    // Every x86-64 CPU has it, the 32-bit module is built for it, and a
    // wasm build with it runs the SSE2 kernels as wasm SIMD (see cpu.h).
    flags |= kCpuSse2;
#endif
#if defined(VARDELK_HAVE_AVX2) && (defined(__x86_64__) || defined(__i386__))
    // The answer includes the operating system's support for the wider
    // register state.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") != 0) flags |= kCpuAvx2;
#endif
    return flags;
}

}  // namespace

uint32_t DetectedCpuFlags() {
    static const uint32_t flags = Detect();
    return flags;
}

bool ParseCpuMask(const std::string& name, uint32_t& mask) {
    if (name == "plain") {
        mask = 0;
    } else if (name == "sse2") {
        mask = kCpuSse2;
    } else if (name == "avx2") {
        mask = kCpuSse2 | kCpuAvx2;
    } else if (name == "auto") {
        mask = kAllCpuFlags;
    } else {
        return false;
    }
    return true;
}

}  // namespace vardelk

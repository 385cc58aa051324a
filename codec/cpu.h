// Which instruction-set extensions the kernels may use. The detected flags
// say what this CPU and this build run; every face gives its coders flags
// from them, capped by a mask where it offers one (to compare or time the
// kernel builds, or to rule out a build). The tables of kernels per flags:
// codec/kernels/dispatch.h.
#pragma once

#include <cstdint>
#include <string>

namespace vardelk {

enum CpuFlag : uint32_t {
    kCpuSse2 = 1u << 0,
    kCpuAvx2 = 1u << 1,
};
constexpr uint32_t kAllCpuFlags = kCpuSse2 | kCpuAvx2;

// The kernel builds in rising order, each with the flags its table uses:
// the list the equality tests, the fuzz targets and the benchmarks walk.
struct CpuLevel {
    const char* name;
    uint32_t flags;
};
constexpr CpuLevel kCpuLevels[] = {{"plain", 0}, {"sse2", kCpuSse2}, {"avx2", kCpuSse2 | kCpuAvx2}};

// What this CPU and build run; 0 where the build has no vector kernels. A
// wasm build has no CPU to ask: it runs the SSE2 family (as wasm SIMD) when
// it was compiled with the SSE2 intrinsics, which only a page that found
// wasm SIMD loads, and nothing else.
uint32_t DetectedCpuFlags();

// "plain" (no extension), "sse2", "avx2" (with SSE2) or "auto" (all). False,
// leaving mask alone, for any other name.
bool ParseCpuMask(const std::string& name, uint32_t& mask);

// Whether this CPU and build run every kernel of these flags.
inline bool CpuRuns(uint32_t flags) { return (DetectedCpuFlags() & flags) == flags; }

}  // namespace vardelk

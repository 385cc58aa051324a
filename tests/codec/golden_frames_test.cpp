// Fingerprints of whole frames for every combination of the settings. The
// same figures must come out of the native build and of the 32-bit Windows
// build, and stay the same as the pipeline is made faster.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "codec/frame_coder.h"
#include "tests/codec/test_support.h"

namespace vardelk {
namespace {

uint64_t Fnv1a(uint64_t hash, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

// Hash of the output picture and byte count of each settings combination
// (bit 0 non-linear, 1 alternate, 2 interlaced, 3..4 picks the scale code).
uint64_t Fingerprint(bool extreme, int combination) {
    testing::Random random(extreme ? 1001 : 1000);
    testing::HostFrames frames(53, 37, 61, 40);
    if (extreme)
        testing::FillExtreme(frames.edit, random);
    else
        testing::FillNatural(frames.edit, 61, random);
    int32_t matrix[64];
    for (int i = 0; i < 64; ++i) matrix[i] = kDefaultIntraMatrix[i] + (combination & 1 ? i * 7 % 13 : 0);
    const int32_t codes[4] = {1, 5, 17, 31};
    CodingSettings s{codes[(combination >> 3) & 3], (combination & 1) != 0, ((combination >> 1) & 1) != 0,
                     ((combination >> 2) & 1) != 0};
    FrameCoder coder;
    const int32_t bytes =
        coder.CodeFrame(s, matrix, frames.edit.data(), frames.temp.data(), FrameGeometry{53, 37, 61, 40});
    uint64_t hash = Fnv1a(0xCBF29CE484222325ull, &bytes, sizeof bytes);
    return Fnv1a(hash, frames.temp.data(), frames.temp.size() * sizeof(Pixel));
}

uint64_t AllFingerprints(bool extreme) {
    uint64_t combined = 0;
    for (int c = 0; c < 32; ++c) combined = combined * 31 + Fingerprint(extreme, c);
    return combined;
}

TEST(GoldenFrames, NaturalContentInEveryMode) {
    EXPECT_EQ(AllFingerprints(false), 0xed9b87fb9809a227ull) << std::hex << AllFingerprints(false);
}

TEST(GoldenFrames, ExtremeContentInEveryMode) {
    EXPECT_EQ(AllFingerprints(true), 0x9df66449d3b8b361ull) << std::hex << AllFingerprints(true);
}

}  // namespace
}  // namespace vardelk

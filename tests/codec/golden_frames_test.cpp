// Fingerprints of whole frames for every combination of the settings, for
// the module's model and every encoder's preset. The same figures must come
// out of the native build and of the 32-bit Windows build, and stay the
// same as the pipeline is made faster.
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
// The 53x37 picture leaves partial macroblocks at the right and bottom.
uint64_t Fingerprint(bool extreme, int combination, EncoderPreset preset) {
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
                     ((combination >> 2) & 1) != 0, PresetModel(preset)};
    FrameCoder coder;
    const int32_t bytes =
        coder.CodeFrame(s, matrix, frames.edit.data(), frames.temp.data(), FrameGeometry{53, 37, 61, 40});
    uint64_t hash = Fnv1a(0xCBF29CE484222325ull, &bytes, sizeof bytes);
    return Fnv1a(hash, frames.temp.data(), frames.temp.size() * sizeof(Pixel));
}

uint64_t AllFingerprints(bool extreme, EncoderPreset preset = EncoderPreset::kFilter) {
    uint64_t combined = 0;
    for (int c = 0; c < 32; ++c) combined = combined * 31 + Fingerprint(extreme, c, preset);
    return combined;
}

TEST(GoldenFrames, NaturalContentInEveryMode) {
    EXPECT_EQ(AllFingerprints(false), 0xed9b87fb9809a227ull) << std::hex << AllFingerprints(false);
}

TEST(GoldenFrames, ExtremeContentInEveryMode) {
    EXPECT_EQ(AllFingerprints(true), 0x9df66449d3b8b361ull) << std::hex << AllFingerprints(true);
}

// The encoders' presets, natural and extreme content.
TEST(GoldenFrames, EveryEncodersPresetInEveryMode) {
    struct Row {
        EncoderPreset preset;
        uint64_t natural, extreme;
    };
    const Row rows[] = {
        {EncoderPreset::kFfmpeg, 0xd445c1f91bdf98a8ull, 0x6f7a4e5964a9364full},
        {EncoderPreset::kMpeg2enc, 0x5256095b39c1a113ull, 0xb22852c9945adae4ull},
        {EncoderPreset::kTestModel, 0xc59ba6757af8f2d7ull, 0x9d47cc08b0f97424ull},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(PresetName(row.preset));
        EXPECT_EQ(AllFingerprints(false, row.preset), row.natural) << std::hex << AllFingerprints(false, row.preset);
        EXPECT_EQ(AllFingerprints(true, row.preset), row.extreme) << std::hex << AllFingerprints(true, row.preset);
    }
}

}  // namespace
}  // namespace vardelk

// RGBA pixels to and from 8-bit Y'CbCr 4:4:4 planes, giving exactly the
// samples of media/rgb_convert.h's RgbToFrame and FrameToRgb (proven over
// every one of the 2^24 inputs each way in tests/frei0r), in loops the
// compiler vectorises: the same double arithmetic, with each division by a
// constant done as a multiplication by its reciprocal and the tables
// computed in line. The AVX2 build runs where the CPU flags allow it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vardelk {

// `count` pixels: RGBA (alpha ignored) into the three planes.
using RgbaToPlanesFunction = void (*)(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr);
// `count` pixels from the planes into RGBA; alpha is left as it is.
using PlanesToRgbaFunction = void (*)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count,
                                      uint8_t* rgba);

struct RgbaConversions {
    RgbaToPlanesFunction toPlanes;
    PlanesToRgbaFunction toRgba;
};

// The fastest build these CPU flags (codec/cpu.h) allow.
const RgbaConversions& RgbaConversionsFor(uint32_t cpuFlags);
// Each build, for the tests: the portable one, and AVX2 (null without it).
const RgbaConversions& PortableRgbaConversions();
const RgbaConversions* Avx2RgbaConversions();

}  // namespace vardelk

#include "media/psnr.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "codec/cpu.h"
#include "media/kernel_table.h"

namespace vardelk {

double PlaneError::Psnr() const {
    if (samples <= 0 || squaredError <= 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / MeanSquaredError());
}

PlaneError ComparePlanes(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& test, uint32_t cpuFlags) {
    if (reference.size() != test.size()) throw std::invalid_argument("planes of different sizes compared");
    const uint64_t sum = media::KernelTableFor(cpuFlags).squaredError(reference.data(), test.data(), reference.size());
    return PlaneError{double(sum), double(reference.size())};
}

FrameError CompareFrames(const Y4mFrame& reference, const Y4mFrame& test, uint32_t cpuFlags) {
    return FrameError{ComparePlanes(reference.y, test.y, cpuFlags), ComparePlanes(reference.cb, test.cb, cpuFlags),
                      ComparePlanes(reference.cr, test.cr, cpuFlags)};
}

}  // namespace vardelk

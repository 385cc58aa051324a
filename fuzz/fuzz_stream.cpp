// The stream reader on any bytes, and streams written from fuzzed frames.
//
// First byte even: the rest is a stream for the strict parser and the
// matrix scan, which must either succeed or throw StreamError, never read
// outside the data. First byte odd: the rest makes a small frame, settings
// and matrix; the frame is coded, written as a stream, parsed back, and the
// levels, matrix and byte counts must be exactly what was written.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/frame_coder.h"
#include "fuzz/fuzz_support.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"
#include "stream/stream_writer.h"
#include "tests/stream/stream_test_support.h"

namespace {

using namespace vardelk;

constexpr int32_t kLargestSide = 56;

using testing::KeepingSink;

void ParseAnything(const uint8_t* data, size_t size) {
    try {
        const ParsedStream parsed = ParseIntraStream(data, size);
        for (const StreamPicture& picture : parsed.pictures) {
            FUZZ_CHECK(picture.levels.size() ==
                       static_cast<size_t>(picture.macroblockColumns) * picture.macroblockRows * kMacroblockValues);
        }
    } catch (const StreamError&) {
    }
    try {
        const auto matrix = ReadIntraMatrix(data, size);
        for (int32_t weight : matrix) {
            FUZZ_CHECK(weight >= 1 && weight <= 255);
        }
    } catch (const StreamError&) {
    }
}

void RoundTrip(FuzzedDataProvider& input) {
    FilterSettings settings;
    settings.scaleCode = input.ConsumeIntegralInRange<int32_t>(1, 31);
    settings.nonLinearScale = input.ConsumeBool();
    settings.alternateScan = input.ConsumeBool();
    settings.interlacedDct = input.ConsumeBool();
    const char interlace = "ptbm?"[input.ConsumeIntegralInRange<int32_t>(0, 4)];
    const int32_t width = input.ConsumeIntegralInRange<int32_t>(1, kLargestSide);
    const int32_t height = input.ConsumeIntegralInRange<int32_t>(1, kLargestSide);
    int32_t matrix[kMatrixEntries];
    for (int32_t& weight : matrix) {
        weight = input.ConsumeIntegralInRange<int32_t>(1, 255);
    }
    // Any component values, as a host may hand over.
    std::vector<YcPixel> pixels(static_cast<size_t>(width) * height);
    for (YcPixel& pixel : pixels) {
        pixel.y = input.ConsumeIntegral<int16_t>();
        pixel.cb = input.ConsumeIntegral<int16_t>();
        pixel.cr = input.ConsumeIntegral<int16_t>();
    }
    std::vector<YcPixel> output(pixels.size());
    StreamWriter writer(StreamFormat{width, height, 25, 1, interlace}, settings, matrix);
    KeepingSink sink(writer, MacroblockColumns(width), MacroblockRows(height));
    FrameCoder coder;
    FrameOutputs outputs;
    outputs.sink = &sink;
    const int32_t estimated = coder.CodeFrame(settings, matrix, pixels.data(), output.data(),
                                              FrameGeometry{width, height, width, height}, outputs);
    std::vector<uint8_t> stream;
    const FrameAccounting account = writer.FinishFrame(estimated, stream);
    writer.FinishStream(stream);
    FUZZ_CHECK(account.TermBits() == 8 * (account.streamBytes - account.estimatedBytes));
    FUZZ_CHECK(static_cast<int64_t>(stream.size()) == account.streamBytes + 4);

    const ParsedStream parsed = ParseIntraStream(stream.data(), stream.size());
    FUZZ_CHECK(parsed.ended && parsed.pictures.size() == 1);
    FUZZ_CHECK(parsed.sequence.width == width && parsed.sequence.height == height);
    FUZZ_CHECK(parsed.sequence.intraMatrix[0] == 8);
    for (int32_t i = 1; i < kMatrixEntries; ++i) {
        FUZZ_CHECK(parsed.sequence.intraMatrix[static_cast<size_t>(i)] == matrix[i]);
    }
    const StreamPicture& picture = parsed.pictures[0];
    int64_t clipped = 0;
    for (size_t i = 0; i < sink.levels.size(); ++i) {
        const int32_t position = static_cast<int32_t>(i % kMacroblockValues);
        const bool chromaDc = position % kBlockValues == 0 && position >= kCbBlock * kBlockValues;
        const bool dc = position % kBlockValues == 0;
        const int64_t wanted = int64_t{sink.levels[i]} + (chromaDc ? 1024 : 0);
        const int64_t carried = dc ? std::clamp<int64_t>(wanted, 0, 2047) : std::clamp<int64_t>(wanted, -2047, 2047);
        FUZZ_CHECK(picture.levels[i] == carried);
        clipped += carried != wanted;
    }
    FUZZ_CHECK(clipped == account.clippedLevels);
    FUZZ_CHECK(account.clippingBits == 0 || clipped > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if ((data[0] & 1) == 0) {
        ParseAnything(data + 1, size - 1);
        return 0;
    }
    FuzzedDataProvider input(data + 1, size - 1);
    RoundTrip(input);
    return 0;
}

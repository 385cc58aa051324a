// The stream reader on any bytes, and streams written from fuzzed frames.
//
// First byte even: the rest is a stream for the strict parser and the
// matrix scan, which must either succeed or throw StreamError, never read
// outside the data. First byte odd: the rest makes a coding model (any
// preset's rule, either AC table, any DC precision), settings and a small
// picture, whose levels are either coded from a frame and matrix made from
// the bytes (bit 1 clear) or taken from the bytes as they come (bit 1 set);
// written as a stream and parsed back, the levels, matrix and byte counts
// must be exactly what was written, and the accounting must add up.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/coding_model.h"
#include "codec/frame_coder.h"
#include "codec/macroblock_pipeline.h"
#include "fuzz/fuzz_support.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"
#include "stream/stream_writer.h"
#include "testing/coded_streams.h"

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

CodingModel ConsumeModel(FuzzedDataProvider& input) {
    CodingModel model = PresetModel(static_cast<EncoderPreset>(input.ConsumeIntegralInRange<int32_t>(0, 3)));
    model.intraVlcFormat = input.ConsumeBool() ? kIntraVlcTable : kMpegVlcTable;
    model.dcPrecision = input.ConsumeIntegralInRange<int32_t>(kMinDcPrecision, kMaxDcPrecision);
    return model;
}

// The level the stream must carry for one the writer took: the filter's
// chroma DC offset for unsigned samples, then clipped into what the stream
// holds.
int64_t CarriedLevel(const CodingModel& model, size_t index, int32_t taken) {
    const int32_t position = static_cast<int32_t>(index % kMacroblockValues);
    if (position % kBlockValues != 0) {
        return std::clamp<int64_t>(taken, -2047, 2047);
    }
    const bool chroma = position >= kCbBlock * kBlockValues;
    const int64_t dc = int64_t{taken} + (chroma && model.CarriesFilterDc() ? kChromaDcOffset : 0);
    return std::clamp<int64_t>(dc, 0, (int64_t{1} << model.dcPrecision) - 1);
}

// The parsed stream holds exactly the levels taken, as the stream carries
// them; returns how many were clipped.
int64_t CheckLevels(const CodingModel& model, const ParsedStream& parsed, const std::vector<int32_t>& taken) {
    FUZZ_CHECK(parsed.ended && parsed.pictures.size() == 1);
    const StreamPicture& picture = parsed.pictures[0];
    FUZZ_CHECK(picture.intraVlcFormat == model.intraVlcFormat);
    FUZZ_CHECK(picture.intraDcPrecision == model.dcPrecision - kMinDcPrecision);
    int64_t clipped = 0;
    for (size_t i = 0; i < taken.size(); ++i) {
        const int64_t carried = CarriedLevel(model, i, taken[i]);
        FUZZ_CHECK(picture.levels[i] == carried);
        const bool chromaDc = i % kBlockValues == 0 && i % kMacroblockValues >= kCbBlock * kBlockValues;
        clipped += carried != int64_t{taken[i]} + (chromaDc && model.CarriesFilterDc() ? kChromaDcOffset : 0);
    }
    return clipped;
}

// Levels straight from the bytes: DC and AC values beyond what any coder
// gives and beyond what the stream holds, mostly zero AC.
void LevelsRoundTrip(FuzzedDataProvider& input) {
    CodingSettings settings;
    settings.model = ConsumeModel(input);
    settings.scaleCode = input.ConsumeIntegralInRange<int32_t>(1, 31);
    settings.alternateScan = input.ConsumeBool();
    settings.interlacedDct = input.ConsumeBool();
    const testing::Picture picture{input.ConsumeIntegralInRange<int32_t>(1, kLargestSide),
                                   input.ConsumeIntegralInRange<int32_t>(1, kLargestSide),
                                   "ptbm?"[input.ConsumeIntegralInRange<int32_t>(0, 4)]};
    const size_t macroblocks = static_cast<size_t>(MacroblockColumns(picture.width)) * MacroblockRows(picture.height);
    std::vector<int32_t> levels(macroblocks * kMacroblockValues);
    for (size_t i = 0; i < levels.size() && input.remaining_bytes() > 0; ++i) {
        if (i % kBlockValues == 0) {
            levels[i] = input.ConsumeIntegralInRange<int32_t>(-3000, 5000);
        } else if (input.ConsumeIntegralInRange<int32_t>(0, 7) == 0) {
            levels[i] = input.ConsumeIntegralInRange<int32_t>(-5000, 5000);
        }
    }
    const testing::Written written = testing::Write(picture, settings, levels);
    const FrameAccounting& account = written.account;
    FUZZ_CHECK(account.TermBits() == 8 * (account.streamBytes - account.estimatedBytes));
    FUZZ_CHECK(static_cast<int64_t>(written.stream.size()) == account.streamBytes + 4);
    FUZZ_CHECK(settings.model.CarriesFilterDc() || account.dcResetBits == 0);
    const ParsedStream parsed = ParseIntraStream(written.stream.data(), written.stream.size());
    const int64_t clipped = CheckLevels(settings.model, parsed, levels);
    FUZZ_CHECK(clipped == account.clippedLevels);
    FUZZ_CHECK(account.clippingBits == 0 || clipped > 0);
}

void RoundTrip(FuzzedDataProvider& input) {
    CodingSettings settings;
    settings.model = ConsumeModel(input);
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
    std::vector<Pixel> pixels(static_cast<size_t>(width) * height);
    for (Pixel& pixel : pixels) {
        pixel.y = input.ConsumeIntegral<int16_t>();
        pixel.cb = input.ConsumeIntegral<int16_t>();
        pixel.cr = input.ConsumeIntegral<int16_t>();
    }
    std::vector<Pixel> output(pixels.size());
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
    FUZZ_CHECK(parsed.sequence.width == width && parsed.sequence.height == height);
    FUZZ_CHECK(parsed.sequence.intraMatrix[0] == 8);
    for (int32_t i = 1; i < kMatrixEntries; ++i) {
        FUZZ_CHECK(parsed.sequence.intraMatrix[static_cast<size_t>(i)] == matrix[i]);
    }
    const int64_t clipped = CheckLevels(settings.model, parsed, sink.levels);
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
    if (data[0] & 2) {
        LevelsRoundTrip(input);
    } else {
        RoundTrip(input);
    }
    return 0;
}

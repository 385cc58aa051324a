// Streams written for every coding model: levels handed to the writer as a
// coder of that model gives them, read back exactly, with the model's AC
// table, DC precision and profile in the headers, and the accounting of the
// estimate against the stream's bytes adding up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/vlc_tables.h"
#include "stream/stream_reader.h"
#include "stream/stream_writer.h"

namespace vardelk {
namespace {

struct Picture {
    int32_t width = 40;
    int32_t height = 40;
    char interlace = 'p';
};

// Pseudo-random levels of the kind the model's coder gives: DC levels over
// their whole range (the filter's unscaled, chroma about zero; any other
// model's 0..2^precision - 1), sparse AC levels with short and long runs,
// magnitudes with codes and beyond them, and some blocks whose last
// coefficient is non-zero.
std::vector<int32_t> MakeLevels(const CodingModel& model, int32_t macroblocks, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 7u;
    const auto next = [&state](uint32_t span) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>((state >> 8) % span);
    };
    const int32_t magnitudes[] = {1, 1, 1, 2, 3, 5, 17, 40, 41, 300, 2047};
    const int32_t maxDc = (1 << model.dcPrecision) - 1;
    std::vector<int32_t> levels(static_cast<size_t>(macroblocks) * kMacroblockValues);
    for (size_t block = 0; block < levels.size() / kBlockValues; ++block) {
        int32_t* values = levels.data() + block * kBlockValues;
        const bool chroma = block % kBlocksPerMacroblock >= static_cast<size_t>(kCbBlock);
        const int32_t extreme = next(8);
        values[0] = extreme == 0 ? 0 : extreme == 1 ? maxDc : next(static_cast<uint32_t>(maxDc + 1));
        if (CarriesFilterDc(model) && chroma) values[0] -= 1024;
        const int32_t density = next(4);  // 0: no AC at all, up to 3: busy
        for (int32_t i = 1; i < kBlockValues; ++i) {
            if (density > 0 && next(64) < density * density * 3) {
                values[i] = magnitudes[next(sizeof magnitudes / sizeof magnitudes[0])] * (next(2) ? 1 : -1);
            }
        }
        if (block % 5 == 0) values[63] = next(2) ? 1 : -3;  // last in both scans
    }
    return levels;
}

// What the coder estimates for these levels: per macroblock row, predictors
// from the model's reset value, bits rounded up to bytes.
int32_t EstimateBytes(const std::vector<int32_t>& levels, int32_t columns, const CodingModel& model,
                      int32_t alternateScan) {
    int32_t bytes = 0;
    const int32_t rows = static_cast<int32_t>(levels.size() / kMacroblockValues) / columns;
    for (int32_t row = 0; row < rows; ++row) {
        DcPredictors predictors;
        ResetDcPredictors(predictors, model);
        int32_t bits = 0;
        for (int32_t column = 0; column < columns; ++column) {
            MacroblockBuffer buffer;
            const size_t at = (static_cast<size_t>(row) * columns + static_cast<size_t>(column)) * kMacroblockValues;
            std::copy(levels.begin() + static_cast<std::ptrdiff_t>(at),
                      levels.begin() + static_cast<std::ptrdiff_t>(at + kMacroblockValues), buffer.value);
            bits += EstimateMacroblockBits(buffer, AcCoding{alternateScan, model.intraVlcFormat}, predictors);
        }
        bytes += (bits + 7) / 8;
    }
    return bytes;
}

struct Written {
    std::vector<uint8_t> stream;
    FrameAccounting account;
};

Written Write(const Picture& picture, const FilterSettings& settings, const std::vector<int32_t>& levels) {
    StreamWriter writer(StreamFormat{picture.width, picture.height, 25, 1, picture.interlace}, settings,
                        kDefaultIntraMatrix);
    const int32_t columns = MacroblockColumns(picture.width);
    for (size_t m = 0; m < levels.size() / kMacroblockValues; ++m) {
        MacroblockBuffer buffer;
        std::copy(levels.begin() + static_cast<std::ptrdiff_t>(m * kMacroblockValues),
                  levels.begin() + static_cast<std::ptrdiff_t>((m + 1) * kMacroblockValues), buffer.value);
        const int32_t x = static_cast<int32_t>(m % static_cast<size_t>(columns)) * 16;
        const int32_t y = static_cast<int32_t>(m / static_cast<size_t>(columns)) * 16;
        writer.Take(CoefficientStage::kQuantised, x, y, buffer);
    }
    Written written;
    written.account =
        writer.FinishFrame(EstimateBytes(levels, columns, settings.model, settings.alternateScan), written.stream);
    writer.FinishStream(written.stream);
    return written;
}

TEST(StreamModels, EveryPresetAndTableReadsBackAndAddsUp) {
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        for (int32_t table : {kMpegVlcTable, kIntraVlcTable}) {
            for (int32_t variant = 0; variant < 2; ++variant) {
                FilterSettings settings;
                settings.model = PresetModel(static_cast<EncoderPreset>(preset));
                settings.model.intraVlcFormat = table;
                settings.alternateScan = variant;
                settings.scaleCode = 6;
                Picture picture;
                picture.interlace = variant ? 't' : 'p';  // 't': a padding row below the picture
                const CodingModel& model = settings.model;
                SCOPED_TRACE(DescribeModel(model) + (variant ? ", alternate scan, interlaced" : ""));
                const int32_t columns = MacroblockColumns(picture.width);
                const int32_t rows = MacroblockRows(picture.height);
                const std::vector<int32_t> levels = MakeLevels(model, columns * rows, 3u * preset + table + variant);
                const Written written = Write(picture, settings, levels);

                const FrameAccounting& a = written.account;
                EXPECT_EQ(a.TermBits(), 8 * (a.streamBytes - a.estimatedBytes));
                EXPECT_EQ(static_cast<int64_t>(written.stream.size()), a.streamBytes + 4);
                EXPECT_EQ(a.clippedLevels, 0);
                EXPECT_EQ(a.clippingBits, 0);
                if (!CarriesFilterDc(model)) {
                    EXPECT_EQ(a.dcResetBits, 0);
                }
                int64_t endingBlocks = 0;
                for (size_t block = 0; block < levels.size() / kBlockValues; ++block) {
                    endingBlocks += levels[block * kBlockValues + 63] != 0;
                }
                EXPECT_GT(endingBlocks, 0);
                EXPECT_EQ(a.endOfBlockBits, EndOfBlockBits(table) * endingBlocks);
                EXPECT_EQ(a.paddingRowBits > 0, variant == 1);

                const ParsedStream parsed = ParseIntraStream(written.stream.data(), written.stream.size());
                ASSERT_EQ(parsed.pictures.size(), 1u);
                const StreamPicture& read = parsed.pictures[0];
                EXPECT_EQ(read.intraVlcFormat, table);
                EXPECT_EQ(read.intraDcPrecision, model.dcPrecision - 8);
                EXPECT_EQ(parsed.sequence.profileAndLevel, model.dcPrecision <= 10 ? 0x4A : 0x18);
                // The filter's chroma DC gains the offset of unsigned samples;
                // every other level is the stream's as taken.
                for (size_t i = 0; i < levels.size(); ++i) {
                    const bool chromaDc = i % kBlockValues == 0 && i % kMacroblockValues >= kCbBlock * kBlockValues;
                    const int32_t offset = chromaDc && CarriesFilterDc(model) ? 1024 : 0;
                    ASSERT_EQ(read.levels[i], levels[i] + offset) << "value " << i;
                }
                // Padding rows: mid grey and nothing else.
                for (size_t i = levels.size(); i < read.levels.size(); ++i) {
                    ASSERT_EQ(read.levels[i], i % kBlockValues == 0 ? 1 << (model.dcPrecision - 1) : 0);
                }
            }
        }
    }
}

TEST(StreamModels, DcLevelsBeyondThePrecisionAreClippedAndCounted) {
    FilterSettings settings;
    settings.model = PresetModel(EncoderPreset::kMpeg2enc);  // 8 bits
    Picture picture{16, 16, 'p'};
    std::vector<int32_t> levels(kMacroblockValues);
    levels[0] = 300;
    levels[kBlockValues] = -5;
    levels[kCbBlock * kBlockValues] = 255;
    levels[kCbBlock * kBlockValues + 1] = 4000;
    const Written written = Write(picture, settings, levels);
    EXPECT_EQ(written.account.clippedLevels, 3);
    EXPECT_NE(written.account.clippingBits, 0);
    EXPECT_EQ(written.account.TermBits(), 8 * (written.account.streamBytes - written.account.estimatedBytes));
    const ParsedStream parsed = ParseIntraStream(written.stream.data(), written.stream.size());
    const std::vector<int32_t>& read = parsed.pictures[0].levels;
    EXPECT_EQ(read[0], 255);
    EXPECT_EQ(read[kBlockValues], 0);
    EXPECT_EQ(read[kCbBlock * kBlockValues], 255);
    EXPECT_EQ(read[kCbBlock * kBlockValues + 1], 2047);
}

}  // namespace
}  // namespace vardelk

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
#include "testing/coded_streams.h"

namespace vardelk {
namespace {

using testing::EstimateBytes;
using testing::MakeLevels;
using testing::Picture;
using testing::Write;
using testing::Written;

TEST(StreamModels, EveryPresetAndTableReadsBackAndAddsUp) {
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        for (int32_t table : {kMpegVlcTable, kIntraVlcTable}) {
            for (int32_t variant = 0; variant < 2; ++variant) {
                CodingSettings settings;
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
                const std::vector<int32_t> levels =
                    MakeLevels(model, columns * rows, 3u * preset + table + variant, true);
                const Written written = Write(picture, settings, levels);

                const FrameAccounting& a = written.account;
                EXPECT_EQ(a.TermBits(), 8 * (a.streamBytes - a.estimatedBytes));
                EXPECT_EQ(static_cast<int64_t>(written.stream.size()), a.streamBytes + 4);
                EXPECT_EQ(a.clippedLevels, 0);
                EXPECT_EQ(a.clippingBits, 0);
                if (!model.CarriesFilterDc()) {
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
                    const int32_t offset = chromaDc && model.CarriesFilterDc() ? kChromaDcOffset : 0;
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
    CodingSettings settings;
    settings.model = PresetModel(EncoderPreset::kMpeg2enc);
    settings.model.dcPrecision = 8;
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

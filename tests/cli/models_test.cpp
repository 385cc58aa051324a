#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_error.h"
#include "clip/clip_error.h"
#include "clip/user_matrix.h"
#include "options.h"

namespace vardelk {
namespace {

std::string UsageErrorOf(const std::string& encoder, const std::string& vlc, const std::string& dc) {
    try {
        ParseModelOptions(encoder, vlc, dc);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(ModelOptions, PresetFieldsOverriddenOneByOne) {
    EXPECT_EQ(ParseModelOptions("filter", "", ""), CodingModel{});
    const CodingModel ffmpeg = ParseModelOptions("ffmpeg", "", "");
    EXPECT_EQ(ffmpeg, PresetModel(EncoderPreset::kFfmpeg));
    const CodingModel changed = ParseModelOptions("ffmpeg", "1", "10");
    EXPECT_EQ(changed.rule, QuantiserRule::kFfmpeg);
    EXPECT_EQ(changed.intraVlcFormat, 1);
    EXPECT_EQ(changed.dcPrecision, 10);
    EXPECT_EQ(ParseModelOptions("tm5", "", "9").intraVlcFormat, PresetModel(EncoderPreset::kTestModel).intraVlcFormat);

    EXPECT_EQ(UsageErrorOf("FFmpeg", "", ""), "--encoder: unknown encoder 'FFmpeg' (filter, ffmpeg, mpeg2enc, tm5)");
    EXPECT_NE(UsageErrorOf("ffmpeg", "2", "").find("--intra-vlc 2: out of range"), std::string::npos);
    EXPECT_NE(UsageErrorOf("ffmpeg", "", "7").find("--dc-precision 7: out of range"), std::string::npos);
    EXPECT_NE(UsageErrorOf("ffmpeg", "", "12").find("must be 8..11"), std::string::npos);
    EXPECT_NE(UsageErrorOf("ffmpeg", "", "10b").find("not an integer"), std::string::npos);
}

TEST(EncoderMatrix, AcEntriesMustFitEightBits) {
    NamedMatrix m{"steep.txt", {}};
    m.entries.fill(255);
    m.entries[0] = 4095;  // the DC weight is never coded with
    EXPECT_NO_THROW(CheckEncoderMatrix(m, PresetModel(EncoderPreset::kFfmpeg), "ffmpeg"));
    EXPECT_EQ(StreamMatrixNote(m), "");
    m.entries[63] = 256;
    EXPECT_NO_THROW(CheckEncoderMatrix(m, PresetModel(EncoderPreset::kFilter), "the filter"));  // up to 4095
    // ... and is told that no stream carries it.
    EXPECT_NE(StreamMatrixNote(m).find("entry 64 (row 8, column 8) is 256: no MPEG-2 stream carries entries above 255"),
              std::string::npos)
        << StreamMatrixNote(m);
    try {
        CheckEncoderMatrix(m, PresetModel(EncoderPreset::kFfmpeg), "ffmpeg");
        ADD_FAILURE();
    } catch (const ClipError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "matrix steep.txt: entry 64 (row 8, column 8) is 256; ffmpeg carries matrix entries 1..255 (all but "
                  "the DC weight, entry 1)");
    }
}

}  // namespace
}  // namespace vardelk

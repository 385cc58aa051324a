#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_error.h"
#include "ffmpeg_confirm.h"
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
    EXPECT_NO_THROW(CheckEncoderMatrix(m, "ffmpeg"));
    m.entries[63] = 256;
    try {
        CheckEncoderMatrix(m, "ffmpeg");
        ADD_FAILURE();
    } catch (const CliError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "matrix steep.txt: entry 64 (row 8, column 8) is 256; ffmpeg carries matrix entries 1..255 (all but "
                  "the DC weight, entry 1)");
    }
}

std::string ValueAfter(const std::vector<std::string>& arguments, const std::string& option) {
    const auto at = std::find(arguments.begin(), arguments.end(), option);
    return at == arguments.end() || at + 1 == arguments.end() ? "" : *(at + 1);
}

TEST(FfmpegConfirm, ArgumentsFollowTheSettings) {
    std::array<int32_t, kMatrixEntries> matrix{};
    for (int i = 0; i < kMatrixEntries; ++i) matrix[size_t(i)] = i + 1;
    matrix[0] = 4000;  // given to ffmpeg within its 8 bits
    CodingSettings s;
    s.scaleCode = 7;
    s.model = PresetModel(EncoderPreset::kFfmpeg);
    const std::vector<std::string> linear = FfmpegEncodeArguments("in.y4m", "out.m2v", s, matrix);
    EXPECT_EQ(ValueAfter(linear, "-qscale:v"), "7");
    EXPECT_EQ(ValueAfter(linear, "-qmin"), "1");
    EXPECT_EQ(ValueAfter(linear, "-qmax"), "31");
    EXPECT_EQ(ValueAfter(linear, "-intra_vlc"), "0");
    EXPECT_EQ(ValueAfter(linear, "-dc"), "8");
    EXPECT_EQ(ValueAfter(linear, "-dct"), "int");
    EXPECT_EQ(ValueAfter(linear, "-intra_matrix").substr(0, 8), "255,2,3,");
    EXPECT_EQ(std::count(linear.begin(), linear.end(), "-non_linear_quant"), 0);
    EXPECT_EQ(std::count(linear.begin(), linear.end(), "+ildct"), 0);
    EXPECT_EQ(linear.back(), "out.m2v");

    s.nonLinearScale = s.alternateScan = s.interlacedDct = 1;
    s.model.intraVlcFormat = 1;
    s.model.dcPrecision = 10;
    const std::vector<std::string> all = FfmpegEncodeArguments("in.y4m", "out.m2v", s, matrix);
    EXPECT_EQ(ValueAfter(all, "-non_linear_quant"), "1");
    EXPECT_EQ(ValueAfter(all, "-qmax"), "28");
    EXPECT_EQ(ValueAfter(all, "-alternate_scan"), "1");
    EXPECT_EQ(ValueAfter(all, "-flags"), "+ildct");
    EXPECT_EQ(ValueAfter(all, "-intra_vlc"), "1");
    EXPECT_EQ(ValueAfter(all, "-dc"), "10");
    EXPECT_TRUE(FfmpegCodes(s));
    s.scaleCode = 29;
    EXPECT_FALSE(FfmpegCodes(s));
    s.nonLinearScale = 0;
    EXPECT_TRUE(FfmpegCodes(s));
}

// A picture coding extension and two slices, as an encoder writes them.
std::vector<uint8_t> TinyStream(int32_t dcBits, int32_t qScaleType, int32_t scaleCode) {
    // id 8, f_codes all 15, then intra_dc_precision, frame picture (3), the
    // flags with q_scale_type and intra_vlc_format 1, alternate_scan 0.
    const uint64_t fields = (uint64_t(8) << 36) | (uint64_t(0xffff) << 20) | (uint64_t(dcBits - 8) << 18) |
                            (uint64_t(3) << 16) | (uint64_t(qScaleType) << 12) | (uint64_t(1) << 11);
    // A sequence header of a 16x32 picture that loads no matrix, then the
    // coding extension.
    std::vector<uint8_t> bytes = {0, 0, 1, 0xb3, 0x01, 0x00, 0x20, 0x13, 0xff, 0xff, 0xe0, 0x00, 0, 0, 1, 0xb5};
    for (int shift = 32; shift >= 0; shift -= 8) bytes.push_back(uint8_t(fields >> shift));
    for (uint8_t row : {1, 2}) {
        for (uint8_t b : {uint8_t(0), uint8_t(0), uint8_t(1), row, uint8_t(scaleCode << 3), uint8_t(0xff)})
            bytes.push_back(b);
    }
    bytes.insert(bytes.end(), 8, 0xff);
    return bytes;
}

TEST(FfmpegConfirm, StreamCheckedAgainstTheSettings) {
    std::array<int32_t, kMatrixEntries> matrix{};
    for (int i = 0; i < kMatrixEntries; ++i) matrix[size_t(i)] = kDefaultIntraMatrix[i];
    CodingSettings s;
    s.scaleCode = 9;
    s.nonLinearScale = 1;
    s.model = CodingModel{QuantiserRule::kFfmpeg, 1, 9};
    EXPECT_NO_THROW(CheckFfmpegStream(TinyStream(9, 1, 9), s, matrix, 32, 1));
    auto message = [&](const std::vector<uint8_t>& stream, int64_t frames) {
        try {
            CheckFfmpegStream(stream, s, matrix, 32, frames);
        } catch (const CliError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message(TinyStream(9, 1, 2), 1),
              "ffmpeg did not code as asked: quantiser_scale_code 2 where 9 was asked");
    EXPECT_NE(message(TinyStream(8, 1, 9), 1).find("DC precision 8 where 9"), std::string::npos);
    EXPECT_NE(message(TinyStream(9, 0, 9), 1).find("q_scale_type 0 where 1"), std::string::npos);
    EXPECT_NE(message(TinyStream(9, 1, 9), 2).find("pictures"), std::string::npos);
    matrix[5] = 40;  // the stream loads no matrix: it codes with the default
    EXPECT_NE(message(TinyStream(9, 1, 9), 1).find("matrix entry 6"), std::string::npos);
}

}  // namespace
}  // namespace vardelk

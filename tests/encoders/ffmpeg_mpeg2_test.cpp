// ffmpeg's MPEG-2 run: the arguments that hold it to a point, the check of
// the stream it wrote, and what a run leaves when ffmpeg fails (stand-ins
// for ffmpeg, shell scripts, play the failures).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "encoders/ffmpeg_mpeg2.h"

namespace vardelk {
namespace {

std::string ValueAfter(const std::vector<std::string>& arguments, const std::string& option) {
    const auto at = std::find(arguments.begin(), arguments.end(), option);
    return at == arguments.end() || at + 1 == arguments.end() ? "" : *(at + 1);
}

TEST(FfmpegMpeg2, ArgumentsFollowTheSettings) {
    std::array<int32_t, kMatrixEntries> matrix{};
    for (int i = 0; i < kMatrixEntries; ++i) matrix[size_t(i)] = i + 1;
    matrix[0] = 4000;  // given to ffmpeg within its 8 bits
    CodingSettings s;
    s.scaleCode = 7;
    s.model = PresetModel(EncoderPreset::kFfmpeg);
    const std::vector<std::string> linear =
        FfmpegEncodeArguments("ffmpeg", "in.y4m", "out.m2v", s, matrix, FfmpegOptions{});
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
    const std::vector<std::string> all =
        FfmpegEncodeArguments("ffmpeg", "in.y4m", "out.m2v", s, matrix, FfmpegOptions{});
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

TEST(FfmpegMpeg2, StreamCheckedAgainstTheSettings) {
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
        } catch (const EncoderError& e) {
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

// A stand-in for ffmpeg that runs `body` with $out, its last argument (the
// file it should write).
std::string StandIn(const TemporaryFolder& folder, const std::string& name, const std::string& body) {
    const std::string path = folder.File(name);
    std::ofstream(path) << "#!/bin/sh\nfor out; do :; done\n" << body << "\n";
    chmod(path.c_str(), 0700);
    return path;
}

TEST(FfmpegRun, FailuresAreDescribedAndLeaveNoFiles) {
    const TemporaryFolder folder;
    const std::string source = folder.File("source.y4m");
    std::ofstream(source) << "unused";
    const std::string works = StandIn(folder, "works", "printf x > \"$out\"");
    const std::string fails =
        StandIn(folder, "fails", "case $out in *.y4m) printf 'one\\ntwo\\n' >&2; exit 3;; esac; printf x > \"$out\"");
    const std::string silent = StandIn(folder, "silent", "exit 0");
    const std::string killed = StandIn(folder, "killed", "kill -9 $$");
    const auto files = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = files();
    const auto run = [&](const std::string& program) {
        const FfmpegRun point(Ffmpeg{program, FfmpegOptions{}}, source, CodingSettings{}, FfmpegMatrix{},
                              folder.File("point"));
        EXPECT_EQ(point.Stream(), std::vector<uint8_t>({'x'}));
        EXPECT_EQ(files().size(), before.size() + 3);  // the stream, its decoding, the messages
    };
    const auto failure = [&](const std::string& program) {
        try {
            run(program);
        } catch (const FfmpegFailure& e) {
            return std::string(e.coding ? "coding: " : "decoding: ") + e.Ending() + ": " + e.firstMessage + "|" +
                   e.lastMessages;
        }
        return std::string("no failure");
    };
    run(works);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(failure(fails), "decoding: exit status 3: one|one\ntwo");
    EXPECT_EQ(files(), before);
    EXPECT_EQ(failure(silent), "coding: no output: |");
    EXPECT_EQ(failure(killed), "coding: killed by signal 9: |");
    EXPECT_EQ(files(), before);
    try {
        run(folder.File("missing"));
        ADD_FAILURE() << "a missing program ran";
    } catch (const EncoderError& e) {
        EXPECT_NE(std::string(e.what()).find("missing: cannot be started"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vardelk

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
#include "testing/coded_streams.h"

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
    EXPECT_EQ(std::count(linear.begin(), linear.end(), "-dct"), 0);
    EXPECT_EQ(ValueAfter(FfmpegEncodeArguments("ffmpeg", "in.y4m", "out.m2v", s, matrix, FfmpegOptions{true}), "-dct"),
              "int");
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

// The settings a stream was written with, as a real encoder writes them;
// the check is held to other settings, one at a time.
TEST(FfmpegMpeg2, StreamCheckedAgainstTheSettings) {
    CodingSettings written;
    written.scaleCode = 9;
    written.nonLinearScale = 1;
    written.model = CodingModel{QuantiserRule::kFfmpeg, 1, 9};
    const testing::Picture picture{32, 32, 'p'};
    const std::vector<uint8_t> stream =
        testing::Write(picture, written, testing::MakeLevels(written.model, 4, 1, false)).stream;
    std::array<int32_t, kMatrixEntries> matrix{};
    for (int i = 0; i < kMatrixEntries; ++i) matrix[size_t(i)] = kDefaultIntraMatrix[i];
    EXPECT_NO_THROW(CheckFfmpegStream(stream, written, matrix, 32, 1));
    auto message = [&](const CodingSettings& asked, int32_t height, int64_t frames, std::vector<uint8_t> bytes) {
        try {
            CheckFfmpegStream(bytes, asked, matrix, height, frames);
        } catch (const EncoderError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    CodingSettings asked = written;
    asked.scaleCode = 2;
    EXPECT_EQ(message(asked, 32, 1, stream), "ffmpeg did not code as asked: quantiser_scale_code 9 where 2 was asked");
    asked = written;
    asked.model.dcPrecision = 8;
    EXPECT_NE(message(asked, 32, 1, stream).find("DC precision 9 where 8"), std::string::npos);
    asked = written;
    asked.nonLinearScale = 0;
    EXPECT_NE(message(asked, 32, 1, stream).find("q_scale_type 1 where 0"), std::string::npos);
    EXPECT_NE(message(written, 32, 2, stream).find("pictures"), std::string::npos);
    EXPECT_NE(message(written, 48, 1, stream).find("picture height 32 where 48"), std::string::npos);
    EXPECT_NE(message(written, 32, 1, {stream.begin(), stream.begin() + 40}).find("cannot be read back"),
              std::string::npos);
    matrix[5] = 40;  // the stream loads no matrix: it codes with the default
    EXPECT_NE(message(written, 32, 1, stream).find("matrix entry 6"), std::string::npos);
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

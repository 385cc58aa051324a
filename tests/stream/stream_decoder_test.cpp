// Streams written from the coder's levels, decoded by two independent
// decoders: neither may complain, and each one's picture must match the
// simulation's reconstruction to within the rounding of its own inverse
// transform: every sample within 1, as docs/streams.md says.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "stream/stream_reader.h"
#include "testing/coded_streams.h"

namespace vardelk {
namespace {

using testing::Planes420;

// Named per process: runs of this test at the same time must not share files.
std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "vardelk_stream_" + std::to_string(getpid()) + "_" + name;
}

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        std::fclose(file);
    }
    return bytes;
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

// Runs a command with its diagnostics captured; returns them, "" when silent.
std::string RunQuietly(const std::string& command, int* status) {
    const std::string log = Scratch("decoder.log");
    *status = std::system((command + " 2>" + log).c_str());
    const std::vector<uint8_t> text = ReadAll(log);
    std::remove(log.c_str());
    return std::string(text.begin(), text.end());
}

// Raw 4:2:0 frames of the picture's size. One decoding thread: with more, ffmpeg
// remarks on pictures with fewer macroblock rows than threads.
std::vector<Planes420> DecodeWithFfmpeg(const std::string& stream, int32_t width, int32_t height) {
    const std::string raw = Scratch("ffmpeg.yuv");
    int status = 0;
    const std::string log = RunQuietly("ffmpeg -nostdin -hide_banner -loglevel warning -threads 1 -y -f mpegvideo -i " +
                                           stream + " -f rawvideo -pix_fmt yuv420p " + raw,
                                       &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(log, "") << "ffmpeg said: " << log;
    const std::vector<uint8_t> bytes = ReadAll(raw);
    std::remove(raw.c_str());
    const size_t lumaBytes = static_cast<size_t>(width) * height;
    const size_t chromaBytes = static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2);
    std::vector<Planes420> frames;
    for (size_t at = 0; at + lumaBytes + 2 * chromaBytes <= bytes.size(); at += lumaBytes + 2 * chromaBytes) {
        Planes420 planes{width, height, {}, {}, {}};
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        planes.y.assign(begin, begin + static_cast<std::ptrdiff_t>(lumaBytes));
        planes.cb.assign(begin + static_cast<std::ptrdiff_t>(lumaBytes),
                         begin + static_cast<std::ptrdiff_t>(lumaBytes + chromaBytes));
        planes.cr.assign(begin + static_cast<std::ptrdiff_t>(lumaBytes + chromaBytes),
                         begin + static_cast<std::ptrdiff_t>(lumaBytes + 2 * chromaBytes));
        frames.push_back(std::move(planes));
    }
    return frames;
}

// mpeg2dec's plain C code, one PGM a frame: the coded (padded) luma above
// the two chroma planes side by side. Cut to the picture.
std::vector<Planes420> DecodeWithMpeg2dec(const std::string& stream, int32_t width, int32_t height) {
    const std::string pgm = Scratch("mpeg2dec.pgm");
    int status = 0;
    const std::string log = RunQuietly("mpeg2dec -c -o pgmpipe " + stream + " >" + pgm, &status);
    EXPECT_EQ(status, 0);
    // It always names itself and counts the frames; anything more is a complaint.
    std::string complaints;
    size_t start = 0;
    while (start < log.size()) {
        const size_t end = std::min(log.find('\n', start), log.size());
        const std::string line = log.substr(start, end - start);
        if (!line.empty() && line.rfind("libmpeg2-", 0) != 0 && line.find(" frames decoded in ") == std::string::npos) {
            complaints += line + "\n";
        }
        start = end + 1;
    }
    EXPECT_EQ(complaints, "") << "mpeg2dec said: " << log;
    const std::vector<uint8_t> bytes = ReadAll(pgm);
    std::remove(pgm.c_str());
    std::vector<Planes420> frames;
    size_t at = 0;
    while (at < bytes.size()) {
        int codedWidth = 0, rows = 0, maxValue = 0, headerLength = 0;
        const std::string head(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 64)));
        if (std::sscanf(head.c_str(), "P5 %d %d %d%n", &codedWidth, &rows, &maxValue, &headerLength) != 3) {
            ADD_FAILURE() << "unreadable PGM header from mpeg2dec";
            break;
        }
        at += static_cast<size_t>(headerLength) + 1;
        const int codedHeight = rows * 2 / 3;
        const uint8_t* data = bytes.data() + at;
        at += static_cast<size_t>(codedWidth) * rows;
        if (at > bytes.size()) {
            ADD_FAILURE() << "truncated PGM from mpeg2dec";
            break;
        }
        Planes420 planes{width, height, {}, {}, {}};
        for (int32_t y = 0; y < height; ++y) {
            planes.y.insert(planes.y.end(), data + y * codedWidth, data + y * codedWidth + width);
        }
        for (int32_t y = 0; y < (height + 1) / 2; ++y) {
            const uint8_t* row = data + (codedHeight + y) * codedWidth;
            planes.cb.insert(planes.cb.end(), row, row + (width + 1) / 2);
            planes.cr.insert(planes.cr.end(), row + codedWidth / 2, row + codedWidth / 2 + (width + 1) / 2);
        }
        frames.push_back(std::move(planes));
    }
    return frames;
}

// Differences decoded - expected, every sample of every plane.
using Histogram = std::map<int32_t, int64_t>;

void AddDifferences(const Planes420& decoded, const Planes420& expected, Histogram& histogram) {
    ASSERT_EQ(decoded.y.size(), expected.y.size());
    ASSERT_EQ(decoded.cb.size(), expected.cb.size());
    for (const auto& [a, b] : {std::pair{&decoded.y, &expected.y}, std::pair{&decoded.cb, &expected.cb},
                               std::pair{&decoded.cr, &expected.cr}}) {
        for (size_t i = 0; i < a->size(); ++i) {
            ++histogram[int32_t{(*a)[i]} - int32_t{(*b)[i]}];
        }
    }
}

void ExpectWithinTransformRounding(const std::string& decoder, const Histogram& histogram) {
    int64_t total = 0, beyondOne = 0;
    std::string shown;
    for (const auto& [difference, count] : histogram) {
        total += count;
        beyondOne += difference < -1 || difference > 1 ? count : 0;
        shown += " " + std::to_string(difference) + ":" + std::to_string(count);
    }
    std::printf("%-9s differences from the simulation (difference:samples):%s; %lld samples\n", decoder.c_str(),
                shown.c_str(), static_cast<long long>(total));
    EXPECT_GT(total, 0) << decoder;
    EXPECT_EQ(beyondOne, 0) << decoder << ": samples beyond ±1 of the simulation;" << shown;
}

struct Case {
    int32_t width;
    int32_t height;
    char interlace;
    ChromaFormat chroma;
    int32_t combination;  // bit 0 non-linear, bit 1 alternate scan, bit 2 field DCT
};

// Each case is coded with a preset model, every preset with both AC tables
// over the cases.
CodingModel ModelOfCase(size_t index) {
    CodingModel model = PresetModel(static_cast<EncoderPreset>(index % kEncoderPresets));
    model.intraVlcFormat = static_cast<int32_t>(index / kEncoderPresets) % 2;
    return model;
}

TEST(StreamDecoders, BothDecodersShowTheSimulation) {
    if (!HaveProgram("ffmpeg") || !HaveProgram("mpeg2dec")) {
        GTEST_SKIP() << "ffmpeg or mpeg2dec is missing (scripts/setup.sh installs both)";
    }
    std::vector<Case> cases;
    for (int32_t combination = 0; combination < 8; ++combination) {
        cases.push_back({33, 17, 'p', ChromaFormat::k420, combination});
        cases.push_back({70, 45, 't', ChromaFormat::k420, combination});
    }
    cases.push_back({721, 487, 'p', ChromaFormat::k420, 0});
    cases.push_back({721, 487, 'b', ChromaFormat::k420, 7});
    cases.push_back({47, 31, 'p', ChromaFormat::k422, 2});
    cases.push_back({47, 31, 't', ChromaFormat::k444, 5});
    cases.push_back({47, 31, 'p', ChromaFormat::kMono, 1});

    Histogram ffmpegHistogram, mpeg2decHistogram;
    const std::string path = Scratch("decoders.m2v");
    for (size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        Y4mFormat format;
        format.width = c.width;
        format.height = c.height;
        format.interlace = c.interlace;
        format.chroma = c.chroma;
        CodingSettings settings;
        settings.nonLinearScale = c.combination & 1;
        settings.alternateScan = (c.combination >> 1) & 1;
        settings.interlacedDct = (c.combination >> 2) & 1;
        settings.scaleCode = 2 + 3 * c.combination;
        settings.model = ModelOfCase(index);
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + c.interlace + " chroma " +
                                 std::to_string(static_cast<int>(c.chroma)) + " settings " +
                                 std::to_string(c.combination) + " model " + DescribeModel(settings.model);
        SCOPED_TRACE(name);
        StreamWriter writer(StreamFormat{c.width, c.height, 25, 1, c.interlace}, settings, kDefaultIntraMatrix);
        FrameCoder coder;
        std::vector<uint8_t> stream;
        std::vector<testing::StreamedFrame> frames;
        for (uint32_t f = 0; f < 2; ++f) {
            frames.push_back(testing::CodeIntoStream(coder, writer, settings, kDefaultIntraMatrix, format,
                                                     testing::MakeTestFrame(format, f + 1), stream));
            // The rebuilt luma is the coder's own output: the levels are the ones it reconstructed from.
            ASSERT_EQ(frames.back().expected.y, frames.back().codedLuma);
        }
        writer.FinishStream(stream);
        WriteAll(path, stream);
        const std::vector<Planes420> byFfmpeg = DecodeWithFfmpeg(path, c.width, c.height);
        const std::vector<Planes420> byMpeg2dec = DecodeWithMpeg2dec(path, c.width, c.height);
        ASSERT_EQ(byFfmpeg.size(), frames.size());
        ASSERT_EQ(byMpeg2dec.size(), frames.size());
        for (size_t f = 0; f < frames.size(); ++f) {
            AddDifferences(byFfmpeg[f], frames[f].expected, ffmpegHistogram);
            AddDifferences(byMpeg2dec[f], frames[f].expected, mpeg2decHistogram);
        }
    }
    std::remove(path.c_str());
    ExpectWithinTransformRounding("ffmpeg", ffmpegHistogram);
    ExpectWithinTransformRounding("mpeg2dec", mpeg2decHistogram);
}

// Levels made up for every preset model in either AC table, written and
// decoded: both decoders show what the levels give, whatever the table and
// the DC precision.
TEST(StreamDecoders, EveryModelAndTableDecodes) {
    if (!HaveProgram("ffmpeg") || !HaveProgram("mpeg2dec")) {
        GTEST_SKIP() << "ffmpeg or mpeg2dec is missing (scripts/setup.sh installs both)";
    }
    Histogram ffmpegHistogram, mpeg2decHistogram;
    const std::string path = Scratch("models.m2v");
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        for (int32_t table : {kMpegVlcTable, kIntraVlcTable}) {
            for (int32_t variant = 0; variant < 2; ++variant) {
                CodingSettings settings;
                settings.model = PresetModel(static_cast<EncoderPreset>(preset));
                settings.model.intraVlcFormat = table;
                settings.alternateScan = variant;
                settings.interlacedDct = variant;
                settings.scaleCode = 2 + 5 * variant;
                const testing::Picture picture{48, variant ? 40 : 32, variant ? 't' : 'p'};
                SCOPED_TRACE(DescribeModel(settings.model) + (variant ? ", field DCT" : ""));
                const int32_t macroblocks = MacroblockColumns(picture.width) * MacroblockRows(picture.height);
                const std::vector<int32_t> levels =
                    testing::MakeLevels(settings.model, macroblocks, 5u * preset + 2u * table + variant, false);
                WriteAll(path, testing::Write(picture, settings, levels).stream);
                const Planes420 expected =
                    testing::RebuildPlanes(levels, picture.width, picture.height, settings, kDefaultIntraMatrix);
                const std::vector<Planes420> byFfmpeg = DecodeWithFfmpeg(path, picture.width, picture.height);
                const std::vector<Planes420> byMpeg2dec = DecodeWithMpeg2dec(path, picture.width, picture.height);
                ASSERT_EQ(byFfmpeg.size(), 1u);
                ASSERT_EQ(byMpeg2dec.size(), 1u);
                AddDifferences(byFfmpeg[0], expected, ffmpegHistogram);
                AddDifferences(byMpeg2dec[0], expected, mpeg2decHistogram);
            }
        }
    }
    std::remove(path.c_str());
    ExpectWithinTransformRounding("ffmpeg", ffmpegHistogram);
    ExpectWithinTransformRounding("mpeg2dec", mpeg2decHistogram);
}

// Streams another encoder wrote: the matrix its sequence header loads, or
// the default when it loads none (MPEG-1 and MPEG-2 alike).
TEST(StreamDecoders, MatrixFromAnotherEncodersStream) {
    if (!HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is missing";
    }
    std::string list;
    std::array<int32_t, kMatrixEntries> wanted{};
    for (int32_t i = 0; i < kMatrixEntries; ++i) {
        wanted[static_cast<size_t>(i)] = i == 0 ? 8 : 9 + (i * 7) % 90;
        list += (i ? "," : "") + std::to_string(wanted[static_cast<size_t>(i)]);
    }
    for (const char* codec : {"mpeg2video", "mpeg1video"}) {
        const std::string path = Scratch(std::string(codec) + ".mpg");
        int status = 0;
        const std::string command = std::string(
                                        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
                                        "testsrc=size=64x48:rate=25 -frames:v 2 -c:v ") +
                                    codec + " -intra_matrix " + list + " -f mpeg " + path;
        ASSERT_EQ(RunQuietly(command, &status), "");
        ASSERT_EQ(status, 0);
        EXPECT_EQ(ReadIntraMatrixFromStream(path), wanted) << codec;
        ASSERT_EQ(RunQuietly(std::string("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=64x48 "
                                         "-frames:v 1 -c:v ") +
                                 codec + " -f rawvideo " + path,
                             &status),
                  "");
        const auto fallback = ReadIntraMatrixFromStream(path);
        EXPECT_TRUE(std::equal(fallback.begin(), fallback.end(), kDefaultIntraMatrix)) << codec;
        std::remove(path.c_str());
    }
}

// A picture as the parser read it, turned back into samples.
Planes420 RebuildParsed(const ParsedStream& parsed, const StreamPicture& picture) {
    testing::LevelsCoding coding;
    coding.width = parsed.sequence.width;
    coding.height = parsed.sequence.height;
    coding.matrix.assign(picture.intraMatrix.begin(), picture.intraMatrix.end());
    coding.nonLinearScale = picture.qScaleType;
    coding.dcPrecision = 8 + picture.intraDcPrecision;
    coding.filterDc = false;
    coding.scaleCodes = picture.scaleCodes;
    coding.fieldDct = picture.fieldDct;
    return testing::Rebuild(picture.levels, coding);
}

// Streams of other encoders read through the parser: the pictures their
// levels give must be the ones ffmpeg decodes from the same streams. ffmpeg
// writes slices that begin inside a row (with its packet size set) and
// macroblocks with their own scale codes (with adaptive quantisation);
// mpeg2enc adds a display extension.
TEST(StreamDecoders, ReadsWhatOtherEncodersWrote) {
    if (!HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is missing";
    }
    std::string list;
    std::vector<int32_t> wanted(kMatrixEntries);
    for (int32_t i = 0; i < kMatrixEntries; ++i) {
        wanted[static_cast<size_t>(i)] = i == 0 ? 8 : 10 + (i * 5) % 70;
        list += (i ? "," : "") + std::to_string(wanted[static_cast<size_t>(i)]);
    }
    struct Encoding {
        std::string command;
        int32_t intraVlcFormat;
        int32_t intraDcPrecision;
        bool ownScaleCodes;  // some macroblocks change the scale code
    };
    const std::string path = Scratch("foreign.m2v");
    const std::string source = "-f lavfi -i testsrc2=size=720x96:rate=25 -frames:v 2 -pix_fmt yuv420p";
    const std::string ffmpeg = "ffmpeg -nostdin -hide_banner -loglevel error -y " + source +
                               " -c:v mpeg2video -g 1 -intra_matrix " + list + " ";
    const std::string output = " -f mpeg2video " + path;
    std::vector<Encoding> encodings = {
        {ffmpeg + "-qscale:v 4 -dc 8" + output, 0, 0, false},
        {ffmpeg + "-qscale:v 3 -intra_vlc 1 -dc 9 -ps 300" + output, 1, 1, false},
        {ffmpeg + "-b:v 2M -lumi_mask 0.5 -dark_mask 0.5 -border_mask 0.5 -dc 10" + output, 0, 2, true},
        {ffmpeg + "-qscale:v 5 -dc 11 -flags +ildct+ilme -top 1 -alternate_scan 1 -non_linear_quant 1 -qmax 28" +
             output,
         0, 3, false},
    };
    const bool haveMpeg2enc = HaveProgram("mpeg2enc");
    if (haveMpeg2enc) {
        encodings.push_back({"ffmpeg -nostdin -loglevel error " + source +
                                 " -f yuv4mpegpipe - | mpeg2enc -v 0 -f 3 "
                                 "-b 8000 -q 4 -D 9 -g 1 -G 1 -o " +
                                 path,
                             1, 1, false});
    }
    Histogram histogram;
    for (const Encoding& encoding : encodings) {
        SCOPED_TRACE(encoding.command);
        int status = 0;
        EXPECT_EQ(RunQuietly(encoding.command, &status), "");
        ASSERT_EQ(status, 0);
        const std::vector<uint8_t> bytes = ReadAll(path);
        const ParsedStream parsed = ParseIntraStream(bytes.data(), bytes.size());
        ASSERT_EQ(parsed.pictures.size(), 2u);
        const std::vector<Planes420> decoded = DecodeWithFfmpeg(path, 720, 96);
        ASSERT_EQ(decoded.size(), 2u);
        const bool fromFfmpeg = encoding.command.rfind(ffmpeg, 0) == 0;
        for (size_t f = 0; f < 2; ++f) {
            const StreamPicture& picture = parsed.pictures[f];
            EXPECT_EQ(picture.intraVlcFormat, encoding.intraVlcFormat);
            EXPECT_EQ(picture.intraDcPrecision, encoding.intraDcPrecision);
            if (fromFfmpeg) {
                EXPECT_TRUE(std::equal(wanted.begin(), wanted.end(), picture.intraMatrix.begin()));
            }
            const auto [low, high] = std::minmax_element(picture.scaleCodes.begin(), picture.scaleCodes.end());
            EXPECT_EQ(*low != *high, encoding.ownScaleCodes);
            AddDifferences(decoded[f], RebuildParsed(parsed, picture), histogram);
        }
    }
    std::remove(path.c_str());
    ExpectWithinTransformRounding("ffmpeg on other encoders' streams", histogram);
}

}  // namespace
}  // namespace vardelk

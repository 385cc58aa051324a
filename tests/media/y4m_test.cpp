#include "media/y4m.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace vardelk {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// An in-memory stream holding `bytes`, positioned at the start.
File StreamOf(const std::string& bytes) {
    File file(std::tmpfile());
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

std::string ErrorOf(const std::string& bytes) {
    File file = StreamOf(bytes);
    try {
        Y4mReader reader(file.get(), "clip.y4m");
        Y4mFrame frame;
        while (reader.ReadFrame(frame)) {
        }
    } catch (const MediaError& e) {
        return e.what();
    }
    return "";
}

TEST(Y4mHeader, ReadsEveryFieldAndChromaTag) {
    const Y4mFormat f = ParseY4mHeader("YUV4MPEG2 W720 H486 F30000:1001 It A10:11 C420mpeg2 XYSCSS=420MPEG2", "h");
    EXPECT_EQ(f.width, 720);
    EXPECT_EQ(f.height, 486);
    EXPECT_EQ(f.rateNum, 30000);
    EXPECT_EQ(f.rateDen, 1001);
    EXPECT_EQ(f.interlace, 't');
    EXPECT_EQ(f.aspectNum, 10);
    EXPECT_EQ(f.chroma, ChromaFormat::k420);
    EXPECT_EQ(f.chromaTag, "420mpeg2");
    const struct {
        const char* tag;
        ChromaFormat chroma;
    } cases[] = {{"420jpeg", ChromaFormat::k420}, {"420paldv", ChromaFormat::k420}, {"420", ChromaFormat::k420},
                 {"422", ChromaFormat::k422},     {"444", ChromaFormat::k444},      {"mono", ChromaFormat::kMono}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseY4mHeader(std::string("YUV4MPEG2 W2 H2 C") + c.tag, "h").chroma, c.chroma) << c.tag;
    }
    // Without C and F the usual defaults apply.
    const Y4mFormat plain = ParseY4mHeader("YUV4MPEG2 W3 H5", "h");
    EXPECT_EQ(plain.chroma, ChromaFormat::k420);
    EXPECT_EQ(plain.rateNum, 25);
}

TEST(Y4mHeader, RejectsMalformedAndUnsupportedHeadersNamingTheField) {
    const struct {
        const char* header;
        const char* expected;
    } cases[] = {
        {"YUV4MPEG W2 H2", "not a YUV4MPEG2 stream"},
        {"YUV4MPEG2X W2 H2", "not a YUV4MPEG2 stream"},
        {"YUV4MPEG2 H2", "lacks the picture size"},
        {"YUV4MPEG2 W0 H2", "'W0'"},
        {"YUV4MPEG2 W-4 H2", "'W-4'"},
        {"YUV4MPEG2 W99999 H2", "'W99999'"},
        {"YUV4MPEG2 W2 H2 F25", "'F25'"},
        {"YUV4MPEG2 W2 H2 F0:1", "'F0:1'"},
        {"YUV4MPEG2 W2 H2 Ix", "'Ix'"},
        {"YUV4MPEG2 W2 H2 A1:0", "'A1:0'"},
        {"YUV4MPEG2 W2 H2 C411", "unsupported colour space 'C411'"},
        {"YUV4MPEG2 W2 H2 C420p10", "unsupported colour space 'C420p10'"},
        {"YUV4MPEG2 W2 H2 Cmono16", "unsupported colour space 'Cmono16'"},
        {"YUV4MPEG2 W2 H2 C444alpha", "unsupported colour space 'C444alpha'"},
        {"YUV4MPEG2 W2 H2 Q7", "unknown header field 'Q7'"},
    };
    for (const auto& c : cases) {
        try {
            ParseY4mHeader(c.header, "in.y4m");
            ADD_FAILURE() << "accepted: " << c.header;
        } catch (const MediaError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("in.y4m: "), std::string::npos) << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        }
    }
}

TEST(Y4mStream, WritesAndReadsBackFramesOfEveryLayout) {
    for (const char* tag : {"420jpeg", "422", "444", "mono"}) {
        Y4mFormat format = ParseY4mHeader(std::string("YUV4MPEG2 W5 H3 F24:1 Ip A1:1 C") + tag, "h");
        Y4mFrame frame;
        frame.Allocate(format);
        for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = uint8_t(i * 7);
        for (size_t i = 0; i < frame.cb.size(); ++i) frame.cb[i] = uint8_t(200 - i), frame.cr[i] = uint8_t(i);
        File file(std::tmpfile());
        {
            Y4mWriter writer(file.get(), format, "out");
            writer.WriteFrame(frame);
            writer.WriteFrame(frame);
        }
        std::rewind(file.get());
        Y4mReader reader(file.get(), "in");
        EXPECT_EQ(FormatY4mHeader(reader.Format()), FormatY4mHeader(format));
        Y4mFrame back;
        ASSERT_TRUE(reader.ReadFrame(back)) << tag;
        ASSERT_TRUE(reader.ReadFrame(back)) << tag;
        EXPECT_FALSE(reader.ReadFrame(back)) << tag;
        EXPECT_EQ(back.y, frame.y);
        EXPECT_EQ(back.cb, frame.cb);
        EXPECT_EQ(back.cr, frame.cr);
        EXPECT_EQ(reader.FrameCount(), 2);
    }
}

TEST(Y4mStream, PlaneSizesRoundOddDimensionsUp) {
    const Y4mFormat f = ParseY4mHeader("YUV4MPEG2 W5 H3 C420jpeg", "h");
    EXPECT_EQ(ChromaWidth(f), 3);
    EXPECT_EQ(ChromaHeight(f), 2);
    EXPECT_EQ(FrameSampleBytes(f), 15u + 2u * 6u);
}

TEST(Y4mStream, RejectsTruncatedAndMalformedStreams) {
    const std::string header = "YUV4MPEG2 W4 H2 C444\n";
    const std::string frame(24, 'x');
    EXPECT_NE(ErrorOf("").find("empty input"), std::string::npos);
    EXPECT_NE(ErrorOf("YUV4MPEG2 W4 H2").find("header is truncated"), std::string::npos);
    EXPECT_NE(ErrorOf(std::string(5000, 'Y')).find("longer than"), std::string::npos);
    EXPECT_NE(ErrorOf(header + "FRAME\n" + frame.substr(0, 23)).find("frame 0 is truncated (23 of 24 bytes)"),
              std::string::npos);
    EXPECT_NE(ErrorOf(header + "FRAME\n" + frame + "FRA").find("frame 1 is truncated"), std::string::npos);
    EXPECT_NE(ErrorOf(header + "FRAMES\n" + frame).find("frame 0 does not start with a FRAME marker"),
              std::string::npos);
    EXPECT_NE(ErrorOf(header + frame).find("does not start with a FRAME marker"), std::string::npos);
    // Frame parameters after the marker are allowed.
    EXPECT_EQ(ErrorOf(header + "FRAME Ixyz\n" + frame), "");
}

}  // namespace
}  // namespace vardelk

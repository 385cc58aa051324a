// The stream file a clip is written to: the file's size is the sum of its rows,
// and a refused or unfinished output leaves no file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "stream/stream_error.h"
#include "stream/stream_output.h"
#include "testing/coded_streams.h"

namespace vardelk {
namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

TEST(StreamOutput, FileHoldsExactlyTheReportedBytes) {
    const std::string path = ::testing::TempDir() + "stream_output_test.m2v";
    Y4mFormat format;
    format.width = 40;
    format.height = 24;
    CodingSettings settings;
    settings.scaleCode = 5;
    int64_t reported = 0;
    {
        StreamOutput output(path, format, settings, kDefaultIntraMatrix);
        FrameCoder coder;
        std::vector<Pixel> input(40 * 24), reconstruction(input.size());
        for (uint32_t f = 0; f < 3; ++f) {
            Y4mToYc(format, testing::MakeTestFrame(format, f), input.data(), 40);
            FrameOutputs outputs;
            outputs.sink = output.Sink();
            const int32_t estimate = coder.CodeFrame(settings, kDefaultIntraMatrix, input.data(), reconstruction.data(),
                                                     FrameGeometry{40, 24, 40, 24}, outputs);
            const FrameAccounting row = output.WriteFrame(estimate);
            const std::vector<int64_t> values = StreamStatsValues(row);
            ASSERT_EQ(values.size(), StreamStatsColumns().size());
            EXPECT_EQ(values[1], row.streamBytes - estimate);
            reported += row.streamBytes;
            EXPECT_FALSE(Exists(path));  // not before it is complete
        }
        reported += output.Finish().streamBytes;
        EXPECT_EQ(output.BytesWritten(), reported);
    }
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, reported);
    std::remove(path.c_str());

    // An unfinished output is discarded; a matrix the stream cannot carry is
    // refused before the file exists, with the entry named.
    { StreamOutput unfinished(path, format, settings, kDefaultIntraMatrix); }
    EXPECT_FALSE(Exists(path));
    int32_t matrix[kMatrixEntries];
    std::copy(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries, matrix);
    matrix[9] = 300;
    try {
        StreamOutput refused(path, format, settings, matrix);
        FAIL() << "a matrix entry of 300 was accepted";
    } catch (const StreamError& error) {
        EXPECT_NE(std::string(error.what()).find("300 at row 2, column 2"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(IsStreamPath("a/b.M2V"));
    EXPECT_FALSE(IsStreamPath("m2v.y4m"));
}

}  // namespace
}  // namespace vardelk

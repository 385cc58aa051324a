// Matrices as the user names them, and the names frames are read from and
// written to: what is refused, and with which words.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "clip/clip_error.h"
#include "clip/clip_source.h"
#include "clip/named_matrix.h"
#include "clip/reconstruction_sink.h"

namespace vardelk {
namespace {

std::string MatrixErrorOf(const std::string& source) {
    try {
        LoadNamedMatrix(source);
    } catch (const MatrixFileError& e) {
        return e.what();
    }
    return "";
}

TEST(NamedMatrix, PresetsFilesAndWhatIsNoFile) {
    EXPECT_EQ(LoadNamedMatrix("default")[0], kDefaultIntraMatrix[0]);
    EXPECT_EQ(LoadNamedMatrix("default")[63], kDefaultIntraMatrix[63]);
    EXPECT_EQ(LoadNamedMatrix("flat16")[17], 16);
    EXPECT_EQ(
        MatrixErrorOf("/nonexistent/steep.txt"),
        "matrix file /nonexistent/steep.txt: cannot be opened (the named matrices are default, flat16, notch, mvcd, hires, fox-new, fox-home, fox1, sixofnine, manono1, manono2, manono3, hvs-best, avamat7)");
    // A folder, a FIFO or a device would be misread, block or never end.
    EXPECT_EQ(MatrixErrorOf("/tmp"), "matrix file /tmp: is not a regular file");
    EXPECT_EQ(MatrixErrorOf("plain:/dev/zero"), "matrix file /dev/zero: is not a regular file");
    const std::string fifo = ::testing::TempDir() + "clip_files_test.fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(MatrixErrorOf(fifo), "matrix file " + fifo + ": is not a regular file");
    ::unlink(fifo.c_str());
}

TEST(FrameFiles, PictureNamesTakeOneFrameNumberField) {
    bool field = false;
    EXPECT_EQ(FramePath("out_%04d.png", 7, &field), "out_0007.png");
    EXPECT_TRUE(field);
    EXPECT_EQ(FramePath("f%d.png", 12, &field), "f12.png");
    EXPECT_EQ(FramePath("still.png", 3, &field), "still.png");
    EXPECT_FALSE(field);
    for (const char* bad : {"a%s.png", "a%d_%d.png", "a%4d.png", "a%.png"})
        EXPECT_THROW(FramePath(bad, 0, &field), ValueError) << bad;
    // The message starts with the name, for the face to put its option in front.
    try {
        FramePath("in_%s.png", 0, &field);
        ADD_FAILURE();
    } catch (const ValueError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("in_%s.png: a picture name may hold one", 0), 0u) << e.what();
    }
}

TEST(FrameFiles, TheBuiltInSceneTakesASizeWithinLimits) {
    EXPECT_EQ(OpenClipSource("builtin:demo:64x48", 2)->Format().width, 64);
    EXPECT_EQ(OpenClipSource("builtin:demo:64x48", 2)->ExpectedFrames(), 2);
    for (const char* bad : {"builtin:demo:0x9", "builtin:demo:16385x8", "builtin:demo:8x", "builtin:demo64x48"})
        EXPECT_THROW(OpenClipSource(bad, 1), ValueError) << bad;
}

}  // namespace
}  // namespace vardelk

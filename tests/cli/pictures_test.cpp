#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "media/comparison_views.h"
#include "media/media_error.h"
#include "media/output_file.h"
#include "media/rgb_convert.h"
#include "pictures/picture_error.h"
#include "pictures/png_file.h"
#include "plot/side_by_side.h"

namespace vardelk {
namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string TempDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir ? dir : "/tmp";
}

TEST(RgbConvert, StudioRangeBt601Levels) {
    RgbImage image;
    image.Resize(3, 1);
    const uint8_t pixels[] = {255, 255, 255, 0, 0, 0, 255, 0, 0};
    image.rgb.assign(pixels, pixels + 9);
    Y4mFrame frame;
    RgbToFrame(image, frame);
    EXPECT_EQ(frame.y[0], 235);
    EXPECT_EQ(frame.cb[0], 128);
    EXPECT_EQ(frame.cr[0], 128);
    EXPECT_EQ(frame.y[1], 16);
    // Pure red: Y 81, Cb 90, Cr 240 in studio range.
    EXPECT_EQ(frame.y[2], 81);
    EXPECT_EQ(frame.cb[2], 90);
    EXPECT_EQ(frame.cr[2], 240);
}

// Studio range has fewer levels than 0..255, so a colour may come back off by
// 2; over every RGB colour 99.9% of samples come back within 1.
TEST(RgbConvert, RoundTripStaysWithinTwoStepsAndMostlyOne) {
    RgbImage image;
    image.Resize(64, 64);
    for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = uint8_t((i * 97) % 256);
    Y4mFrame frame;
    RgbToFrame(image, frame);
    RgbImage back;
    FrameToRgb(FormatForRgb(64, 64), frame, back);
    int worst = 0;
    size_t offByTwo = 0;
    for (size_t i = 0; i < image.rgb.size(); ++i) {
        const int off = std::abs(int(image.rgb[i]) - int(back.rgb[i]));
        worst = std::max(worst, off);
        offByTwo += off == 2 ? 1 : 0;
    }
    EXPECT_LE(worst, 2);
    EXPECT_LT(offByTwo * 100, image.rgb.size());
}

TEST(OutputFile, AppearsOnlyOnCommitAndFailsEarlyWhenUnwritable) {
    const std::string path = TempDir() + "/vardelk_output_test.txt";
    std::remove(path.c_str());
    {
        OutputFile file(path);
        std::fputs("partial", file.Stream());
        EXPECT_TRUE(Exists(file.WorkingPath()));
        EXPECT_FALSE(Exists(path));
    }  // dropped without Commit
    EXPECT_FALSE(Exists(path));
    std::string working;
    {
        OutputFile file(path);
        working = file.WorkingPath();
        std::fputs("done", file.Stream());
        file.Commit();
    }
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(Exists(working));
    // The mode of any new file: 0666 less the umask (read here, where no
    // other thread runs).
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    std::remove(path.c_str());
    EXPECT_THROW(OutputFile("/nonexistent-folder/x.txt"), MediaError);
}

TEST(Png, WritesAndReadsBackExactly) {
    RgbImage image;
    image.Resize(5, 3);
    for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = uint8_t(i * 17);
    const std::string path = TempDir() + "/vardelk_png_test.png";
    WritePng(path, image);
    const RgbImage back = ReadPng(path);
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.rgb, image.rgb);
    std::remove(path.c_str());
    EXPECT_THROW(ReadPng(TempDir() + "/vardelk_no_such.png"), PictureError);
}

TEST(SideBySide, FourPanelsAndAHeatScale) {
    EXPECT_EQ(HeatColour(0.0).r, 0);
    EXPECT_EQ(HeatColour(1.0).g, 255);
    EXPECT_EQ(HeatColour(7.0).b, 255);  // clamped
    Y4mFormat format = FormatForRgb(20, 10);
    Y4mFrame in, out;
    in.Allocate(format);
    out.Allocate(format);
    std::fill(in.y.begin(), in.y.end(), uint8_t(100));
    std::fill(out.y.begin(), out.y.end(), uint8_t(101));
    std::vector<int32_t> bits = {5, 10};
    ComparisonInput c{&format, &in, &out, &bits, 2, 0, 2, 8};
    const Canvas canvas = DrawComparison(c);
    EXPECT_EQ(canvas.Image().width, 3 * 8 + 2 * 20);
    // The difference panel (bottom left) shows +1 luma step amplified 8 times above mid-grey.
    const int32_t titleHeight = 7 + 8;
    const uint8_t* diff = canvas.Image().At(8 + 5, 8 + titleHeight + 10 + 8 + titleHeight + 5);
    EXPECT_GT(diff[1], 128 + 4);
}

}  // namespace
}  // namespace vardelk

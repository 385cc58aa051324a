// PNG files written and read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pictures/picture_error.h"
#include "pictures/png_file.h"

namespace vardelk {
namespace {

std::string TempDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir ? dir : "/tmp";
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

}  // namespace
}  // namespace vardelk

// Test pictures for the script tests and the fuzz corpus:
//   make_test_jpeg photo|baseline|progressive|grey|cmyk|oriented WIDTH HEIGHT OUT.jpg
//   make_test_jpeg topng IN OUT.png    (IN read as the command line reads it)
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "pictures/picture_file.h"
#include "pictures/png_file.h"
#include "tests/pictures/jpeg_fixtures.h"

int main(int argc, char** argv) {
    using namespace vardelk;
    try {
        const std::string kind = argc > 1 ? argv[1] : "";
        if (kind == "topng" && argc == 4) {
            WritePng(argv[3], ReadPicture(argv[2]));
            return 0;
        }
        if (argc != 5) {
            std::fprintf(stderr,
                         "usage: make_test_jpeg photo|baseline|progressive|grey|cmyk|oriented W H OUT\n"
                         "       make_test_jpeg topng IN OUT.png\n");
            return 2;
        }
        testing::JpegFixture fixture;
        if (kind == "photo")
            fixture.quality = 85;
        else if (kind == "progressive")
            fixture.progressive = true;
        else if (kind == "grey")
            fixture.grey = true;
        else if (kind == "cmyk")
            fixture.cmyk = true;
        else if (kind == "oriented")
            fixture.exifOrientation = 6;
        else if (kind != "baseline")
            throw std::runtime_error("unknown kind " + kind);
        const RgbImage image = testing::PhotoLike(std::atoi(argv[2]), std::atoi(argv[3]));
        testing::WriteBytes(argv[4], testing::EncodeJpeg(image, fixture));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_test_jpeg: %s\n", error.what());
        return 1;
    }
}

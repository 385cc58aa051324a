// Writes a short Y4M clip of the built-in scene for the script tests:
//   make_test_clip OUT.y4m WIDTH HEIGHT FRAMES CHROMA [INTERLACE]
// CHROMA is a Y4M colour-space tag such as 420jpeg, 422, 444 or mono.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "media/demo_picture.h"
#include "media/rgb_convert.h"
#include "media/y4m.h"
#include "media/yc_convert.h"

namespace {

// Brings a 4:4:4 frame to the target layout through the same YC round trip
// the command uses, so subsampled chroma is averaged.
void ToLayout(const vardelk::Y4mFormat& full, const vardelk::Y4mFrame& in, const vardelk::Y4mFormat& target,
              vardelk::Y4mFrame& out) {
    std::vector<vardelk::Pixel> pixels(size_t(full.width) * size_t(full.height));
    vardelk::Y4mToYc(full, in, pixels.data(), full.width);
    vardelk::YcToY4m(target, pixels.data(), full.width, out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: make_test_clip OUT.y4m WIDTH HEIGHT FRAMES CHROMA [INTERLACE]\n");
        return 2;
    }
    try {
        const std::string header = std::string("YUV4MPEG2 W") + argv[2] + " H" + argv[3] + " F25:1 I" +
                                   (argc > 6 ? argv[6] : "p") + " A1:1 C" + argv[5];
        const vardelk::Y4mFormat target = vardelk::ParseY4mHeader(header, "make_test_clip");
        const vardelk::Y4mFormat full = vardelk::FormatForRgb(target.width, target.height);
        std::FILE* file = std::fopen(argv[1], "wb");
        if (file == nullptr) throw std::runtime_error(std::string(argv[1]) + ": cannot be written");
        vardelk::Y4mWriter writer(file, target, argv[1]);
        vardelk::RgbImage image;
        image.Resize(target.width, target.height);
        vardelk::Y4mFrame rgbFrame, frame;
        for (int i = 0; i < std::atoi(argv[4]); ++i) {
            vardelk::DrawDemoScene(image, i);
            vardelk::RgbToFrame(image, rgbFrame);
            ToLayout(full, rgbFrame, target, frame);
            writer.WriteFrame(frame);
        }
        return std::fclose(file) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_test_clip: %s\n", e.what());
        return 1;
    }
}

// Arbitrary bytes as a PNG still given to the command line: the reader
// yields an RGB picture of the stated size or raises PictureError, and the
// picture goes through the conversion to the codec's input and back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "media/rgb_convert.h"
#include "media/y4m.h"
#include "pictures/picture_error.h"
#include "pictures/png_file.h"

namespace {

// The reader takes a path, so each input goes through one scratch file,
// removed when the process ends.
struct ScratchFile {
    std::string path = "/tmp/vardelk_fuzz_png_" + std::to_string(getpid()) + ".png";
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& ScratchPath() {
    static const ScratchFile file;
    return file.path;
}

uint32_t BigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pictures the header declares as huge (up to 16384 a side is accepted)
    // are sized before the damage in them shows, which takes most of a
    // second per input; the size check itself is kept for small ones.
    if (size >= 24 && uint64_t{BigEndian(data + 16)} * BigEndian(data + 20) > (1u << 20) &&
        BigEndian(data + 16) <= 16384 && BigEndian(data + 20) <= 16384) {
        return 0;
    }
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
    try {
        const vardelk::RgbImage image = vardelk::ReadPng(ScratchPath());
        FUZZ_CHECK(image.width >= 1 && image.height >= 1);
        FUZZ_CHECK(image.rgb.size() == size_t(image.width) * size_t(image.height) * 3);
        vardelk::Y4mFrame frame;
        vardelk::RgbToFrame(image, frame);
        const vardelk::Y4mFormat format = vardelk::FormatForRgb(image.width, image.height);
        FUZZ_CHECK(frame.y.size() == size_t(image.width) * size_t(image.height));
        vardelk::RgbImage back;
        vardelk::FrameToRgb(format, frame, back);
        FUZZ_CHECK(back.width == image.width && back.height == image.height);
    } catch (const vardelk::PictureError& error) {
        FUZZ_CHECK(std::strncmp(error.what(), ScratchPath().c_str(), ScratchPath().size()) == 0);
    }
    return 0;
}

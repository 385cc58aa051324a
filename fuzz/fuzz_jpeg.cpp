// Arbitrary bytes as a JPEG picture given to the command line: the reader
// yields an RGB picture of the stated size or raises PictureError naming
// the file, and the picture goes through the conversion to the codec's
// input and back. The same bytes go to the Exif orientation reader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "media/rgb_convert.h"
#include "media/y4m.h"
#include "pictures/jpeg_file.h"
#include "pictures/picture_error.h"

namespace {

// The reader takes a path, so each input goes through one scratch file,
// removed when the process ends.
struct ScratchFile {
    std::string path = "/tmp/vardelk_fuzz_jpeg_" + std::to_string(getpid()) + ".jpg";
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& ScratchPath() {
    static const ScratchFile file;
    return file.path;
}

// Pictures up to 16384 a side are accepted; the size check is the same for
// any limit, and a small one keeps each input quick.
constexpr int32_t kFuzzMaxSide = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int orientation = vardelk::ExifOrientation(data, size);
    FUZZ_CHECK(orientation >= 1 && orientation <= 8);

    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
    try {
        const vardelk::RgbImage image = vardelk::ReadJpeg(ScratchPath(), kFuzzMaxSide);
        FUZZ_CHECK(image.width >= 1 && image.height >= 1);
        FUZZ_CHECK(image.width <= kFuzzMaxSide && image.height <= kFuzzMaxSide);
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

#include "png_io.h"

#include <png.h>

#include <cstring>

#include "cli_error.h"
#include "output_file.h"

namespace vardelk {
namespace {

// The largest picture accepted, in pixels per side, as for Y4M input.
constexpr png_uint_32 kMaxSide = 16384;

}  // namespace

RgbImage ReadPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        throw CliError(path + ": cannot read PNG (" + image.message + ")");
    }
    if (image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        throw CliError(path + ": picture of " + std::to_string(image.width) + "x" +
                       std::to_string(image.height) + " exceeds " + std::to_string(kMaxSide) + " per side");
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage result;
    result.Resize(int32_t(image.width), int32_t(image.height));
    const png_color black = {0, 0, 0};
    if (!png_image_finish_read(&image, &black, result.rgb.data(), 0, nullptr)) {
        throw CliError(path + ": damaged PNG (" + image.message + ")");
    }
    return result;
}

void WritePng(const std::string& path, const RgbImage& source) {
    OutputFile file(path);
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(source.width);
    image.height = png_uint_32(source.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, file.Stream(), 0, source.rgb.data(), 0, nullptr)) {
        throw CliError(path + ": cannot write PNG (" + image.message + ")");
    }
    file.Commit();
}

}  // namespace vardelk

#include "tests/pictures/jpeg_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>

#include <jpeglib.h>

namespace vardelk::testing {

RgbImage PhotoLike(int32_t width, int32_t height) {
    RgbImage image;
    image.Resize(width, height);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            const double wave = std::sin(x / 9.0) * std::cos(y / 13.0);
            const bool inDisc =
                (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) < height * height / 9;
            int r = 128 + int(100 * wave) + grain, g = x * 255 / width, b = y * 255 / height + grain;
            if (inDisc) r = 250, g = 30, b = 20;
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(std::clamp(r, 0, 255));
            p[1] = uint8_t(std::clamp(g, 0, 255));
            p[2] = uint8_t(std::clamp(b, 0, 255));
        }
    }
    return image;
}

namespace {

std::vector<uint8_t> ExifBlock(int orientation, bool bigEndian) {
    const auto put16 = [&](std::vector<uint8_t>& out, uint32_t v) {
        if (bigEndian)
            out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)});
        else
            out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
    };
    const auto put32 = [&](std::vector<uint8_t>& out, uint32_t v) {
        if (bigEndian) {
            put16(out, v >> 16);
            put16(out, v & 0xffff);
        } else {
            put16(out, v & 0xffff);
            put16(out, v >> 16);
        }
    };
    std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
    block.insert(block.end(),
                 bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
    put16(block, 42);
    put32(block, 8);  // the first directory follows the header
    put16(block, 2);  // two entries: a resolution unit before the orientation
    put16(block, 0x0128), put16(block, 3), put32(block, 1), put16(block, 2), put16(block, 0);
    put16(block, 0x0112), put16(block, 3), put32(block, 1), put16(block, uint32_t(orientation)), put16(block, 0);
    put32(block, 0);  // no further directory
    return block;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const RgbImage& image, const JpegFixture& fixture) {
    jpeg_compress_struct c;
    jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);  // a failure here ends the test program with libjpeg's message
    jpeg_create_compress(&c);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &memory, &size);
    c.image_width = JDIMENSION(image.width);
    c.image_height = JDIMENSION(image.height);
    c.input_components = fixture.grey ? 1 : fixture.cmyk ? 4 : 3;
    c.in_color_space = fixture.grey ? JCS_GRAYSCALE : fixture.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, fixture.quality, TRUE);
    if (fixture.fullChroma) {
        for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    }
    if (fixture.progressive) jpeg_simple_progression(&c);
    std::vector<jpeg_scan_info> scans;
    if (fixture.bitPerScan) {
        for (int k = 0; k < 64; ++k) {
            for (int bit = 10; bit >= 0; --bit) scans.push_back({1, {0, 0, 0, 0}, k, k, bit == 10 ? 0 : bit + 1, bit});
        }
        c.scan_info = scans.data();
        c.num_scans = int(scans.size());
    }
    jpeg_start_compress(&c, TRUE);
    if (fixture.exifOrientation != 0) {
        const std::vector<uint8_t> exif = ExifBlock(fixture.exifOrientation, fixture.exifBigEndian);
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    }
    std::vector<uint8_t> row(size_t(image.width) * 4);
    while (c.next_scanline < c.image_height) {
        const uint8_t* rgb = image.At(0, int32_t(c.next_scanline));
        for (int32_t x = 0; x < image.width; ++x, rgb += 3) {
            if (fixture.grey) {
                row[size_t(x)] = uint8_t((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
            } else if (fixture.cmyk) {
                for (int k = 0; k < 3; ++k) row[size_t(x) * 4 + size_t(k)] = uint8_t(255 - rgb[k]);
                row[size_t(x) * 4 + 3] = 0;
            } else {
                for (int k = 0; k < 3; ++k) row[size_t(x) * 3 + size_t(k)] = rgb[k];
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(memory, memory + size);
    jpeg_destroy_compress(&c);
    std::free(memory);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error(path + ": cannot be created");
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error(path + ": cannot be written");
}

}  // namespace vardelk::testing

#include "pictures/png_file.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/output_file.h"
#include "parallel/parallel_for.h"
#include "pictures/picture_error.h"

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
        throw PictureError(path + ": cannot read PNG (" + image.message + ")");
    }
    if (image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        throw PictureError(path + ": picture of " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                           " exceeds " + std::to_string(kMaxSide) + " per side");
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage result;
    result.Resize(int32_t(image.width), int32_t(image.height));
    const png_color black = {0, 0, 0};
    if (!png_image_finish_read(&image, &black, result.rgb.data(), 0, nullptr)) {
        throw PictureError(path + ": damaged PNG (" + image.message + ")");
    }
    return result;
}

namespace {

// Pictures are written by our own small encoder rather than libpng's, so
// that the costly part, compression, runs on every thread: the filtered rows
// are cut into bands of kBandRows, each band is deflated on its own (no
// match reaches back into an earlier band), and the bands' outputs, ended
// with a sync flush so that each stops on a byte boundary, are joined into
// the one zlib stream a PNG holds. The bands depend only on the picture, so
// the file is the same whatever the number of threads. Pictures of a run
// are looked at, not archived: the "up" filter and run-length matching at
// zlib's fastest level keep a large comparison quick to write.
constexpr int32_t kBandRows = 64;
constexpr size_t kIdatChunkBytes = size_t(1) << 20;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void AppendChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    PutBigEndian(out, uint32_t(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    PutBigEndian(out, uint32_t(crc32(0, out.data() + typeAt, uInt(size + 4))));
}

struct Band {
    std::vector<uint8_t> deflated;
    uLong adler = 1;
    size_t filteredBytes = 0;
};

// Rows first..end, each as filter type 2 ("up": the difference from the row
// above, which for the top row is zero), deflated without a zlib wrapper.
Band DeflateBand(const RgbImage& image, int32_t first, int32_t end, bool last) {
    const size_t rowBytes = size_t(image.width) * 3;
    std::vector<uint8_t> filtered;
    filtered.reserve(size_t(end - first) * (rowBytes + 1));
    for (int32_t y = first; y < end; ++y) {
        const uint8_t* row = image.rgb.data() + size_t(y) * rowBytes;
        filtered.push_back(2);
        if (y == 0) {
            filtered.insert(filtered.end(), row, row + rowBytes);
            continue;
        }
        const uint8_t* above = row - rowBytes;
        for (size_t i = 0; i < rowBytes; ++i) filtered.push_back(uint8_t(row[i] - above[i]));
    }
    Band band;
    band.filteredBytes = filtered.size();
    band.adler = adler32(1, filtered.data(), uInt(filtered.size()));
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        throw PictureError("out of memory compressing a picture");
    band.deflated.resize(deflateBound(&z, uLong(filtered.size())) + 16);
    z.next_in = filtered.data();
    z.avail_in = uInt(filtered.size());
    z.next_out = band.deflated.data();
    z.avail_out = uInt(band.deflated.size());
    const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool complete = last ? status == Z_STREAM_END : (status == Z_OK && z.avail_in == 0);
    band.deflated.resize(band.deflated.size() - z.avail_out);
    deflateEnd(&z);
    if (!complete) throw PictureError("compressing a picture failed");
    return band;
}

std::vector<uint8_t> EncodePng(const RgbImage& image, int32_t threads) {
    const int32_t bands = std::max<int32_t>(1, (image.height + kBandRows - 1) / kBandRows);
    std::vector<Band> parts(static_cast<size_t>(bands));
    ParallelFor(threads, bands, [&](int64_t b) {
        const int32_t first = int32_t(b) * kBandRows;
        parts[size_t(b)] = DeflateBand(image, first, std::min(image.height, first + kBandRows), b == bands - 1);
    });
    std::vector<uint8_t> stream = {0x78, 0x01};  // deflate, 32 KiB window, fastest level
    uLong adler = 1;
    for (const Band& part : parts) {
        stream.insert(stream.end(), part.deflated.begin(), part.deflated.end());
        adler = adler32_combine(adler, part.adler, z_off_t(part.filteredBytes));
    }
    PutBigEndian(stream, uint32_t(adler));

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, uint32_t(image.width));
    PutBigEndian(header, uint32_t(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    AppendChunk(file, "IHDR", header.data(), header.size());
    for (size_t at = 0; at < stream.size(); at += kIdatChunkBytes)
        AppendChunk(file, "IDAT", stream.data() + at, std::min(kIdatChunkBytes, stream.size() - at));
    AppendChunk(file, "IEND", nullptr, 0);
    return file;
}

}  // namespace

void WritePng(const std::string& path, const RgbImage& image, int32_t threads) {
    if (image.width <= 0 || image.height <= 0) throw PictureError(path + ": cannot write an empty picture");
    const std::vector<uint8_t> bytes = EncodePng(image, threads);
    OutputFile file(path);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size()) {
        throw PictureError(path + ": write failed");
    }
    file.Commit();
}

}  // namespace vardelk

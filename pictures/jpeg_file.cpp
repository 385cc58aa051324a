#include "pictures/jpeg_file.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared before it, and jerror.h the
// configuration jpeglib.h brings.
#include <jpeglib.h>
// (kept apart so that the order stays)
#include <jerror.h>

#include "pictures/picture_error.h"

namespace vardelk {
namespace {

// libjpeg reports a fatal error by calling error_exit, which must not
// return; ours jumps back to the setjmp of the call that entered the
// library. Only the small functions below call setjmp, and between their
// setjmp and any jump only libjpeg's C frames run: no C++ object is ever
// skipped by a longjmp.
struct Failure {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to this
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool damaged;  // the coded data broke off or is corrupt (a warning libjpeg would carry on after)
};

// Everything one decode keeps, all plain C data.
struct Decode {
    jpeg_decompress_struct info;
    Failure failure;
    jpeg_progress_mgr progress;
};

[[noreturn]] void JumpBack(Failure* failure) { std::longjmp(failure->jump, 1); }

[[noreturn]] void OnError(j_common_ptr info) {
    auto* failure = reinterpret_cast<Failure*>(info->err);
    (*info->err->format_message)(info, failure->message);
    JumpBack(failure);
}

// Warnings that mean part of the picture is missing or wrong; the others
// (extra bytes between segments, an unknown JFIF revision or Adobe
// transform code, a bad colour profile marker) leave the pixels whole.
bool IsDamage(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_BOGUS_PROGRESSION:
            return true;
        default:
            return false;
    }
}

void OnMessage(j_common_ptr info, int level) {
    if (level >= 0 || !IsDamage(info->err->msg_code)) return;  // trace output, or a harmless warning
    auto* failure = reinterpret_cast<Failure*>(info->err);
    (*info->err->format_message)(info, failure->message);
    failure->damaged = true;
    JumpBack(failure);
}

void OnProgress(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number <= kMaxJpegScans) return;
    auto* failure = reinterpret_cast<Failure*>(info->err);
    std::snprintf(failure->message, sizeof(failure->message), "more than %d scans", kMaxJpegScans);
    JumpBack(failure);
}

// The library's entry points that may fail, each behind its own setjmp.
// They return false when libjpeg gave up; the message is in d.failure.
bool ReadHeader(Decode& d, std::FILE* file) {
    if (setjmp(d.failure.jump)) return false;
    jpeg_create_decompress(&d.info);
    jpeg_stdio_src(&d.info, file);
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xffff);
    jpeg_read_header(&d.info, TRUE);
    return true;
}

// For a progressive or multi-scan file this reads all of the coded data,
// so a file cut short fails here, before the picture's memory is taken.
bool StartDecoding(Decode& d) {
    if (setjmp(d.failure.jump)) return false;
    d.info.out_color_space = JCS_RGB;
    d.info.dct_method = JDCT_ISLOW;
    d.info.do_fancy_upsampling = TRUE;
    d.info.progress = &d.progress;
    jpeg_start_decompress(&d.info);
    return true;
}

bool ReadRows(Decode& d, uint8_t* rgb, size_t rowBytes) {
    if (setjmp(d.failure.jump)) return false;
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = rgb + size_t(d.info.output_scanline) * rowBytes;
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

struct DecodeDeleter {
    void operator()(Decode* d) const {
        jpeg_destroy_decompress(&d->info);  // safe on a partly made or failed decoder
        delete d;
    }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

uint32_t Read16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? uint32_t(p[0]) << 8 | p[1] : uint32_t(p[1]) << 8 | p[0];
}

uint32_t Read32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? Read16(p, true) << 16 | Read16(p + 2, true) : Read16(p + 2, false) << 16 | Read16(p, false);
}

}  // namespace

int ExifOrientation(const uint8_t* data, size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, the offset of the
    // first directory; each directory entry is 12 bytes: tag, type, count
    // and the value itself when it fits in 4 bytes.
    constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    constexpr uint32_t kOrientationTag = 0x0112, kShortType = 3;
    if (size < sizeof(kExif) + 8 || std::memcmp(data, kExif, sizeof(kExif)) != 0) return 1;
    const uint8_t* tiff = data + sizeof(kExif);
    const size_t tiffSize = size - sizeof(kExif);
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else
        return 1;
    if (Read16(tiff + 2, bigEndian) != 42) return 1;
    const uint32_t directory = Read32(tiff + 4, bigEndian);
    if (directory > tiffSize || tiffSize - directory < 2) return 1;
    const uint32_t entries = Read16(tiff + directory, bigEndian);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = size_t(directory) + 2 + size_t(i) * 12;
        if (at + 12 > tiffSize) return 1;
        const uint8_t* entry = tiff + at;
        if (Read16(entry, bigEndian) != kOrientationTag) continue;
        if (Read16(entry + 2, bigEndian) != kShortType || Read32(entry + 4, bigEndian) != 1) return 1;
        const uint32_t value = Read16(entry + 8, bigEndian);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

RgbImage Orient(const RgbImage& stored, int orientation) {
    if (orientation < 2 || orientation > 8) return stored;
    const int32_t w = stored.width, h = stored.height;
    const bool swaps = orientation >= 5;  // 5..8 turn by a quarter, exchanging width and height
    RgbImage shown;
    shown.Resize(swaps ? h : w, swaps ? w : h);
    for (int32_t y = 0; y < shown.height; ++y) {
        for (int32_t x = 0; x < shown.width; ++x) {
            // The stored pixel shown at (x, y).
            int32_t sx = x, sy = y;
            switch (orientation) {
                case 2:  // mirrored left to right
                    sx = w - 1 - x;
                    break;
                case 3:  // upside down
                    sx = w - 1 - x, sy = h - 1 - y;
                    break;
                case 4:  // mirrored top to bottom
                    sy = h - 1 - y;
                    break;
                case 5:  // mirrored about the main diagonal
                    sx = y, sy = x;
                    break;
                case 6:  // to be turned clockwise
                    sx = y, sy = h - 1 - x;
                    break;
                case 7:  // mirrored about the other diagonal
                    sx = w - 1 - y, sy = h - 1 - x;
                    break;
                case 8:  // to be turned anticlockwise
                    sx = w - 1 - y, sy = x;
                    break;
            }
            std::memcpy(shown.At(x, y), stored.At(sx, sy), 3);
        }
    }
    return shown;
}

RgbImage ReadJpeg(const std::string& path, int32_t maxSide) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw PictureError(path + ": cannot be opened (" + std::strerror(errno) + ")");

    std::unique_ptr<Decode, DecodeDeleter> d(new Decode{});
    d->info.err = jpeg_std_error(&d->failure.manager);
    d->failure.manager.error_exit = OnError;
    d->failure.manager.emit_message = OnMessage;
    d->progress.progress_monitor = OnProgress;
    const auto failed = [&](const char* what) {
        return PictureError(path + ": " + (d->failure.damaged ? "damaged JPEG" : what) + " (" + d->failure.message +
                            ")");
    };
    if (!ReadHeader(*d, file.get())) throw failed("cannot read JPEG");

    const jpeg_decompress_struct& info = d->info;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        throw PictureError(path + ": a CMYK JPEG, which is not read; convert it to RGB first");
    }
    if (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
        info.jpeg_color_space != JCS_RGB) {
        throw PictureError(path + ": a JPEG of " + std::to_string(info.num_components) +
                           " components in an unknown colour space; grey or colour (YCbCr or RGB) is read");
    }
    if (info.image_width > JDIMENSION(maxSide) || info.image_height > JDIMENSION(maxSide)) {
        throw PictureError(path + ": picture of " + std::to_string(info.image_width) + "x" +
                           std::to_string(info.image_height) + " exceeds " + std::to_string(maxSide) + " per side");
    }
    int orientation = 1;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1) continue;
        orientation = ExifOrientation(marker->data, marker->data_length);
        if (orientation != 1) break;
    }

    if (!StartDecoding(*d)) throw failed("cannot decode JPEG");
    if (info.output_components != 3) throw std::logic_error("libjpeg gave no 3-component RGB rows");
    RgbImage stored;
    stored.Resize(int32_t(info.output_width), int32_t(info.output_height));
    if (!ReadRows(*d, stored.rgb.data(), size_t(stored.width) * 3)) throw failed("cannot decode JPEG");
    return orientation == 1 ? stored : Orient(stored, orientation);
}

}  // namespace vardelk

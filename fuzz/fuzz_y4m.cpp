// Arbitrary bytes as a Y4M stream: the reader either yields whole frames or
// raises MediaError, nothing else. Every frame that is read goes into the
// host's YC format and straight back, which must give the same samples, and
// out through the writer, whose stream must read back identically.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/types.h"
#include "fuzz/fuzz_support.h"
#include "media/y4m.h"
#include "media/yc_convert.h"

namespace {

using namespace vardelk;

// Frames larger than this are read but not converted, to keep runs fast.
constexpr size_t kLargestConvertedFrame = 1 << 16;
constexpr int kMostFrames = 4;

bool SameFormat(const Y4mFormat& a, const Y4mFormat& b) {
    return a.width == b.width && a.height == b.height && a.rateNum == b.rateNum && a.rateDen == b.rateDen &&
           a.interlace == b.interlace && a.aspectNum == b.aspectNum && a.aspectDen == b.aspectDen &&
           a.chroma == b.chroma && a.chromaTag == b.chromaTag;
}

bool SameFrame(const Y4mFrame& a, const Y4mFrame& b) { return a.y == b.y && a.cb == b.cb && a.cr == b.cr; }

// The picture sits in a wider frame, as in the host, to catch stride mix-ups.
void CheckYcRoundTrip(const Y4mFormat& format, const Y4mFrame& frame) {
    const int32_t stride = format.width + 3;
    std::vector<Pixel> pixels(size_t(stride) * size_t(format.height), Pixel{0x1111, 0x2222, 0x3333});
    Y4mToYc(format, frame, pixels.data(), stride);
    for (int32_t row = 0; row < format.height; ++row) {
        for (int32_t col = format.width; col < stride; ++col) {
            const Pixel& p = pixels[size_t(row) * size_t(stride) + size_t(col)];
            FUZZ_CHECK(p.y == 0x1111 && p.cb == 0x2222 && p.cr == 0x3333);
        }
    }
    Y4mFrame back;
    YcToY4m(format, pixels.data(), stride, back);
    FUZZ_CHECK(SameFrame(back, frame));
}

void CheckWriterRoundTrip(const Y4mFormat& format, const std::vector<Y4mFrame>& frames) {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    FUZZ_CHECK(out != nullptr);
    {
        Y4mWriter writer(out, format, "memory");
        for (const Y4mFrame& frame : frames) writer.WriteFrame(frame);
    }
    std::fclose(out);
    std::FILE* in = fmemopen(buffer, length, "rb");
    FUZZ_CHECK(in != nullptr);
    Y4mReader reader(in, "memory");
    FUZZ_CHECK(SameFormat(reader.Format(), format));
    Y4mFrame frame;
    for (const Y4mFrame& expected : frames) {
        FUZZ_CHECK(reader.ReadFrame(frame));
        FUZZ_CHECK(SameFrame(frame, expected));
    }
    FUZZ_CHECK(!reader.ReadFrame(frame));
    std::fclose(in);
    std::free(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The header parser on its own: whatever it accepts it must write back
    // in a form it reads as the same format.
    const std::string firstLine(reinterpret_cast<const char*>(data),
                                std::find(data, data + size, uint8_t('\n')) - data);
    try {
        const Y4mFormat parsed = ParseY4mHeader(firstLine, "line");
        FUZZ_CHECK(parsed.width >= 1 && parsed.height >= 1);
        FUZZ_CHECK(SameFormat(ParseY4mHeader(FormatY4mHeader(parsed), "again"), parsed));
    } catch (const MediaError&) {
    }

    if (size == 0) return 0;
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    FUZZ_CHECK(stream != nullptr);
    try {
        Y4mReader reader(stream, "input");
        const Y4mFormat& format = reader.Format();
        FUZZ_CHECK(format.width >= 1 && format.height >= 1);
        // A frame claiming more samples than the input holds can only be
        // truncated; the reader would size its planes before finding out,
        // which for the largest headers takes most of a second, so such
        // inputs stop here (small truncated frames take the same path).
        if (FrameSampleBytes(format) > size) {
            std::fclose(stream);
            return 0;
        }
        std::vector<Y4mFrame> frames;
        Y4mFrame frame;
        while (static_cast<int>(frames.size()) < kMostFrames && reader.ReadFrame(frame)) {
            FUZZ_CHECK(frame.y.size() == size_t(format.width) * size_t(format.height));
            frames.push_back(frame);
        }
        FUZZ_CHECK(reader.FrameCount() == static_cast<int64_t>(frames.size()));
        if (FrameSampleBytes(format) <= kLargestConvertedFrame) {
            for (const Y4mFrame& f : frames) CheckYcRoundTrip(format, f);
            CheckWriterRoundTrip(format, frames);
        }
    } catch (const MediaError& error) {
        FUZZ_CHECK(std::strncmp(error.what(), "input: ", 7) == 0);
    }
    std::fclose(stream);
    return 0;
}

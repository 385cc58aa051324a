// Reading and writing YUV4MPEG2 streams with 8-bit samples.
//
// Supported colour spaces: 4:2:0 (tags 420jpeg, 420mpeg2, 420paldv and plain
// 420), 4:2:2, 4:4:4 and mono. Anything else (4:1:1, alpha, more than 8 bits
// per sample) is refused with a message that names the tag. Headers and frame
// markers are checked strictly: a malformed or truncated stream raises
// MediaError instead of yielding a half-read frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/media_error.h"

namespace vardelk {

enum class ChromaFormat { k420, k422, k444, kMono };

struct Y4mFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rateNum = 25;  // frames per second = rateNum / rateDen
    int32_t rateDen = 1;
    char interlace = 'p';   // p, t, b, m or ? as in the header
    int32_t aspectNum = 0;  // 0:0 = unknown
    int32_t aspectDen = 0;
    ChromaFormat chroma = ChromaFormat::k420;
    std::string chromaTag = "420jpeg";  // written back unchanged
};

// Chroma plane size for a format; mono has none.
int32_t ChromaWidth(const Y4mFormat& format);
int32_t ChromaHeight(const Y4mFormat& format);
// Bytes of one frame's samples (without the FRAME marker).
size_t FrameSampleBytes(const Y4mFormat& format);

// One frame as three planes of 8-bit samples, each row-major without padding.
// Mono frames keep cb and cr empty.
struct Y4mFrame {
    std::vector<uint8_t> y;
    std::vector<uint8_t> cb;
    std::vector<uint8_t> cr;

    // Sizes the planes for a format; does nothing when already that size.
    void Allocate(const Y4mFormat& format);
};

// Parses a header line (without the trailing newline). `origin` names the
// stream in error messages.
Y4mFormat ParseY4mHeader(const std::string& line, const std::string& origin);
std::string FormatY4mHeader(const Y4mFormat& format);

// Reads frames one after another from a stream it does not own.
class Y4mReader {
public:
    // Reads and checks the stream header.
    Y4mReader(std::FILE* stream, std::string origin);

    const Y4mFormat& Format() const { return format_; }
    // Fills `frame` (sized by Allocate) with the next frame. Returns false at a
    // clean end of stream; throws on a truncated or malformed frame.
    bool ReadFrame(Y4mFrame& frame);
    // Frames read so far.
    int64_t FrameCount() const { return frames_; }

private:
    std::string ReadLine(size_t limit, bool* atEnd);
    void ReadPlane(std::vector<uint8_t>& plane, size_t* frameBytesRead);

    std::FILE* stream_;
    std::string origin_;
    Y4mFormat format_;
    int64_t frames_ = 0;
};

// Writes frames to a stream it does not own; the header goes out first.
class Y4mWriter {
public:
    Y4mWriter(std::FILE* stream, const Y4mFormat& format, std::string destination);
    void WriteFrame(const Y4mFrame& frame);

private:
    void Write(const void* data, size_t bytes);

    std::FILE* stream_;
    Y4mFormat format_;
    std::string destination_;
};

}  // namespace vardelk

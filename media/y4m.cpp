#include "media/y4m.h"

#include <cstring>
#include <utility>

namespace vardelk {
namespace {

constexpr int32_t kMaxDimension = 16384;
constexpr size_t kMaxHeaderBytes = 4096;
constexpr char kMagic[] = "YUV4MPEG2";
constexpr char kFrameMarker[] = "FRAME";

struct ChromaTag {
    const char* tag;
    ChromaFormat format;
};
constexpr ChromaTag kChromaTags[] = {
    {"420jpeg", ChromaFormat::k420}, {"420mpeg2", ChromaFormat::k420}, {"420paldv", ChromaFormat::k420},
    {"420", ChromaFormat::k420},     {"422", ChromaFormat::k422},      {"444", ChromaFormat::k444},
    {"mono", ChromaFormat::kMono},
};

[[noreturn]] void Fail(const std::string& origin, const std::string& what) { throw MediaError(origin + ": " + what); }

// Parses a non-negative decimal number that must fill the whole text.
bool ParseCount(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 9) return false;
    int32_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

bool ParseRatio(const std::string& text, int32_t* num, int32_t* den) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    return ParseCount(text.substr(0, colon), num) && ParseCount(text.substr(colon + 1), den);
}

int32_t ParseDimension(const std::string& text, char tag, const std::string& origin) {
    int32_t value = 0;
    if (!ParseCount(text, &value) || value < 1 || value > kMaxDimension) {
        Fail(origin,
             std::string("header field '") + tag + text + "' is not a size in 1.." + std::to_string(kMaxDimension));
    }
    return value;
}

void ParseChroma(const std::string& text, Y4mFormat& format, const std::string& origin) {
    for (const ChromaTag& entry : kChromaTags) {
        if (text == entry.tag) {
            format.chroma = entry.format;
            format.chromaTag = entry.tag;
            return;
        }
    }
    Fail(origin, "unsupported colour space 'C" + text +
                     "' (supported: 8-bit 420jpeg, 420mpeg2, 420paldv, 420, 422, 444, mono)");
}

void ParseField(const std::string& token, Y4mFormat& format, const std::string& origin) {
    const char tag = token[0];
    const std::string value = token.substr(1);
    switch (tag) {
        case 'W':
            format.width = ParseDimension(value, tag, origin);
            return;
        case 'H':
            format.height = ParseDimension(value, tag, origin);
            return;
        case 'F':
            if (!ParseRatio(value, &format.rateNum, &format.rateDen) || format.rateNum == 0 || format.rateDen == 0) {
                Fail(origin, "header field 'F" + value + "' is not a frame rate such as 25:1");
            }
            return;
        case 'I':
            if (value.size() != 1 || std::strchr("ptbm?", value[0]) == nullptr) {
                Fail(origin, "header field 'I" + value + "' is not one of Ip, It, Ib, Im, I?");
            }
            format.interlace = value[0];
            return;
        case 'A':
            if (!ParseRatio(value, &format.aspectNum, &format.aspectDen) ||
                ((format.aspectNum == 0) != (format.aspectDen == 0))) {
                Fail(origin, "header field 'A" + value + "' is not an aspect ratio such as 1:1");
            }
            return;
        case 'C':
            ParseChroma(value, format, origin);
            return;
        case 'X':
            return;  // extensions carry nothing the conversion needs
        default:
            Fail(origin, "unknown header field '" + token + "'");
    }
}

}  // namespace

int32_t ChromaWidth(const Y4mFormat& format) {
    switch (format.chroma) {
        case ChromaFormat::k420:
        case ChromaFormat::k422:
            return (format.width + 1) / 2;
        case ChromaFormat::k444:
            return format.width;
        case ChromaFormat::kMono:
            return 0;
    }
    return 0;
}

int32_t ChromaHeight(const Y4mFormat& format) {
    switch (format.chroma) {
        case ChromaFormat::k420:
            return (format.height + 1) / 2;
        case ChromaFormat::k422:
        case ChromaFormat::k444:
            return format.height;
        case ChromaFormat::kMono:
            return 0;
    }
    return 0;
}

size_t FrameSampleBytes(const Y4mFormat& format) {
    const size_t luma = size_t(format.width) * size_t(format.height);
    return luma + 2 * size_t(ChromaWidth(format)) * size_t(ChromaHeight(format));
}

void Y4mFrame::Allocate(const Y4mFormat& format) {
    const size_t chroma = size_t(ChromaWidth(format)) * size_t(ChromaHeight(format));
    y.resize(size_t(format.width) * size_t(format.height));
    cb.resize(chroma);
    cr.resize(chroma);
}

Y4mFormat ParseY4mHeader(const std::string& line, const std::string& origin) {
    const size_t magicLength = sizeof(kMagic) - 1;
    if (line.compare(0, magicLength, kMagic) != 0 || (line.size() > magicLength && line[magicLength] != ' ')) {
        Fail(origin, "not a YUV4MPEG2 stream (the header must start with 'YUV4MPEG2 ')");
    }
    Y4mFormat format;
    format.width = 0;
    format.height = 0;
    size_t pos = magicLength;
    while (pos < line.size()) {
        const size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string::npos) break;
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        ParseField(line.substr(start, end - start), format, origin);
        pos = end;
    }
    if (format.width == 0 || format.height == 0) {
        Fail(origin, "header lacks the picture size (W and H fields)");
    }
    return format;
}

std::string FormatY4mHeader(const Y4mFormat& format) {
    return std::string(kMagic) + " W" + std::to_string(format.width) + " H" + std::to_string(format.height) + " F" +
           std::to_string(format.rateNum) + ":" + std::to_string(format.rateDen) + " I" + format.interlace + " A" +
           std::to_string(format.aspectNum) + ":" + std::to_string(format.aspectDen) + " C" + format.chromaTag;
}

Y4mReader::Y4mReader(std::FILE* stream, std::string origin) : stream_(stream), origin_(std::move(origin)) {
    bool atEnd = false;
    const std::string line = ReadLine(kMaxHeaderBytes, &atEnd);
    if (atEnd && line.empty()) Fail(origin_, "empty input, expected a YUV4MPEG2 header");
    if (atEnd) Fail(origin_, "header is truncated (no end of line)");
    format_ = ParseY4mHeader(line, origin_);
}

std::string Y4mReader::ReadLine(size_t limit, bool* atEnd) {
    std::string line;
    *atEnd = false;
    for (;;) {
        const int c = std::getc(stream_);
        if (c == EOF) {
            if (std::ferror(stream_)) Fail(origin_, "read error");
            *atEnd = true;
            return line;
        }
        if (c == '\n') return line;
        if (line.size() >= limit) Fail(origin_, "header line longer than " + std::to_string(limit) + " bytes");
        line.push_back(char(c));
    }
}

void Y4mReader::ReadPlane(std::vector<uint8_t>& plane, size_t* frameBytesRead) {
    const size_t got = std::fread(plane.data(), 1, plane.size(), stream_);
    *frameBytesRead += got;
    if (got != plane.size()) {
        if (std::ferror(stream_)) Fail(origin_, "read error");
        Fail(origin_, "frame " + std::to_string(frames_) + " is truncated (" + std::to_string(*frameBytesRead) +
                          " of " + std::to_string(FrameSampleBytes(format_)) + " bytes)");
    }
}

bool Y4mReader::ReadFrame(Y4mFrame& frame) {
    bool atEnd = false;
    const std::string line = ReadLine(kMaxHeaderBytes, &atEnd);
    if (atEnd && line.empty()) return false;
    const size_t markerLength = sizeof(kFrameMarker) - 1;
    const bool markerPrefix = line.compare(0, markerLength, kFrameMarker) == 0 ||
                              (atEnd && std::string(kFrameMarker).compare(0, line.size(), line) == 0);
    if (!markerPrefix || (line.size() > markerLength && line[markerLength] != ' ')) {
        Fail(origin_, "frame " + std::to_string(frames_) + " does not start with a FRAME marker");
    }
    if (atEnd) Fail(origin_, "frame " + std::to_string(frames_) + " is truncated (incomplete FRAME marker)");
    frame.Allocate(format_);
    size_t bytesRead = 0;
    ReadPlane(frame.y, &bytesRead);
    if (format_.chroma != ChromaFormat::kMono) {
        ReadPlane(frame.cb, &bytesRead);
        ReadPlane(frame.cr, &bytesRead);
    }
    ++frames_;
    return true;
}

Y4mWriter::Y4mWriter(std::FILE* stream, const Y4mFormat& format, std::string destination)
    : stream_(stream), format_(format), destination_(std::move(destination)) {
    const std::string header = FormatY4mHeader(format_) + "\n";
    Write(header.data(), header.size());
}

void Y4mWriter::Write(const void* data, size_t bytes) {
    if (std::fwrite(data, 1, bytes, stream_) != bytes) {
        throw MediaError(destination_ + ": write failed");
    }
}

void Y4mWriter::WriteFrame(const Y4mFrame& frame) {
    const size_t chroma = size_t(ChromaWidth(format_)) * size_t(ChromaHeight(format_));
    if (frame.y.size() != size_t(format_.width) * size_t(format_.height) || frame.cb.size() != chroma ||
        frame.cr.size() != chroma) {
        throw MediaError(destination_ + ": frame does not match the stream's picture size");
    }
    static const char marker[] = "FRAME\n";
    Write(marker, sizeof(marker) - 1);
    Write(frame.y.data(), frame.y.size());
    if (format_.chroma != ChromaFormat::kMono) {
        Write(frame.cb.data(), frame.cb.size());
        Write(frame.cr.data(), frame.cr.size());
    }
}

}  // namespace vardelk

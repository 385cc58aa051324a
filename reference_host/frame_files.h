// Frame files of the reference host: raw YC frames (width x height pixels of
// three little-endian int16 each, no header) and, when the media library is
// built, Y4M streams converted to YC; frames are the host's. Also the matrix
// file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "codec/types.h"
#include "host/frame_record.h"

namespace vardelk {

class FrameReader {
public:
    FrameReader();
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // Opens a file; a name ending in ".y4m" is read as Y4M and takes its size
    // from the header, anything else is raw YC of the given size.
    bool Open(const std::string& path, int32_t width, int32_t height, std::string* error);
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // Reads the next frame into the top-left of pixels (rows stride apart).
    // Returns false at the end of the file, with error set when the file
    // ends inside a frame or is malformed.
    bool Read(host::YcPixel* pixels, int32_t stride, std::string* error);

private:
    struct Y4mState;
    bool ReadRaw(host::YcPixel* pixels, int32_t stride, std::string* error);

    std::FILE* file_ = nullptr;
    std::string path_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<Y4mState> y4m_;
};

class FrameWriter {
public:
    FrameWriter();
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Raw YC, or Y4M (4:2:0) for a name ending in ".y4m" when available.
    bool Open(const std::string& path, int32_t width, int32_t height, std::string* error);
    bool Write(const host::YcPixel* pixels, int32_t stride, std::string* error);
    bool Close(std::string* error);

private:
    struct Y4mState;

    std::FILE* file_ = nullptr;
    std::string path_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<Y4mState> y4m_;
};

// Reads a matrix file in the plain form (64 integers in 1..4095 in natural
// order, separated by commas or white space, '#' comments). On failure the
// matrix is left alone and error says which file and entry.
bool ReadPlainMatrixFile(const std::string& path, int32_t matrix[kMatrixEntries], std::string* error);

}  // namespace vardelk

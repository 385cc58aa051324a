#include "reference_host/frame_files.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "matrix/matrix_files.h"

#ifdef VARDELK_HAVE_MEDIA
#include "media/y4m.h"
#include "media/yc_convert.h"
#endif

namespace vardelk {

namespace {

bool EndsWithY4m(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == ".y4m";
}

#ifdef VARDELK_HAVE_MEDIA
// The Y4M conversions work on a picture of the codec's pixels, rows `width`
// apart; the host's frame takes them field by field, rows `stride` apart.
void ToHost(const std::vector<Pixel>& picture, int32_t width, host::YcPixel* pixels, int32_t stride) {
    for (size_t row = 0; row * size_t(width) < picture.size(); ++row) {
        const Pixel* from = picture.data() + row * size_t(width);
        host::YcPixel* to = pixels + row * size_t(stride);
        for (int32_t x = 0; x < width; ++x) to[x] = host::YcPixel{from[x].y, from[x].cb, from[x].cr};
    }
}
void FromHost(const host::YcPixel* pixels, int32_t stride, int32_t width, std::vector<Pixel>& picture) {
    for (size_t row = 0; row * size_t(width) < picture.size(); ++row) {
        const host::YcPixel* from = pixels + row * size_t(stride);
        Pixel* to = picture.data() + row * size_t(width);
        for (int32_t x = 0; x < width; ++x) to[x] = Pixel{from[x].y, from[x].cb, from[x].cr};
    }
}
#endif

}  // namespace

#ifdef VARDELK_HAVE_MEDIA
struct FrameReader::Y4mState {
    Y4mState(std::FILE* file, const std::string& path) : reader(file, path) {}
    Y4mReader reader;
    Y4mFrame frame;
    std::vector<Pixel> picture;
};
struct FrameWriter::Y4mState {
    Y4mState(std::FILE* file, const Y4mFormat& wanted, const std::string& path)
        : format(wanted), writer(file, wanted, path) {}
    Y4mFormat format;
    Y4mWriter writer;
    Y4mFrame frame;
    std::vector<Pixel> picture;
};
#else
struct FrameReader::Y4mState {};
struct FrameWriter::Y4mState {};
#endif

FrameReader::FrameReader() = default;
FrameReader::~FrameReader() {
    y4m_.reset();
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool FrameReader::Open(const std::string& path, int32_t width, int32_t height, std::string* error) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        *error = "cannot open input " + path;
        return false;
    }
    width_ = width;
    height_ = height;
    if (!EndsWithY4m(path)) {
        return true;
    }
#ifdef VARDELK_HAVE_MEDIA
    try {
        y4m_ = std::make_unique<Y4mState>(file_, path);
        width_ = y4m_->reader.Format().width;
        height_ = y4m_->reader.Format().height;
        return true;  // the buffers come with the first frame: a header alone allocates nothing
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
#else
    *error = "this build cannot read Y4M: " + path;
    return false;
#endif
}

bool FrameReader::Read(host::YcPixel* pixels, int32_t stride, std::string* error) {
    if (!y4m_) {
        return ReadRaw(pixels, stride, error);
    }
#ifdef VARDELK_HAVE_MEDIA
    try {
        if (!y4m_->reader.ReadFrame(y4m_->frame)) {
            return false;
        }
        y4m_->picture.resize(size_t(width_) * size_t(height_));
        Y4mToYc(y4m_->reader.Format(), y4m_->frame, y4m_->picture.data(), width_);
        ToHost(y4m_->picture, width_, pixels, stride);
        return true;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
#else
    (void)pixels;
    (void)stride;
    (void)error;
    return false;
#endif
}

// Pixels are stored as the host keeps them in memory (6 bytes, little
// endian), so each row is read straight into place.
bool FrameReader::ReadRaw(host::YcPixel* pixels, int32_t stride, std::string* error) {
    for (int32_t y = 0; y < height_; ++y) {
        const size_t got = std::fread(pixels + static_cast<size_t>(y) * stride, sizeof(host::YcPixel),
                                      static_cast<size_t>(width_), file_);
        if (got == static_cast<size_t>(width_)) {
            continue;
        }
        if (y == 0 && got == 0 && std::feof(file_)) {
            return false;
        }
        *error = "input " + path_ + " ends inside a frame";
        return false;
    }
    return true;
}

FrameWriter::FrameWriter() = default;
FrameWriter::~FrameWriter() {
    std::string ignored;
    Close(&ignored);
}

bool FrameWriter::Open(const std::string& path, int32_t width, int32_t height, std::string* error) {
    path_ = path;
    width_ = width;
    height_ = height;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        *error = "cannot create output " + path;
        return false;
    }
#ifdef VARDELK_HAVE_MEDIA
    if (EndsWithY4m(path)) {
        Y4mFormat format;
        format.width = width;
        format.height = height;
        try {
            y4m_ = std::make_unique<Y4mState>(file_, format, path);
            y4m_->frame.Allocate(format);
            y4m_->picture.resize(size_t(width) * size_t(height));
        } catch (const std::exception& e) {
            *error = e.what();
            return false;
        }
    }
#endif
    return true;
}

bool FrameWriter::Write(const host::YcPixel* pixels, int32_t stride, std::string* error) {
#ifdef VARDELK_HAVE_MEDIA
    if (y4m_) {
        try {
            FromHost(pixels, stride, width_, y4m_->picture);
            YcToY4m(y4m_->format, y4m_->picture.data(), width_, y4m_->frame);
            y4m_->writer.WriteFrame(y4m_->frame);
            return true;
        } catch (const std::exception& e) {
            *error = e.what();
            return false;
        }
    }
#endif
    for (int32_t y = 0; y < height_; ++y) {
        if (std::fwrite(pixels + static_cast<size_t>(y) * stride, sizeof(host::YcPixel), static_cast<size_t>(width_),
                        file_) != static_cast<size_t>(width_)) {
            *error = "cannot write output " + path_;
            return false;
        }
    }
    return true;
}

bool FrameWriter::Close(std::string* error) {
    y4m_.reset();
    if (file_ == nullptr) {
        return true;
    }
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok) {
        *error = "cannot finish output " + path_;
    }
    return ok;
}

bool ReadPlainMatrixFile(const std::string& path, int32_t matrix[kMatrixEntries], std::string* error) {
    try {
        // The form named outright: a file of 64 numbers is never taken for another form.
        const MatrixEntries entries = ReadMatrixFile("plain:" + path);
        std::copy(entries.begin(), entries.end(), matrix);
        return true;
    } catch (const MatrixFileError& e) {
        *error = e.what();
        return false;
    }
}

}  // namespace vardelk

#include "clip/reconstruction_sink.h"

#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "clip/clip_error.h"
#include "media/file_name.h"
#include "media/output_file.h"
#include "media/rgb_convert.h"
#include "pictures/png_file.h"

namespace vardelk {
namespace {

class Y4mSink : public ReconstructionSink {
public:
    Y4mSink(const std::string& path, const Y4mFormat& format)
        : file_(path), writer_(file_.Stream(), format, path == "-" ? "standard output" : path) {}
    void Write(const Y4mFrame& frame, const Pixel*, int64_t) override { writer_.WriteFrame(frame); }
    void Commit() override { file_.Commit(); }

private:
    OutputFile file_;
    Y4mWriter writer_;
};

class YcSink : public ReconstructionSink {
public:
    YcSink(const std::string& path, const Y4mFormat& format)
        : file_(path), bytes_(size_t(format.width) * size_t(format.height) * 6) {}
    void Write(const Y4mFrame&, const Pixel* pixels, int64_t) override {
        if (pixels == nullptr)
            throw ClipError(file_.Path() + ": raw host frames are only written for the reconstruction");
        for (size_t i = 0; i < bytes_.size() / 6; ++i) {
            PutLittleEndian(pixels[i].y, &bytes_[i * 6]);
            PutLittleEndian(pixels[i].cb, &bytes_[i * 6 + 2]);
            PutLittleEndian(pixels[i].cr, &bytes_[i * 6 + 4]);
        }
        if (std::fwrite(bytes_.data(), 1, bytes_.size(), file_.Stream()) != bytes_.size()) {
            throw ClipError(file_.Path() + ": write failed");
        }
    }
    void Commit() override { file_.Commit(); }

private:
    static void PutLittleEndian(int16_t value, uint8_t* out) {
        out[0] = uint8_t(uint16_t(value) & 0xff);
        out[1] = uint8_t(uint16_t(value) >> 8);
    }
    OutputFile file_;
    std::vector<uint8_t> bytes_;
};

// Pictures named per frame are written as they come; a single picture is
// held back until Commit() so that a longer clip is caught first.
class PngSink : public ReconstructionSink {
public:
    PngSink(const std::string& path, const Y4mFormat& format) : path_(path), format_(format) {
        const std::string first = FramePath(path_, 0, &perFrame_);
        // Fails early if unwritable; the first frame's name stands for all.
        if (perFrame_)
            OutputFile probe(first);
        else
            probe_ = std::make_unique<OutputFile>(path_);
    }
    void Write(const Y4mFrame& frame, const Pixel*, int64_t index) override {
        if (!perFrame_ && index > 0) {
            throw ValueError("", path_ +
                                     " holds one picture but the clip has more frames; "
                                     "use a name with a frame number such as out_%04d.png, or --frames 1");
        }
        FrameToRgb(format_, frame, image_);
        if (perFrame_) WritePng(FramePath(path_, index, &perFrame_), image_);
    }
    void Commit() override {
        if (perFrame_) return;
        probe_.reset();
        WritePng(path_, image_);
    }

private:
    std::string path_;
    Y4mFormat format_;
    bool perFrame_ = false;
    std::unique_ptr<OutputFile> probe_;
    RgbImage image_;
};

}  // namespace

std::string FramePath(const std::string& pattern, int64_t index, bool* hasField) {
    std::string result;
    *hasField = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            result.push_back(pattern[i]);
            continue;
        }
        size_t j = i + 1;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j]))) ++j;
        const std::string width = pattern.substr(i + 1, j - i - 1);
        if (j >= pattern.size() || pattern[j] != 'd' || *hasField || width.size() > 2 ||
            (!width.empty() && width[0] != '0')) {
            throw ValueError("", pattern +
                                     ": a picture name may hold one frame-number field, "
                                     "%d or %0Nd (N up to 9), and no other %");
        }
        std::string number = std::to_string(index);
        const size_t digits = width.empty() ? 0 : size_t(std::stoi(width));
        if (number.size() < digits) number.insert(0, digits - number.size(), '0');
        result += number;
        *hasField = true;
        i = j;
    }
    return result;
}

std::unique_ptr<ReconstructionSink> OpenReconstructionSink(const std::string& path, const Y4mFormat& format,
                                                           const std::string& otherKinds) {
    if (EndsWith(path, ".png")) return std::make_unique<PngSink>(path, format);
    if (EndsWith(path, ".yc")) return std::make_unique<YcSink>(path, format);
    if (path == "-" || EndsWith(path, ".y4m")) return std::make_unique<Y4mSink>(path, format);
    // A device or a pipe (/dev/null, a FIFO) says nothing by its name: it gets
    // the same stream as standard output would.
    struct stat node;
    if (stat(path.c_str(), &node) == 0 && !S_ISREG(node.st_mode) && !S_ISDIR(node.st_mode))
        return std::make_unique<Y4mSink>(path, format);
    const std::string kinds = otherKinds.empty() ? ".y4m, .png or .yc" : ".y4m, .png, .yc or " + otherKinds;
    throw ValueError("", path + ": unknown kind of output; use a name ending in " + kinds +
                             ", or - for Y4M on standard output (devices and pipes get Y4M)");
}

}  // namespace vardelk

#include "clip/clip_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "clip/clip_error.h"
#include "media/demo_picture.h"
#include "media/rgb_convert.h"
#include "pictures/picture_file.h"

namespace vardelk {
namespace {

constexpr char kDemoPrefix[] = "builtin:demo";

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != stdin) std::fclose(file);
    }
};

class Y4mSource : public ClipSource {
public:
    explicit Y4mSource(const std::string& name)
        : file_(Open(name)), reader_(file_.get(), name == "-" ? "standard input" : name) {
        expected_ = EstimateFrames(name);
    }
    const Y4mFormat& Format() const override { return reader_.Format(); }
    bool ReadFrame(Y4mFrame& frame) override { return reader_.ReadFrame(frame); }
    int64_t ExpectedFrames() const override { return expected_; }

private:
    static std::FILE* Open(const std::string& name) {
        if (name == "-") return stdin;
        std::FILE* file = std::fopen(name.c_str(), "rb");
        if (file == nullptr) throw ClipError(name + ": cannot be opened (" + std::strerror(errno) + ")");
        return file;
    }
    // From the file size, for the progress line; frame markers are assumed
    // to carry no parameters.
    int64_t EstimateFrames(const std::string& name) const {
        struct stat info;
        if (name == "-" || stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
        const int64_t frameBytes = int64_t(FrameSampleBytes(reader_.Format())) + 6;
        return int64_t(info.st_size) / frameBytes;
    }

    std::unique_ptr<std::FILE, FileCloser> file_;
    Y4mReader reader_;
    int64_t expected_ = -1;
};

// A still picture, or the built-in scene, given as RGB.
class RgbSource : public ClipSource {
public:
    RgbSource(RgbImage image, int32_t frames, bool animated)
        : image_(std::move(image)),
          frames_(frames),
          animated_(animated),
          format_(FormatForRgb(image_.width, image_.height)) {}
    const Y4mFormat& Format() const override { return format_; }
    bool ReadFrame(Y4mFrame& frame) override {
        if (next_ >= frames_) return false;
        if (animated_) DrawDemoScene(image_, next_);
        RgbToFrame(image_, frame);
        ++next_;
        return true;
    }
    int64_t ExpectedFrames() const override { return frames_; }

private:
    RgbImage image_;
    int32_t frames_;
    bool animated_;
    Y4mFormat format_;
    int32_t next_ = 0;
};

// Parses the ":WIDTHxHEIGHT" that may follow the scene's name.
bool ParseDemoSize(const std::string& size, int32_t* width, int32_t* height) {
    const size_t cross = size.find('x');
    if (size.size() < 4 || size[0] != ':' || cross == std::string::npos) return false;
    const std::string w = size.substr(1, cross - 1), h = size.substr(cross + 1);
    for (const std::string* part : {&w, &h}) {
        if (part->empty() || part->size() > 5 || part->find_first_not_of("0123456789") != std::string::npos)
            return false;
    }
    *width = std::stoi(w);
    *height = std::stoi(h);
    return *width >= 1 && *height >= 1 && *width <= 16384 && *height <= 16384;
}

std::unique_ptr<ClipSource> OpenDemo(const std::string& name, int32_t frames) {
    int32_t width = kDemoWidth, height = kDemoHeight;
    const std::string size = name.substr(sizeof(kDemoPrefix) - 1);
    if (!size.empty() && !ParseDemoSize(size, &width, &height)) {
        throw ValueError("input", name + ": expected builtin:demo or builtin:demo:WIDTHxHEIGHT (1..16384)");
    }
    RgbImage image;
    image.Resize(width, height);
    return std::make_unique<RgbSource>(std::move(image), frames, true);
}

}  // namespace

std::unique_ptr<ClipSource> OpenClipSource(const std::string& name, int32_t demoFrames) {
    if (name.compare(0, sizeof(kDemoPrefix) - 1, kDemoPrefix) == 0) return OpenDemo(name, demoFrames);
    if (name == "-") return std::make_unique<Y4mSource>(name);
    // A file is told by its first bytes, then by its name. Pipes and devices
    // cannot be read twice: like a missing file, they are taken as Y4M and
    // the Y4M reader says what is wrong with them.
    struct stat info;
    const bool regular = stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    FileForm form = regular ? SniffFileForm(name) : FileForm::kOther;
    if (form == FileForm::kOther) form = FormOfName(name);
    switch (form) {
        case FileForm::kPng:
        case FileForm::kJpeg:
            return std::make_unique<RgbSource>(ReadPicture(name), 1, false);
        case FileForm::kY4m:
            break;
        case FileForm::kOther:
            if (regular) throw ClipError(name + ": not a picture or clip in a form read here (" + kInputForms + ")");
            break;
    }
    return std::make_unique<Y4mSource>(name);
}

}  // namespace vardelk

#include "pictures/picture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/file_name.h"
#include "pictures/jpeg_file.h"
#include "pictures/picture_error.h"
#include "pictures/png_file.h"

namespace vardelk {
namespace {

// The endings of the forms read, the one list every reader of names uses.
struct NamedForm {
    const char* extension;
    FileForm form;
};
constexpr NamedForm kReadForms[] = {
    {"png", FileForm::kPng},  {"jpg", FileForm::kJpeg}, {"jpeg", FileForm::kJpeg},
    {"jpe", FileForm::kJpeg}, {"y4m", FileForm::kY4m},
};

}  // namespace

const char kInputForms[] = "PNG, JPEG or Y4M";

FileForm SniffFileForm(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return FileForm::kOther;
    unsigned char head[10] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    std::fclose(file);
    constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    constexpr unsigned char kJpeg[3] = {0xff, 0xd8, 0xff};  // start of image, then the first segment's marker
    constexpr char kY4m[10] = {'Y', 'U', 'V', '4', 'M', 'P', 'E', 'G', '2', ' '};
    if (got >= sizeof(kPng) && std::memcmp(head, kPng, sizeof(kPng)) == 0) return FileForm::kPng;
    if (got >= sizeof(kJpeg) && std::memcmp(head, kJpeg, sizeof(kJpeg)) == 0) return FileForm::kJpeg;
    if (got >= sizeof(kY4m) && std::memcmp(head, kY4m, sizeof(kY4m)) == 0) return FileForm::kY4m;
    return FileForm::kOther;
}

FileForm FormOfName(const std::string& path) {
    const std::string extension = LowerExtension(path);
    for (const NamedForm& named : kReadForms) {
        if (extension == named.extension) return named.form;
    }
    return FileForm::kOther;
}

RgbImage ReadPicture(const std::string& path) {
    switch (SniffFileForm(path)) {
        case FileForm::kPng:
            return ReadPng(path);
        case FileForm::kJpeg:
            return ReadJpeg(path);
        case FileForm::kY4m:
            throw PictureError(path + ": a Y4M clip, not a picture (PNG or JPEG)");
        case FileForm::kOther:
            break;
    }
    // Not a form we know by its content: a file named as one gets that
    // reader's own account of what is wrong with it.
    if (FormOfName(path) == FileForm::kPng) return ReadPng(path);
    if (FormOfName(path) == FileForm::kJpeg) return ReadJpeg(path);
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
    } else {
        throw PictureError(path + ": cannot be opened (" + std::strerror(errno) + ")");
    }
    throw PictureError(path + ": not a picture or clip in a form read here (" + kInputForms + ")");
}

bool NamesPicture(const std::string& path) {
    static const char* const kPictureExtensions[] = {"png",  "jpg",  "jpeg", "jpe", "jfif", "gif", "bmp",
                                                     "tif",  "tiff", "webp", "ppm", "pgm",  "pnm", "pbm",
                                                     "avif", "heic", "heif", "jxl", "jp2",  "tga", "exr"};
    const std::string extension = LowerExtension(path);
    for (const char* known : kPictureExtensions) {
        if (extension == known) return true;
    }
    return false;
}

void CheckPictureOutput(const std::string& path, const std::string& optionName) {
    if (LowerExtension(path) == "png") return;
    throw PictureError(optionName + " " + path +
                       ": pictures are written as PNG only, losslessly, so that every artefact in them is the "
                       "codec's; use a name ending in .png");
}

}  // namespace vardelk

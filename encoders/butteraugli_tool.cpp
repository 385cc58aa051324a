#include "encoders/butteraugli_tool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "encoders/child_process.h"
#include "encoders/encoder_error.h"

namespace vardelk {

std::string FindButteraugli() { return FindOnPath("butteraugli_main"); }

void WritePpmFile(const std::string& path, const RgbImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw EncoderError(path + ": cannot be written (" + std::strerror(errno) + ")");
    std::fprintf(file, "P6\n%d %d\n255\n", int(image.width), int(image.height));
    const size_t written = std::fwrite(image.rgb.data(), 1, image.rgb.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != image.rgb.size() || !closed) throw EncoderError(path + ": cannot be written (disk full?)");
}

double ParseButteraugliNorm(const std::string& output, const std::string& origin) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("3-norm:", 0) != 0) continue;
        const char* start = line.c_str() + 7;
        char* end = nullptr;
        const double norm = std::strtod(start, &end);
        if (end != start && norm >= 0) return norm;
    }
    throw EncoderError(origin + ": butteraugli_main printed no 3-norm");
}

double ButteraugliNorm(const std::string& program, const std::string& original, const std::string& distorted,
                       const std::string& stem, const std::string& origin) {
    const std::string out = stem + ".out", err = stem + ".err";
    const ChildResult result = RunChild({program, original, distorted, "--pnorm", "3"}, out, err);
    if (!result.Succeeded()) {
        const std::string tail = FileTail(err);
        throw EncoderError(origin + ": butteraugli_main failed (" + result.Describe() + ")" +
                           (tail.empty() ? "" : ": " + tail));
    }
    std::ifstream file(out);
    std::stringstream text;
    text << file.rdbuf();
    std::remove(out.c_str());
    std::remove(err.c_str());
    return ParseButteraugliNorm(text.str(), origin);
}

}  // namespace vardelk

#include "media/report_text.h"

#include <cmath>
#include <cstdio>

namespace vardelk {

std::string FormatPsnr(double psnr, bool json) {
    if (std::isinf(psnr)) return json ? "null" : "inf";
    char text[32];
    std::snprintf(text, sizeof(text), "%.4f", psnr);
    return text;
}

std::string FormatScore(double score, bool json) {
    if (std::isnan(score)) return json ? "null" : "nan";
    char text[32];
    std::snprintf(text, sizeof(text), "%.4f", score);
    return text;
}

std::string FormatSsim(double ssim, bool json) {
    if (std::isnan(ssim)) return json ? "null" : "nan";
    char text[32];
    std::snprintf(text, sizeof(text), "%.6f", ssim);
    return text;
}

std::string FormatDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.3f", value);
    return text;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string CsvQuoted(const std::string& text) {
    std::string quoted = text;
    for (size_t p = quoted.find('"'); p != std::string::npos; p = quoted.find('"', p + 2)) quoted.insert(p, "\"");
    return '"' + quoted + '"';
}

double BitRate(double meanBytes, const Y4mFormat& format) { return meanBytes * 8.0 * format.rateNum / format.rateDen; }

}  // namespace vardelk

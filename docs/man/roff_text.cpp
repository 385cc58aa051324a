#include "roff_text.h"

#include <cstdint>
#include <cstdio>

namespace vardelk {

namespace {

// Decodes the UTF-8 sequence at text[i], advancing i past it. A malformed,
// overlong or truncated sequence yields U+FFFD and consumes one byte.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return uint32_t(uint8_t(text[k])); };
    const uint32_t lead = byte(i);
    int length = 0;
    uint32_t point = 0;
    uint32_t lowest = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07;
        lowest = 0x10000;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0F;
        lowest = 0x800;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1F;
        lowest = 0x80;
    }
    if (length == 0 || i + size_t(length) > text.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < length; ++k) {
        const uint32_t next = byte(i + size_t(k));
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        point = (point << 6) | (next & 0x3F);
    }
    if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += size_t(length);
    return point;
}

}  // namespace

std::string RoffText(const std::string& text) {
    std::string out;
    bool lineStart = true;
    bool inDashWord = false;  // inside a word that began with '-'
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        lineStart = c == '\n';
        if (c == ' ' || c == '\t' || c == '\n')
            inDashWord = false;
        else if (c == '-' && (out.empty() || out.back() == ' ' || out.back() == '\n' || out.back() == '\t' ||
                              out.back() == '(' || out.back() == '[')) {
            inDashWord = true;
        }
        if (uint8_t(c) >= 0x80) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\[u%04X]", unsigned(NextCodePoint(text, i)));
            out += escape;
            continue;
        }
        if (c == '\\')
            out += "\\(rs";
        else if (c == '-' && inDashWord)
            out += "\\-";
        else
            out += c;
        ++i;
    }
    return out;
}

}  // namespace vardelk

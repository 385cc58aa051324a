#include "matrix/entry_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vardelk {

std::string EntryPosition(const std::string& origin, size_t index, const char* list) {
    return origin + ": " + list + "entry " + std::to_string(index + 1) + " (row " + std::to_string(index / 8 + 1) +
           ", column " + std::to_string(index % 8 + 1) + ")";
}

int32_t ParseEntry(const std::string& token, const std::string& position, const EntryRange& range) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(token.c_str(), &end, 10);
    // The whole token must be the number: a NUL inside it is no end.
    if (token.empty() || end == token.c_str() || end != token.c_str() + token.size()) {
        throw MatrixFileError(position + " is '" + token + "', not an integer");
    }
    if (errno == ERANGE || value < range.lo || value > range.hi) {
        throw MatrixFileError(position + " is " + token + "; " + range.rule);
    }
    return int32_t(value);
}

void CheckEntries(const MatrixEntries& matrix, const std::string& origin, const EntryRange& range) {
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (matrix[i] < range.lo || matrix[i] > range.hi) {
            throw MatrixFileError(EntryPosition(origin, i) + " is " + std::to_string(matrix[i]) + "; " + range.rule);
        }
    }
}

std::string StripComments(const std::string& text) {
    std::string out;
    bool comment = false;
    for (char c : text) {
        if (c == '#') comment = true;
        if (c == '\n') comment = false;
        if (!comment) out.push_back(c);
    }
    return out;
}

std::vector<std::string> SplitTokens(const std::string& text, const char* separators) {
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (c != '\0' && std::strchr(separators, c) != nullptr) {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
}

std::string MatrixRows(const MatrixEntries& matrix, const char* separator) {
    std::string text;
    for (size_t i = 0; i < matrix.size(); ++i) text += std::to_string(matrix[i]) + (i % 8 == 7 ? "\n" : separator);
    return text;
}

}  // namespace vardelk

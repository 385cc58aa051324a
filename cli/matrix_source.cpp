#include "matrix_source.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli_error.h"

namespace vardelk {
namespace {

// Splits the text into number tokens, dropping separators and comments.
std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string current;
    bool comment = false;
    for (char c : text + "\n") {
        if (comment) {
            comment = c != '\n';
            continue;
        }
        const bool separator = c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '#';
        if (!separator) {
            current.push_back(c);
            continue;
        }
        if (!current.empty()) tokens.push_back(current);
        current.clear();
        comment = c == '#';
    }
    return tokens;
}

std::string Position(const std::string& origin, size_t index) {
    return origin + ": entry " + std::to_string(index + 1) + " (row " + std::to_string(index / 8 + 1) +
           ", column " + std::to_string(index % 8 + 1) + ")";
}

int32_t ParseEntry(const std::string& token, const std::string& origin, size_t index) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0') {
        throw CliError(Position(origin, index) + " is '" + token + "', not an integer");
    }
    if (errno == ERANGE || value < kMinMatrixEntry || value > kMaxMatrixEntry) {
        throw CliError(Position(origin, index) + " is " + token + "; matrix entries must be " +
                       std::to_string(kMinMatrixEntry) + ".." + std::to_string(kMaxMatrixEntry));
    }
    return int32_t(value);
}

}  // namespace

std::array<int32_t, kMatrixEntries> ParseMatrixText(const std::string& text, const std::string& origin) {
    const std::vector<std::string> tokens = Tokens(text);
    if (tokens.size() != size_t(kMatrixEntries)) {
        throw CliError(origin + ": holds " + std::to_string(tokens.size()) + " numbers; a matrix needs exactly " +
                       std::to_string(kMatrixEntries) + " (8 rows of 8, natural order)");
    }
    std::array<int32_t, kMatrixEntries> entries{};
    for (size_t i = 0; i < tokens.size(); ++i) entries[i] = ParseEntry(tokens[i], origin, i);
    return entries;
}

NamedMatrix LoadMatrix(const std::string& source) {
    NamedMatrix matrix;
    matrix.name = source;
    if (source == "default") {
        for (int i = 0; i < kMatrixEntries; ++i) matrix.entries[size_t(i)] = kDefaultIntraMatrix[i];
        return matrix;
    }
    if (source == "flat16") {
        matrix.entries.fill(16);
        return matrix;
    }
    std::ifstream file(source, std::ios::binary);
    if (!file) {
        throw CliError("matrix file " + source + ": cannot be opened (presets are 'default' and 'flat16')");
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw CliError("matrix file " + source + ": read error");
    matrix.entries = ParseMatrixText(text.str(), "matrix file " + source);
    return matrix;
}

}  // namespace vardelk

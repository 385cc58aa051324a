// The DVD tools' matrix file, an INI file of two sections. Read leniently,
// as files passed between people come in every layout; values are held to
// what a stream carries. Written as the tools write it: space-separated
// rows, CR LF.
#include "matrix/tmpgenc_form.h"

#include <cctype>

#include "matrix/entry_text.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kTmpgencRange{1, 255, "TMPGEnc's matrices take 1..255"};
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\v\f";
    const size_t first = text.find_first_not_of(space);
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string Lowered(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The file's lines, trimmed, without a byte order mark; line 1 first.
std::vector<std::string> Lines(const std::string& bytes) {
    const size_t start = bytes.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    std::vector<std::string> lines;
    for (size_t at = start; at <= bytes.size();) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(Trimmed(bytes.substr(at, end - at)));
        at = end + 1;
    }
    return lines;
}

bool IsComment(const std::string& line) { return line.empty() || line[0] == ';' || line[0] == '#'; }

// "intra" for "[ Intra ]": the lowered name of a section line; text after
// the ']' is ignored. Empty for any other line.
std::string SectionName(const std::string& line) {
    if (line.empty() || line[0] != '[') return "";
    const size_t close = line.find(']');
    return close == std::string::npos ? "" : Lowered(Trimmed(line.substr(1, close - 1)));
}

struct Section {
    const char* title;  // "[Intra]", as messages name it
    const char* list;   // EntryPosition's word for the matrix
    MatrixEntries* entries;
    size_t rowLine[8];  // the line each row was read from, 0 while missing
    bool seen;
};

std::string LineAt(const std::string& origin, size_t number) { return origin + ": line " + std::to_string(number); }

void ReadRow(const std::string& line, size_t number, Section& section, const std::string& origin) {
    const size_t equals = line.find('=');
    const std::string key = Lowered(Trimmed(line.substr(0, equals)));
    if (equals == std::string::npos || key.size() != 7 || key.compare(0, 6, "matrix") != 0 || key[6] < '0' ||
        key[6] > '7') {
        throw MatrixFileError(LineAt(origin, number) + " in " + section.title +
                              " is not a row 'matrix0=' .. 'matrix7='");
    }
    const size_t row = size_t(key[6] - '0');
    if (section.rowLine[row] != 0) {
        throw MatrixFileError(LineAt(origin, number) + ": " + section.title + " gives " + key +
                              " again (first on line " + std::to_string(section.rowLine[row]) + ")");
    }
    section.rowLine[row] = number;
    const std::vector<std::string> values = SplitTokens(line.substr(equals + 1), " \t\v\f,");
    if (values.size() != 8) {
        throw MatrixFileError(LineAt(origin, number) + ": " + section.title + " " + key + " holds " +
                              std::to_string(values.size()) + " numbers; a row has 8");
    }
    for (size_t column = 0; column < 8; ++column) {
        const size_t index = row * 8 + column;
        (*section.entries)[index] =
            ParseEntry(values[column], EntryPosition(origin, index, section.list), kTmpgencRange);
    }
}

std::string Rows(const MatrixEntries& matrix) {
    std::string text;
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (i % 8 == 0) text += "matrix" + std::to_string(i / 8) + "=";
        text += std::to_string(matrix[i]) + (i % 8 == 7 ? "\r\n" : " ");
    }
    return text;
}

void CheckRange(const MatrixEntries& matrix, const std::string& origin, const char* list) {
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (matrix[i] < kTmpgencRange.lo || matrix[i] > kTmpgencRange.hi) {
            throw MatrixFileError(EntryPosition(origin, i, list) + " is " + std::to_string(matrix[i]) + "; " +
                                  kTmpgencRange.rule);
        }
    }
}

}  // namespace

TmpgencMatrices ReadTmpgencMatrices(const std::string& bytes, const std::string& origin) {
    TmpgencMatrices result;
    result.nonIntra.fill(16);
    Section sections[2] = {{"[Intra]", "", &result.intra, {}, false},
                           {"[NonIntra]", "non-intra ", &result.nonIntra, {}, false}};
    Section* current = nullptr;  // null before the first section and in any other
    const std::vector<std::string> lines = Lines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsComment(line)) continue;
        if (line[0] == '[') {
            const std::string name = SectionName(line);
            current = name == "intra" ? &sections[0] : name == "nonintra" ? &sections[1] : nullptr;
            if (current != nullptr && current->seen) {
                throw MatrixFileError(LineAt(origin, i + 1) + ": a second " + current->title + " section");
            }
            if (current != nullptr) current->seen = true;
            continue;
        }
        if (current != nullptr) ReadRow(line, i + 1, *current, origin);
    }
    if (!sections[0].seen) throw MatrixFileError(origin + ": has no [Intra] section");
    for (const Section& section : sections) {
        for (size_t row = 0; row < 8 && section.seen; ++row) {
            if (section.rowLine[row] == 0) {
                throw MatrixFileError(origin + ": " + section.title + " has no row matrix" + std::to_string(row));
            }
        }
    }
    result.hasNonIntra = sections[1].seen;
    return result;
}

std::string WriteTmpgencMatrices(const MatrixEntries& intra, const MatrixEntries& nonIntra, const std::string& origin) {
    CheckRange(intra, origin, "");
    CheckRange(nonIntra, origin, "non-intra ");
    return "[Intra]\r\n" + Rows(intra) + "[NonIntra]\r\n" + Rows(nonIntra);
}

bool IsTmpgencMatrix(const std::string& bytes) {
    for (const std::string& line : Lines(bytes)) {
        if (SectionName(line) == "intra") return true;
    }
    return false;
}

MatrixEntries ReadTmpgencMatrix(const std::string& bytes, const std::string& origin) {
    return ReadTmpgencMatrices(bytes, origin).intra;
}

std::string WriteTmpgencMatrix(const MatrixEntries& matrix, const std::string& origin) {
    MatrixEntries flat;
    flat.fill(16);
    return WriteTmpgencMatrices(matrix, flat, origin);
}

}  // namespace vardelk

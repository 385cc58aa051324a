// mpeg2enc's matrix file: 16 lines of 8 comma-separated values, the intra
// matrix's rows then the non-intra matrix's, natural order, each 1..255.
// Lines starting with '#' and empty lines are skipped. The encoder reads
// lines of at most 79 characters, so everything written stays shorter.
#include "matrix/entry_text.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kMpeg2encRange{1, 255, "mpeg2enc takes 1..255"};
constexpr size_t kLines = 16;

// The lines holding values, each with its 1-based line number in the file.
std::vector<std::pair<size_t, std::string>> ValueLines(const std::string& bytes) {
    std::vector<std::pair<size_t, std::string>> lines;
    size_t number = 0;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        ++number;
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
        lines.emplace_back(number, line);
    }
    return lines;
}

// The fields of a line split at commas, trimmed; empty fields kept.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t comma = line.find(',', start);
        std::string field = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t first = field.find_first_not_of(" \t\r");
        fields.push_back(first == std::string::npos ? ""
                                                    : field.substr(first, field.find_last_not_of(" \t\r") - first + 1));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

}  // namespace

bool IsMpeg2encMatrix(const std::string& bytes) {
    const auto lines = ValueLines(bytes);
    if (lines.size() != kLines) return false;
    for (const auto& line : lines) {
        if (Fields(line.second).size() != 8) return false;
    }
    return true;
}

MatrixEntries ReadMpeg2encMatrix(const std::string& bytes, const std::string& origin) {
    const auto lines = ValueLines(bytes);
    if (lines.size() != kLines) {
        throw MatrixFileError(origin + ": holds " + std::to_string(lines.size()) +
                              " lines of values; mpeg2enc wants 16 (8 intra rows, then 8 non-intra rows)");
    }
    MatrixEntries intra{};
    for (size_t row = 0; row < kLines; ++row) {
        const std::vector<std::string> fields = Fields(lines[row].second);
        if (fields.size() != 8) {
            throw MatrixFileError(origin + ": line " + std::to_string(lines[row].first) + " holds " +
                                  std::to_string(fields.size()) + " comma-separated values; mpeg2enc wants 8");
        }
        for (size_t column = 0; column < 8; ++column) {
            const size_t index = (row % 8) * 8 + column;
            const int32_t value =
                ParseEntry(fields[column], EntryPosition(origin, index, row < 8 ? "" : "non-intra "), kMpeg2encRange);
            if (row < 8) intra[index] = value;
        }
    }
    return intra;
}

std::string WriteMpeg2encMatrix(const MatrixEntries& matrix, const std::string& origin) {
    CheckEntries(matrix, origin, kMpeg2encRange);
    MatrixEntries flat;
    flat.fill(16);
    return "# intra matrix rows, then flat non-intra rows\n" + MatrixRows(matrix, ",") + MatrixRows(flat, ",");
}

}  // namespace vardelk

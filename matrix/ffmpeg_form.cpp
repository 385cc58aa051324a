// The value of ffmpeg's -intra_matrix option: 64 integers in natural order
// separated by commas, on one line. Its MPEG-2 encoder stores each weight in
// the sequence header's 8 bits, where 0 is forbidden: 1..255.
#include "matrix/entry_text.h"
#include "matrix/ffmpeg_option.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kFfmpegRange{1, 255, "ffmpeg's -intra_matrix takes 1..255"};

std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(space) - first + 1);
}

}  // namespace

MatrixEntries ReadFfmpegMatrix(const std::string& bytes, const std::string& origin) {
    // Every field counts, empty ones too: "1,,2" is a missing value.
    std::vector<std::string> fields;
    const std::string text = Trimmed(bytes);
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        fields.push_back(Trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() != size_t(kMatrixEntries)) {
        throw MatrixFileError(origin + ": holds " + std::to_string(fields.size()) +
                              " comma-separated values; -intra_matrix takes exactly 64");
    }
    MatrixEntries matrix{};
    for (size_t i = 0; i < fields.size(); ++i)
        matrix[i] = ParseEntry(fields[i], EntryPosition(origin, i), kFfmpegRange);
    return matrix;
}

std::string WriteFfmpegMatrix(const MatrixEntries& matrix, const std::string& origin) {
    CheckEntries(matrix, origin, kFfmpegRange);
    std::string text;
    for (size_t i = 0; i < matrix.size(); ++i) text += (i ? "," : "") + std::to_string(matrix[i]);
    return text + "\n";
}

std::string FfmpegMatrixOption(const MatrixEntries& matrix, const std::string& origin) {
    std::string value = WriteFfmpegMatrix(matrix, origin);
    value.pop_back();
    return "-intra_matrix " + value;
}

}  // namespace vardelk

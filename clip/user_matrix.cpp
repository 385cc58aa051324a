#include "clip/user_matrix.h"

#include "clip/clip_error.h"
#include "clip/named_matrix.h"

namespace vardelk {

NamedMatrix LoadMatrix(const std::string& source) { return NamedMatrix{source, LoadNamedMatrix(source)}; }

namespace {

// "matrix NAME: entry 64 (row 8, column 8) is 300 (and 2 more above 255)",
// or "" when no AC entry is above `limit`.
std::string EntriesAboveText(const NamedMatrix& matrix, int32_t limit) {
    const EntriesAbove above = AcEntriesAbove(matrix.entries.data(), limit);
    if (above.count == 0) return "";
    const int32_t i = above.first;
    return "matrix " + matrix.name + ": entry " + std::to_string(i + 1) + " (row " + std::to_string(i / 8 + 1) +
           ", column " + std::to_string(i % 8 + 1) + ") is " + std::to_string(matrix.entries[size_t(i)]) +
           (above.count > 1 ? " (and " + std::to_string(above.count - 1) + " more above " + std::to_string(limit) + ")"
                            : "");
}

}  // namespace

void CheckEncoderMatrix(const NamedMatrix& matrix, const CodingModel& model, const std::string& user) {
    const int32_t limit = model.MaxMatrixEntry();
    const std::string above = EntriesAboveText(matrix, limit);
    if (above.empty()) return;
    throw ClipError(above + "; " + user + " carries matrix entries 1.." + std::to_string(limit) +
                    " (all but the DC weight, entry 1)");
}

std::string StreamMatrixNote(const NamedMatrix& matrix) {
    const std::string above = EntriesAboveText(matrix, kMaxStreamMatrixEntry);
    if (above.empty()) return "";
    return above + ": no MPEG-2 stream carries entries above " + std::to_string(kMaxStreamMatrixEntry) +
           ", so no encoder can code with this matrix (the filter's own model can)";
}

std::vector<std::string> WrittenMatrixFormNames() {
    std::vector<std::string> names;
    for (const MatrixFileForm& form : BuiltInMatrixFileForms())
        if (form.write != nullptr) names.push_back(form.name);
    return names;
}

std::vector<std::string> ReadMatrixFormNames() {
    std::vector<std::string> names;
    for (const MatrixFileForm& form : MatrixFormsWithStreams()) names.push_back(form.name);
    return names;
}

std::string NameList(const std::vector<std::string>& names, const char* between, const char* last) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == names.size() ? last : between) + names[i];
    return text;
}

}  // namespace vardelk

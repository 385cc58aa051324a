#include "clip/user_matrix.h"

#include "clip/clip_error.h"
#include "clip/named_matrix.h"

namespace vardelk {

NamedMatrix LoadMatrix(const std::string& source) { return NamedMatrix{source, LoadNamedMatrix(source)}; }

void CheckEncoderMatrix(const NamedMatrix& matrix, const CodingModel& model, const std::string& user) {
    const int32_t limit = model.MaxMatrixEntry();
    const EntriesAbove above = AcEntriesAbove(matrix.entries.data(), limit);
    if (above.count == 0) return;
    const int32_t i = above.first;
    throw ClipError(
        "matrix " + matrix.name + ": entry " + std::to_string(i + 1) + " (row " + std::to_string(i / 8 + 1) +
        ", column " + std::to_string(i % 8 + 1) + ") is " + std::to_string(matrix.entries[size_t(i)]) +
        (above.count > 1 ? " (and " + std::to_string(above.count - 1) + " more above " + std::to_string(limit) + ")"
                         : "") +
        "; " + user + " carries matrix entries 1.." + std::to_string(limit) + " (all but the DC weight, entry 1)");
}

}  // namespace vardelk

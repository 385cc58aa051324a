#include "matrix/stream_limit.h"

namespace vardelk {

std::string StreamLimitNote(const MatrixEntries& matrix) {
    const EntriesAbove above = AcEntriesAbove(matrix.data(), kMaxStreamMatrixEntry);
    if (above.count == 0) return "";
    const int32_t i = above.first;
    const std::string limit = std::to_string(kMaxStreamMatrixEntry);
    return "entry " + std::to_string(i + 1) + " (row " + std::to_string(i / 8 + 1) + ", column " +
           std::to_string(i % 8 + 1) + ") is " + std::to_string(matrix[size_t(i)]) +
           (above.count > 1 ? " (and " + std::to_string(above.count - 1) + " more above " + limit + ")" : "") +
           "; an MPEG-2 stream carries 1.." + limit;
}

}  // namespace vardelk

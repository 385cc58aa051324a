#include "codec/types.h"

namespace vardelk {

// Row-major, eight entries a row.
const int32_t kDefaultIntraMatrix[kMatrixEntries] = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,  //
};

EntriesAbove AcEntriesAbove(const int32_t matrix[kMatrixEntries], int32_t limit) {
    EntriesAbove above;
    for (int i = 1; i < kMatrixEntries; ++i) {
        if (matrix[i] <= limit) continue;
        above.first = above.count == 0 ? i : above.first;
        above.count += 1;
    }
    return above;
}

}  // namespace vardelk

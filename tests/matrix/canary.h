// An asymmetric matrix: row r, column c holds 8 + 20r + c, so a transposed
// or scan-ordered copy never equals it. Every value fits every file form.
#pragma once

#include "matrix/matrix_files.h"

namespace vardelk {

inline MatrixEntries CanaryMatrix() {
    MatrixEntries m{};
    for (size_t i = 0; i < m.size(); ++i) m[i] = int32_t(8 + 20 * (i / 8) + i % 8);
    return m;
}

}  // namespace vardelk

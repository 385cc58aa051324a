#include "editor/current_matrix.h"

#include <cstring>

namespace vardelk {

int32_t IntraMatrix[kMatrixEntries];

namespace {

// The matrix starts as the default one. The copy runs while the module is
// loaded, before the host can call anything (the default matrix itself is a
// constant, ready before any code runs).
struct DefaultMatrixCopy {
    DefaultMatrixCopy() { std::memcpy(IntraMatrix, kDefaultIntraMatrix, kMatrixBytes); }
} defaultMatrixCopy;

}  // namespace

}  // namespace vardelk

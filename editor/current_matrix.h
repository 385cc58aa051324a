// The module's one current intra matrix. It is also the filter's extra data,
// so the host may overwrite it with anything: the frame path reads it
// clamped and never writes it; the editor's commands write it.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

extern int32_t IntraMatrix[kMatrixEntries];

}  // namespace vardelk

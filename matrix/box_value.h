// Reading a matrix entry from the text of a matrix editor's number box (the
// module's filter window and the lab's page read their boxes alike).
#pragma once

#include <cstdint>

namespace vardelk {

// Decimal value of a box text: leading white space, an optional sign, then
// digits up to the first other character; 0 when no digit follows. A run of
// digits too long for 32 bits saturates at the nearest limit instead of
// wrapping around.
int32_t ParseBoxText(const char* text);

// A parsed value brought into the matrix range 1..4095.
int32_t ClampMatrixEntry(int32_t value);

}  // namespace vardelk

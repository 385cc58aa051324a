// Intra matrices named on the command line: a built-in preset or a file of
// 64 integers in natural row-major order.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "codec/types.h"

namespace vardelk {

struct NamedMatrix {
    std::string name;  // preset name or file path, as the user gave it
    std::array<int32_t, kMatrixEntries> entries{};
};

// `source` is "default" (the standard intra matrix), "flat16" (every entry 16)
// or the path of a matrix file. Throws CliError naming the file and the
// offending entry when the file is missing, holds other than 64 numbers, or
// holds a number outside 1..4095.
NamedMatrix LoadMatrix(const std::string& source);

// Parses the text of a matrix file: integers separated by commas and/or white
// space; '#' starts a comment running to the end of the line.
std::array<int32_t, kMatrixEntries> ParseMatrixText(const std::string& text, const std::string& origin);

}  // namespace vardelk

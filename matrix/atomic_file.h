// Files that appear only when complete: the text goes to a temporary file
// beside the destination, which is renamed over it.
#pragma once

#include <string>

namespace vardelk {

// Throws MatrixFileError starting with `origin`; leaves no temporary behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes, const std::string& origin);

}  // namespace vardelk

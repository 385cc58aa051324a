// An intra matrix under the name its curves and reports call it by.
#pragma once

#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

struct NamedMatrix {
    std::string name;  // preset name or FORMAT:FILE, as the user gave it
    MatrixEntries entries{};
};

}  // namespace vardelk

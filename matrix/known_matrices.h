// Intra matrices known by name: the MPEG-2 default, flat 16 and the twelve
// matrices MPEG-2 (DVD, VCD) encoder users pass around, with the numbers as
// they were published, what each was published for and where. Every face
// that takes a matrix takes these names; the module's own presets are its
// own and stay apart.
#pragma once

#include <string>
#include <vector>

#include "matrix/matrix_files.h"

namespace vardelk {

struct KnownMatrix {
    const char* name;       // what a user types: "manono1"
    const char* display;    // what it is called where it was published: "Manono1"
    const char* purpose;    // what it was published for
    const char* source;     // where the numbers were read
    MatrixEntries entries;  // natural order
};

// default, flat16, then the published matrices in the order docs/matrices.md lists them.
const std::vector<KnownMatrix>& KnownMatrices();

// The matrix called `name` (exactly, lower case), or null.
const KnownMatrix* FindKnownMatrix(const std::string& name);

// "default, flat16, notch, ...": the names in table order.
std::string KnownMatrixNames();

// The table for a person: each matrix's name and display name, then what it
// is for and where it comes from, one block per matrix.
std::string KnownMatricesListing();

// One matrix for a person: its block of the listing, its rows and ffmpeg's
// option for it.
std::string KnownMatrixText(const KnownMatrix& matrix);

}  // namespace vardelk

// The comparison's values as a face is given them, read where the job lives
// so that every face reads them alike: a candidate named by a matrix's name
// or file, and the encoder asked to code every point again.
#pragma once

#include <string>

#include "codec/types.h"
#include "compare/comparison.h"

namespace vardelk {

// The candidate `source` names: a named matrix under its own name, a
// matrix file (FILE or FORMAT:FILE) under its file's stem. Throws the
// matrix forms' errors for a source that is neither, and ClipError when
// `model` cannot carry its entries (`encoder` names the model there).
Candidate LoadCandidate(const std::string& source, const CodingModel& model, const std::string& encoder);

// Checks that `encoder` is the encoder that confirms `model` here and is
// installed; throws ValueError of the field "confirm" saying why not.
void CheckConfirmingEncoder(const std::string& encoder, const CodingModel& model);

}  // namespace vardelk

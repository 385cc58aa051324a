// The comparison's files in its output folder: report.json and, per band,
// band-NAME.svg and band-NAME.png: the pooled curves (mean bytes against
// the mean of the first measure over the pictures the band covers) of the
// default and the best candidates, at the band's scale codes and one more
// on each side; the encoder's curves dashed beside, when confirmed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compare/comparison.h"

namespace vardelk {

// Creates the folder if needed; returns the files written. Throws the
// writing library's error naming a file that cannot be written.
std::vector<std::string> WriteComparisonOutputs(const ComparisonResult& result, const std::string& folder,
                                                int32_t plottedCandidates);

}  // namespace vardelk

// The known name a mistyped one was meant to be: the "did you mean" of the
// tools' messages for an unknown option, command or name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vardelk {

// Edits (insertions, deletions, substitutions and swaps of neighbours) that
// turn one word into the other.
int32_t EditDistance(const std::string& a, const std::string& b);

// The name among `names` nearest to `word` when it is near enough to be the
// one meant (a third of its length, at least one edit but fewer than its
// letters), else empty; the first of equally near names wins.
std::string NearestName(const std::string& word, const std::vector<std::string>& names);

}  // namespace vardelk

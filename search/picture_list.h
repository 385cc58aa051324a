// The pictures a search is given: a picture or clip (.png, .y4m), every
// picture or clip of a folder (sorted by name), or a list file: one path a
// line, relative to the list's folder, '#' starting a comment, anything
// after the first white space ignored.
#pragma once

#include <string>
#include <vector>

namespace vardelk {

// Appends the paths `input` stands for; throws SearchError for a folder
// that cannot be read or holds none, a list that cannot be opened or names
// none.
void ExpandPictureInput(const std::string& input, std::vector<std::string>& paths);

}  // namespace vardelk

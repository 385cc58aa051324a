// Names of files as the tools tell their kinds, by their endings.
#pragma once

#include <string>

namespace vardelk {

// Whether `name` ends in `ending`, letter case as given.
bool EndsWith(const std::string& name, const std::string& ending);

// The extension of the last part of a path in lower case, without its dot
// ("png" for "Shots/A.PNG"); empty when that part has none.
std::string LowerExtension(const std::string& path);

}  // namespace vardelk

// Plain text made safe for a roff (man) source line.
#pragma once

#include <string>

namespace vardelk {

// Escapes `text` for the body of a roff line: backslashes become \(rs, the
// hyphens of words that start with one (option names, "-" for standard
// input) become the minus sign \- so that they can be typed or searched for
// as written, and every non-ASCII character becomes \[uXXXX]. A line that
// would start with a control character ('.' or '\'') is protected with \&.
// Newlines are kept; each line of the result gets that protection.
std::string RoffText(const std::string& text);

}  // namespace vardelk

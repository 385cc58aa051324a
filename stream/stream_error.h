// The one error type of the stream library: what a stream cannot carry, or
// what a stream being read does not hold, named with the value and where it
// came from.
#pragma once

#include <stdexcept>
#include <string>

namespace vardelk {

class StreamError : public std::runtime_error {
public:
    explicit StreamError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vardelk

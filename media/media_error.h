// The one error type of the media library: a message a user can act on.
#pragma once

#include <stdexcept>
#include <string>

namespace vardelk {

class MediaError : public std::runtime_error {
public:
    explicit MediaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vardelk

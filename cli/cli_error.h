// Errors the command reports to the user before exiting with a failure code.
#pragma once

#include <stdexcept>
#include <string>

namespace vardelk {

class CliError : public std::runtime_error {
public:
    explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vardelk

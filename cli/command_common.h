// What the commands share: where their text goes, and a library's refusal
// of a value put in the words of the option it came from.
#pragma once

#include <cstdio>
#include <string>

#include "cli_error.h"
#include "options.h"

namespace vardelk {

// Where tables and summaries go: standard output unless it carries data,
// then standard error; nothing when quiet.
std::FILE* TextStream(const CliOptions& options);

// A ValueError as the command reports it: the option of the error's field
// in front of the message.
CliError ForOption(const ValueError& error);

// Runs a job's `call`, turning its ValueError into the CliError of the
// option behind the error's field: a value that failed as such.
template <typename Call>
auto NamingOption(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const ValueError& error) {
        throw ForOption(error);
    }
}

// Runs `call`, turning its ValueError into a UsageError naming the option of
// the error's field: a value the command line should not have given.
template <typename Call>
auto AsUsageError(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const ValueError& error) {
        throw UsageError(ForOption(error).what());
    }
}

}  // namespace vardelk

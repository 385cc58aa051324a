// How every vardelk command ends. Its command line is parsed first: help is
// printed with status 0, a wrong line reported in our words
// (usage_messages.h) with status 2. Then Ctrl-C is
// caught and the command's work runs; a failure becomes one line on standard
// error, "PROGRAM: message", and a status: 130 when stopped by Ctrl-C
// (InterruptedError), 2 for a wrong command line found after parsing
// (UsageError), 1 for anything else.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace vardelk {

struct ExitMessages {
    std::string program;            // "vardelk", "vardelk search"
    std::string afterInterruption;  // added to the line of a stopped command
};

// Returns the command's exit status: the work's own, or a failure's.
int RunWithExitStatus(CLI::App& app, int argc, char** argv, const ExitMessages& messages,
                      const std::function<int()>& work);

// A command whose options `define` adds to an app named `program`: parsed
// and run as above, `work` given the options.
template <typename Options, typename Work>
int RunCommand(const std::string& program, int argc, char** argv, void (*define)(CLI::App&, Options&), Work work) {
    CLI::App app{"", program};
    Options options;
    define(app, options);
    return RunWithExitStatus(app, argc, argv, {program, ""}, [&]() -> int { return work(options); });
}

}  // namespace vardelk

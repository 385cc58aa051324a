#include "exit_status.h"

#include <cstdio>
#include <exception>

#include "interrupt.h"
#include "options.h"
#include "usage_messages.h"

namespace vardelk {
namespace {

constexpr int kFailed = 1;
constexpr int kWrongCommandLine = 2;
constexpr int kInterrupted = 130;  // the shell's status for a run stopped by Ctrl-C

}  // namespace

int RunWithExitStatus(CLI::App& app, int argc, char** argv, const ExitMessages& messages,
                      const std::function<int()>& work) {
    const char* program = messages.program.c_str();
    app.formatter(PlaceholderFormatter());
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // help or the version, printed
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\n", program, ParseErrorMessage(app, e, messages.program).c_str());
        return kWrongCommandLine;
    }
    InstallInterruptHandler();
    try {
        return work();
    } catch (const InterruptedError& e) {
        std::fprintf(stderr, "%s: %s%s\n", program, e.what(), messages.afterInterruption.c_str());
        return kInterrupted;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return kWrongCommandLine;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return kFailed;
    }
}

}  // namespace vardelk

// The vardelk command: parses the command line and runs a single pass or a
// sweep, turning every failure into a message and a non-zero exit status.
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "interrupt.h"
#include "matrix_source.h"
#include "options.h"
#include "run_command.h"
#include "search_command.h"
#include "sweep_command.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "search") return vardelk::RunSearchCommand(argc - 1, argv + 1);
    CLI::App app{"vardelk"};
    app.name("vardelk");
    vardelk::CliOptions options;
    vardelk::DefineOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);  // prints help, or the error with a hint
        return status == 0 ? 0 : 2;
    }
    vardelk::InstallInterruptHandler();
    try {
        vardelk::CheckOptions(app, options);
        if (!options.writeMatrix.empty()) {
            const vardelk::NamedMatrix matrix =
                vardelk::LoadMatrix(options.matrices.empty() ? "default" : options.matrices.front());
            vardelk::WriteMatrix(options.writeMatrix, options.matrixFormat, matrix.entries,
                                 vardelk::CommandLineMatrixForms());
            if (options.input.empty()) return 0;
        }
        return options.sweep ? vardelk::RunSweepCommand(options) : vardelk::RunClipCommand(options);
    } catch (const vardelk::InterruptedError& e) {
        std::fprintf(stderr, "vardelk: %s; unfinished outputs removed\n", e.what());
        return 130;  // the shell's status for a run stopped by Ctrl-C
    } catch (const vardelk::UsageError& e) {
        std::fprintf(stderr, "vardelk: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vardelk: %s\n", e.what());
        return 1;
    }
}

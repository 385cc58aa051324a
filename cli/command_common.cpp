#include "command_common.h"

namespace vardelk {

std::FILE* TextStream(const CliOptions& o) {
    if (o.quiet) return nullptr;
    return (o.output == "-" || o.saveInput == "-" || o.stats == "-") ? stderr : stdout;
}

CliError ForOption(const ValueError& error, const std::string& option) {
    struct FieldOption {
        const char* field;
        const char* option;
    };
    static const FieldOption kOptions[] = {{"input", "--input"}, {"plot", "--plot"}, {"confirm", "--confirm"},
                                           {"codes", "--codes"}, {"bpp", "--bpp"},   {"budget", "--budget"}};
    std::string name = option;
    for (const FieldOption& known : kOptions)
        if (name.empty() && error.Field() == known.field) name = known.option;
    return CliError(name.empty() ? error.what() : name + " " + error.what());
}

}  // namespace vardelk

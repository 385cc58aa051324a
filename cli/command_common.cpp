#include "command_common.h"

namespace vardelk {

std::FILE* TextStream(const CliOptions& o) {
    if (o.quiet) return nullptr;
    return (o.run.output == "-" || o.run.saveInput == "-" || o.stats == "-") ? stderr : stdout;
}

CliError ForOption(const ValueError& error) {
    struct FieldOption {
        const char* field;
        const char* option;
    };
    static const FieldOption kOptions[] = {{"input", "--input"},
                                           {"output", "--output"},
                                           {"saveInput", "--save-input"},
                                           {"logDir", "--log"},
                                           {"pictureFrame", "--picture-frame"},
                                           {"plot", "--plot"},
                                           {"confirm", "--confirm"},
                                           {"codes", "--codes"},
                                           {"bpp", "--bpp"},
                                           {"budget", "--budget"}};
    for (const FieldOption& known : kOptions)
        if (error.Field() == known.field) return CliError(std::string(known.option) + " " + error.what());
    return CliError(error.what());
}

}  // namespace vardelk

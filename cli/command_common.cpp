#include "command_common.h"

namespace vardelk {

std::FILE* TextStream(const CliOptions& o) {
    if (o.quiet) return nullptr;
    return (o.output == "-" || o.saveInput == "-" || o.stats == "-") ? stderr : stdout;
}

void CheckLogFolder(const std::string& dir) {
    if (dir.empty()) return;
    for (const char* name : {"/dct.txt", "/qdct.txt"}) {
        const std::string path = dir + name;
        std::FILE* file = std::fopen(path.c_str(), "a");
        if (file == nullptr) throw CliError("--log " + dir + ": cannot write " + path);
        std::fclose(file);
    }
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

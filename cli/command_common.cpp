#include "command_common.h"

#include <sys/stat.h>

#include "cli_error.h"
#include "media/output_file.h"

namespace vardelk {

std::FILE* TextStream(const CliOptions& o) {
    if (o.quiet) return nullptr;
    return (o.output == "-" || o.saveInput == "-" || o.stats == "-") ? stderr : stdout;
}

void CheckWritable(const std::string& path) {
    if (path.empty() || path == "-") return;
    OutputFile probe(path);  // removed again when it goes out of scope
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

void WriteOutputText(const std::string& path, const std::string& text) {
    if (path != "-") {
        WriteTextFile(path, text);
        return;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        throw CliError("standard output: write failed");
    }
}

PlacedOutputs::~PlacedOutputs() {
    if (done_) return;
    for (const std::string& path : paths_) {
        struct stat node;
        if (lstat(path.c_str(), &node) == 0 && S_ISREG(node.st_mode)) std::remove(path.c_str());
    }
}

void PlacedOutputs::Placed(const std::string& path) {
    if (!path.empty() && path != "-") paths_.push_back(path);
}

}  // namespace vardelk

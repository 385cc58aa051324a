#include "clip/job_outputs.h"

#include <sys/stat.h>

#include <cstdio>

#include "media/media_error.h"
#include "media/output_file.h"

namespace vardelk {

void CheckWritable(const std::string& path) {
    if (path.empty() || path == "-") return;
    OutputFile probe(path);  // removed again when it goes out of scope
}

void WriteOutputText(const std::string& path, const std::string& text) {
    if (path != "-") {
        WriteTextFile(path, text);
        return;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        throw MediaError("standard output: write failed");
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

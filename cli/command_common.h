// A command's outputs: where its text goes, the files checked before the
// work starts, and those placed removed again when a later one fails.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "options.h"

namespace vardelk {

// Where tables and summaries go: standard output unless it carries data,
// then standard error; nothing when quiet.
std::FILE* TextStream(const CliOptions& options);

// Fails early, before any work, when a file could not be written later.
void CheckWritable(const std::string& path);

// Checks that the coefficient logs can be created in `dir` (the pipeline
// itself skips a log it cannot open without a word).
void CheckLogFolder(const std::string& dir);

// Writes a text to a file, or to standard output for "-".
void WriteOutputText(const std::string& path, const std::string& text);

// Outputs a command has put in place, removed again should a later one fail
// (unless Done() was called): a command leaves all its files or none. Only
// regular files go; a device or standard output is never touched.
class PlacedOutputs {
public:
    PlacedOutputs() = default;
    ~PlacedOutputs();
    PlacedOutputs(const PlacedOutputs&) = delete;
    PlacedOutputs& operator=(const PlacedOutputs&) = delete;

    void Placed(const std::string& path);
    void Done() { done_ = true; }

private:
    std::vector<std::string> paths_;
    bool done_ = false;
};

}  // namespace vardelk

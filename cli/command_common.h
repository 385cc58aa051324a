// Helpers shared by the single run and the sweep.
#pragma once

#include <cstdio>
#include <string>

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

}  // namespace vardelk

// Output files that appear only when complete: data goes to a temporary file
// beside the destination, which is renamed over it on Commit(). An output
// never committed (an error, or Ctrl-C, which the command turns into an
// error between frames) leaves no file behind.
// The name "-" means standard output, written directly.
#pragma once

#include <cstdio>
#include <string>

namespace vardelk {

class OutputFile {
public:
    // Opens the temporary file at once, so an unwritable destination (a
    // folder, a missing or read-only folder) is reported before any work is
    // done.
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* Stream() { return stream_; }
    const std::string& Path() const { return path_; }
    // The name the data is written under until Commit().
    const std::string& WorkingPath() const { return tempPath_; }
    bool IsStandardOutput() const { return path_ == "-"; }
    // Flushes, closes and renames; throws MediaError when any step fails.
    void Commit();

private:
    void Discard();

    std::string path_;
    std::string tempPath_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
};

// Writes a whole text to a file through OutputFile.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace vardelk

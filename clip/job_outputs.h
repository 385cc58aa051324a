// The files a job writes (a run, a sweep, a search): checked before the
// work starts, text written to a file or standard output, and those placed
// removed again when a later one fails.
#pragma once

#include <string>
#include <vector>

namespace vardelk {

// Fails early, before any work, when a file could not be written later.
void CheckWritable(const std::string& path);

// Writes a text to a file, or to standard output for "-"; throws MediaError
// when either fails.
void WriteOutputText(const std::string& path, const std::string& text);

// Outputs a job has put in place, removed again should a later one fail
// (unless Done() was called): a job leaves all its files or none. Only
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

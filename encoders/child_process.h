// Other programs run for us: found on PATH, started without a shell, their
// output sent to files, and a private folder for the files they exchange
// with us.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vardelk {

// The full path of an executable `name` in one of PATH's folders, or ""
// when there is none (or PATH is unset, or `name` holds a '/').
std::string FindOnPath(const std::string& name);

struct ChildResult {
    bool exited = false;  // false: killed by a signal
    int status = 0;       // the exit status, or the signal's number
    bool Succeeded() const { return exited && status == 0; }
    // "exit status 1" or "killed by signal 9".
    std::string Describe() const;
};

// Runs `arguments` (the program's full path first) with standard input from
// /dev/null and standard output and error to the files named (created or
// truncated; "" for /dev/null), and waits for it. Throws EncoderError when
// it cannot be started.
ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& outputPath,
                     const std::string& errorPath);

// The last lines of a text file, at most `limit` characters, for messages.
std::string FileTail(const std::string& path, size_t limit = 600);
// The first line of a text file ("" when there is none).
std::string FileFirstLine(const std::string& path);

// A folder of our own under TMPDIR (or /tmp), named PREFIX-XXXXXX, removed
// with everything in it when the object goes. Throws EncoderError when it
// cannot be made.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "vardelk");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace vardelk

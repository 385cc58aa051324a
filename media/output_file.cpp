#include "media/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "media/media_error.h"

namespace vardelk {
namespace {

// Binary data on Windows; never inherited by a program the tools start.
#if defined(O_BINARY)
constexpr int kOpenFlags = O_BINARY;
#else
constexpr int kOpenFlags = O_CLOEXEC;
#endif

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (IsStandardOutput()) {
        stream_ = stdout;
        return;
    }
    // A device or a pipe (/dev/null, /dev/full, a FIFO) is written in place:
    // renaming a temporary file over it would replace the node itself.
    struct stat existing;
    const bool exists = stat(path_.c_str(), &existing) == 0;
    // The temporary file beside a folder could be made, but never renamed
    // over it: refused now, before any work.
    if (exists && S_ISDIR(existing.st_mode)) throw MediaError(path_ + ": cannot be written (Is a directory)");
    if (exists && !S_ISREG(existing.st_mode)) {
        stream_ = std::fopen(path_.c_str(), "wb");
        if (stream_ == nullptr) throw MediaError(path_ + ": cannot be written (" + std::strerror(errno) + ")");
        return;
    }
    // A new name in the destination's folder, so the final rename stays on
    // one file system; created with the mode every new file gets (0666 less
    // the umask), so no one has to change the process-wide umask to learn it
    // while other threads create files.
    // The name carries the process and this object's address, which no
    // other live writer of this process shares.
    int fd = -1;
    const std::string unique = std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this));
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tempPath_ = path_ + ".partial-" + unique + "-" + std::to_string(attempt);
        fd = open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int error = errno;
        tempPath_.clear();
        throw MediaError(path_ + ": cannot be written (" + std::strerror(error) + ")");
    }
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        close(fd);
        Discard();
        throw MediaError(path_ + ": cannot be written");
    }
}

OutputFile::~OutputFile() {
    if (!committed_ && !IsStandardOutput()) Discard();
}

void OutputFile::Discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!tempPath_.empty()) std::remove(tempPath_.c_str());
}

void OutputFile::Commit() {
    if (IsStandardOutput()) {
        if (std::fflush(stdout) != 0) throw MediaError("standard output: write failed");
        committed_ = true;
        return;
    }
    const bool flushed = std::fflush(stream_) == 0 && !std::ferror(stream_);
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!flushed || !closed) throw MediaError(path_ + ": write failed (disk full?)");
    if (tempPath_.empty()) {  // written in place
        committed_ = true;
        return;
    }
    // std::filesystem replaces an existing file on every system (a plain
    // rename does not on Windows).
    std::error_code error;
    std::filesystem::rename(tempPath_, path_, error);
    if (error) throw MediaError(path_ + ": cannot be written (" + error.message() + ")");
    committed_ = true;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    OutputFile file(path);
    if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size()) {
        throw MediaError(path + ": write failed");
    }
    file.Commit();
}

}  // namespace vardelk

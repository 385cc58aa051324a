#include "media/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "media/media_error.h"

namespace vardelk {

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
    // mkstemp gives a unique name in the destination's folder, so the final
    // rename stays on one file system.
    std::string pattern = path_ + ".partial-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw MediaError(path_ + ": cannot be written (" + std::strerror(errno) + ")");
    tempPath_ = pattern;
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
    // mkstemp creates the file readable by the owner only; give it the usual
    // permissions a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(tempPath_.c_str(), 0666 & ~mask);
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        throw MediaError(path_ + ": cannot be written (" + std::strerror(errno) + ")");
    }
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

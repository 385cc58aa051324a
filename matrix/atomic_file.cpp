#include "matrix/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "matrix/matrix_files.h"

namespace vardelk {

void WriteFileAtomically(const std::string& path, const std::string& bytes, const std::string& origin) {
    // mkstemp names a new file in the destination's folder, so the rename
    // stays on one file system and replaces the old file in one step.
    std::string temporary = path + ".partial-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) throw MatrixFileError(origin + ": cannot be written (" + std::strerror(errno) + ")");
    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) {
        close(fd);
        std::remove(temporary.c_str());
        throw MatrixFileError(origin + ": cannot be written (" + std::strerror(errno) + ")");
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() && std::fflush(stream) == 0;
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        throw MatrixFileError(origin + ": write failed (disk full?)");
    }
#ifndef _WIN32
    // mkstemp makes the file private; give it the permissions a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporary.c_str(), 0666 & ~mask);
#endif
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        throw MatrixFileError(origin + ": cannot be written (" + error.message() + ")");
    }
}

}  // namespace vardelk

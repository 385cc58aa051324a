#include "matrix/atomic_file.h"

#include <cstdio>

#include "matrix/matrix_files.h"
#include "media/media_error.h"
#include "media/output_file.h"

namespace vardelk {

void WriteFileAtomically(const std::string& path, const std::string& bytes, const std::string& origin) {
    // The tools' one writer of files that appear only when complete; its
    // message names the path, which the caller's origin replaces.
    try {
        OutputFile file(path);
        if (std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size()) {
            throw MediaError(path + ": write failed (disk full?)");
        }
        file.Commit();
    } catch (const MediaError& error) {
        std::string message = error.what();
        if (message.compare(0, path.size(), path) == 0) message = origin + message.substr(path.size());
        throw MatrixFileError(message);
    }
}

}  // namespace vardelk

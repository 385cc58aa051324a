#include "clip/named_matrix.h"

#include <sys/stat.h>

#include <fstream>

#include "matrix/known_matrices.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"

namespace vardelk {
namespace {

// Text forms hold a few hundred bytes; a file beyond this is no matrix file,
// and reading stops here rather than filling memory.
constexpr size_t kMaxTextFormBytes = size_t(1) << 20;

// A video elementary stream starts with a sequence header's start code.
bool IsStream(const std::string& bytes) { return bytes.compare(0, 4, std::string("\0\0\1\xb3", 4)) == 0; }

template <typename Read>
MatrixEntries ReadStreamMatrixAs(const std::string& origin, Read read) {
    try {
        return read();
    } catch (const StreamError& error) {
        throw MatrixFileError(origin + ": " + error.what());
    }
}

MatrixEntries ReadStreamBytes(const std::string& bytes, const std::string& origin) {
    return ReadStreamMatrixAs(
        origin, [&] { return ReadIntraMatrix(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); });
}

}  // namespace

const std::vector<MatrixFileForm>& MatrixFormsWithStreams() {
    static const std::vector<MatrixFileForm> forms = [] {
        std::vector<MatrixFileForm> all = BuiltInMatrixFileForms();
        all.insert(all.begin(), {"stream", "MPEG-1/2 video: the first loaded intra matrix, else the default",
                                 ReadStreamBytes, IsStream, nullptr});
        return all;
    }();
    return forms;
}

MatrixEntries LoadNamedMatrix(const std::string& source) {
    // A name comes before a file of that name, which "./NAME" still reads.
    if (const KnownMatrix* known = FindKnownMatrix(source)) return known->entries;
    const MatrixFileName name = SplitMatrixFileName(source, MatrixFormsWithStreams());
    // Only regular files: a FIFO would block its reader and a device may
    // never end.
    struct stat node;
    if (stat(name.path.c_str(), &node) == 0 && !S_ISREG(node.st_mode))
        throw MatrixFileError("matrix file " + name.path + ": is not a regular file");
    std::ifstream file(name.path, std::ios::binary);
    if (!file)
        throw MatrixFileError("matrix file " + name.path + ": cannot be opened (the named matrices are " +
                              KnownMatrixNames() + ")");
    // A stream may be a whole disc's worth: it is read piece by piece.
    char start[4] = {};
    file.read(start, 4);
    const bool stream = name.form != nullptr ? std::string(name.form->name) == "stream"
                                             : IsStream(std::string(start, size_t(file.gcount())));
    if (stream) {
        return ReadStreamMatrixAs("stream matrix file " + name.path,
                                  [&] { return ReadIntraMatrixFromStream(name.path); });
    }
    file.clear();
    file.seekg(0);
    std::string bytes(kMaxTextFormBytes + 1, '\0');
    file.read(bytes.data(), std::streamsize(bytes.size()));
    if (file.bad()) throw MatrixFileError("matrix file " + name.path + ": read error");
    bytes.resize(size_t(file.gcount()));
    if (bytes.size() > kMaxTextFormBytes)
        throw MatrixFileError("matrix file " + name.path + ": larger than any matrix file (1 MiB)");
    return ReadMatrixBytes(bytes, name.path, name.form, MatrixFormsWithStreams());
}

}  // namespace vardelk

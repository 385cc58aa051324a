#include "matrix_source.h"

#include <fstream>
#include <sstream>

#include "cli_error.h"
#include "clip/named_matrix.h"
#include "matrix/forms.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"

namespace vardelk {

namespace {

// MPEG-1/2 video: the intra matrix of the first sequence header that loads
// one, else the standard's default. The stream reader names what it could
// not follow; the matrix file goes in front, as for every other form.
template <typename Read>
MatrixEntries ReadStreamMatrixAs(const std::string& origin, Read read) {
    try {
        return read();
    } catch (const StreamError& error) {
        throw MatrixFileError(origin + ": " + error.what());
    }
}

// A video elementary stream starts with a sequence header's start code.
bool IsStream(const std::string& bytes) { return bytes.compare(0, 4, std::string("\0\0\1\xb3", 4)) == 0; }

}  // namespace

const std::vector<MatrixFileForm>& CommandLineMatrixForms() {
    // The library's forms with MPEG-1/2 video streams in front, as every
    // native face reads them.
    return MatrixFormsWithStreams();
}

std::array<int32_t, kMatrixEntries> ParseMatrixText(const std::string& text, const std::string& origin) {
    return ReadPlainMatrix(text, origin);
}

void CheckEncoderMatrix(const NamedMatrix& matrix, const CodingModel& model, const std::string& user) {
    const int32_t limit = model.MaxMatrixEntry();
    const EntriesAbove above = AcEntriesAbove(matrix.entries.data(), limit);
    if (above.count == 0) return;
    const int32_t i = above.first;
    throw CliError(
        "matrix " + matrix.name + ": entry " + std::to_string(i + 1) + " (row " + std::to_string(i / 8 + 1) +
        ", column " + std::to_string(i % 8 + 1) + ") is " + std::to_string(matrix.entries[size_t(i)]) +
        (above.count > 1 ? " (and " + std::to_string(above.count - 1) + " more above " + std::to_string(limit) + ")"
                         : "") +
        "; " + user + " carries matrix entries 1.." + std::to_string(limit) + " (all but the DC weight, entry 1)");
}

NamedMatrix LoadMatrix(const std::string& source) {
    NamedMatrix matrix;
    matrix.name = source;
    if (source == "default") {
        for (int i = 0; i < kMatrixEntries; ++i) matrix.entries[size_t(i)] = kDefaultIntraMatrix[i];
        return matrix;
    }
    if (source == "flat16") {
        matrix.entries.fill(16);
        return matrix;
    }
    const MatrixFileName name = SplitMatrixFileName(source, CommandLineMatrixForms());
    std::ifstream file(name.path, std::ios::binary);
    if (!file) {
        throw CliError("matrix file " + name.path + ": cannot be opened (presets are 'default' and 'flat16')");
    }
    // A stream may be a whole disc's worth: it is read piece by piece.
    char start[4] = {};
    file.read(start, 4);
    const bool stream = name.form != nullptr ? std::string(name.form->name) == "stream"
                                             : IsStream(std::string(start, size_t(file.gcount())));
    if (stream) {
        matrix.entries =
            ReadStreamMatrixAs("stream matrix file " + name.path, [&] { return ReadIntraMatrixFromStream(name.path); });
        return matrix;
    }
    file.clear();
    file.seekg(0);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) throw CliError("matrix file " + name.path + ": read error");
    matrix.entries = ReadMatrixBytes(bytes.str(), name.path, name.form, CommandLineMatrixForms());
    return matrix;
}

}  // namespace vardelk

#include "matrix_source.h"

#include <fstream>
#include <sstream>

#include "cli_error.h"
#include "matrix/forms.h"

namespace vardelk {

const std::vector<MatrixFileForm>& CommandLineMatrixForms() {
    // Forms read by other libraries join here, one entry each. Recognisers
    // are tried in table order before a file falls back to plain, so a form
    // that is recognised by a signature goes first, e.g.
    //     all.insert(all.begin(), {"stream", "...", ReadStreamMatrix, IsStream, nullptr});
    static const std::vector<MatrixFileForm> forms = [] {
        std::vector<MatrixFileForm> all = BuiltInMatrixFileForms();
        return all;
    }();
    return forms;
}

std::array<int32_t, kMatrixEntries> ParseMatrixText(const std::string& text, const std::string& origin) {
    try {
        return ReadPlainMatrix(text, origin);
    } catch (const MatrixFileError& error) {
        throw CliError(error.what());
    }
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
    const MatrixFileSpec spec = SplitMatrixFileSpec(source, CommandLineMatrixForms());
    std::ifstream file(spec.path, std::ios::binary);
    if (!file) {
        throw CliError("matrix file " + spec.path + ": cannot be opened (presets are 'default' and 'flat16')");
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) throw CliError("matrix file " + spec.path + ": read error");
    try {
        matrix.entries = ReadMatrixBytes(bytes.str(), spec.path, spec.form, CommandLineMatrixForms());
    } catch (const MatrixFileError& error) {
        throw CliError(error.what());
    }
    return matrix;
}

}  // namespace vardelk

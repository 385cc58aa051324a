#include "matrix/matrix_files.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "matrix/atomic_file.h"
#include "matrix/forms.h"

namespace vardelk {

const std::vector<MatrixFileForm>& BuiltInMatrixFileForms() {
    static const std::vector<MatrixFileForm> forms = {
        {"plain", "64 integers 1..4095, commas or white space, '#' comments", ReadPlainMatrix, nullptr,
         WritePlainMatrix},
        {"ffmpeg", "the value of ffmpeg's -intra_matrix: 64 comma-separated integers 1..255", ReadFfmpegMatrix, nullptr,
         WriteFfmpegMatrix},
        {"x264", "x264's --cqmfile: the INTRA8X8_LUMA list, 1..255", ReadX264Matrix, IsX264Matrix, WriteX264Matrix},
        {"mpeg2enc", "mpeg2enc's -K file=: 16 lines of 8, intra then non-intra, 1..255", ReadMpeg2encMatrix,
         IsMpeg2encMatrix, WriteMpeg2encMatrix},
        {"cjpeg", "cjpeg's -qtables: the first table of 64, 1..255", ReadCjpegMatrix, IsCjpegTableSet,
         WriteCjpegMatrix},
        {"tmpgenc", "TMPGEnc's matrix file: [Intra] rows matrix0= .. matrix7=, then [NonIntra], 1..255",
         ReadTmpgencMatrix, IsTmpgencMatrix, WriteTmpgencMatrix},
    };
    return forms;
}

namespace {

const MatrixFileForm* FindForm(const std::string& name, const std::vector<MatrixFileForm>& forms) {
    for (const MatrixFileForm& form : forms) {
        if (name == form.name) return &form;
    }
    return nullptr;
}

std::string FormNames(const std::vector<MatrixFileForm>& forms, bool writableOnly) {
    std::string names;
    for (const MatrixFileForm& form : forms) {
        if (writableOnly && form.write == nullptr) continue;
        names += (names.empty() ? "" : ", ") + std::string(form.name);
    }
    return names;
}

}  // namespace

MatrixFileName SplitMatrixFileName(const std::string& name, const std::vector<MatrixFileForm>& forms) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
        if (const MatrixFileForm* form = FindForm(name.substr(0, colon), forms)) return {form, name.substr(colon + 1)};
    }
    return {nullptr, name};
}

const MatrixFileForm& RecogniseMatrixFileForm(const std::string& bytes, const std::vector<MatrixFileForm>& forms) {
    for (const MatrixFileForm& form : forms) {
        if (form.recognise != nullptr && form.recognise(bytes)) return form;
    }
    const MatrixFileForm* plain = FindForm("plain", forms);
    if (plain == nullptr) throw MatrixFileError("matrix file forms: the table has no 'plain' form");
    return *plain;
}

std::string MatrixFileOrigin(const MatrixFileForm& form, const std::string& path) {
    return std::strcmp(form.name, "plain") == 0 ? "matrix file " + path
                                                : std::string(form.name) + " matrix file " + path;
}

MatrixEntries ReadMatrixBytes(const std::string& bytes, const std::string& path, const MatrixFileForm* form,
                              const std::vector<MatrixFileForm>& forms) {
    const MatrixFileForm& chosen = form != nullptr ? *form : RecogniseMatrixFileForm(bytes, forms);
    return chosen.read(bytes, MatrixFileOrigin(chosen, path));
}

MatrixEntries ReadMatrixFile(const std::string& name, const std::vector<MatrixFileForm>& forms) {
    const MatrixFileName split = SplitMatrixFileName(name, forms);
    std::ifstream file(split.path, std::ios::binary);
    if (!file) throw MatrixFileError("matrix file " + split.path + ": cannot be opened");
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) throw MatrixFileError("matrix file " + split.path + ": read error");
    return ReadMatrixBytes(bytes.str(), split.path, split.form, forms);
}

void WriteMatrix(const std::string& path, const std::string& format, const MatrixEntries& matrix,
                 const std::vector<MatrixFileForm>& forms) {
    const MatrixFileForm* form = FindForm(format, forms);
    if (form == nullptr || form->write == nullptr) {
        throw MatrixFileError("writing matrix file " + path + ": no written form '" + format +
                              "' (forms: " + FormNames(forms, true) + ")");
    }
    const std::string origin = "writing " + MatrixFileOrigin(*form, path);
    WriteFileAtomically(path, form->write(matrix, origin), origin);
}

}  // namespace vardelk

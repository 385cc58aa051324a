// Intra matrices in the file forms encoders read, all in natural (row-major)
// order: entry r x 8 + c is row r, column c. Each form has a reader, an
// optional writer and an optional recogniser; the table is a plain list so
// that a front end can append forms of its own (a stream reader, say).
//
// A file named without a form is recognised by these rules, in this order,
// after '#' comments are removed:
//   - it names an x264 list (INTRA4X4, INTER4X4, INTRA8X8, INTER8X8)  -> x264
//   - it is exactly 16 non-empty lines of 8 comma-separated values     -> mpeg2enc
//   - it holds only numbers and white space, 128, 192 or 256 of them   -> cjpeg
//   - it has an [Intra] section line                                   -> tmpgenc
//   - anything else, including every 64-number file                    -> plain
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/types.h"
#include "media/error.h"

namespace vardelk {

using MatrixEntries = std::array<int32_t, kMatrixEntries>;

// The matrix library's error: a file that cannot be read or written as
// asked; the message names the file and, for a bad value, the entry (row,
// column, counted from 1) and the value. media/error.h has the rule for all
// layers.
class MatrixFileError : public Error {
public:
    using Error::Error;
};

struct MatrixFileForm {
    const char* name;     // the FORMAT of FORMAT:FILE
    const char* summary;  // one line for help texts
    // Reads a file's bytes; `origin` ("x264 matrix file q.cfg") starts every message.
    MatrixEntries (*read)(const std::string& bytes, const std::string& origin);
    // True when the bytes can only be this form; null for forms never recognised.
    bool (*recognise)(const std::string& bytes);
    // The whole file for a matrix; null for forms that are only read. Throws
    // MatrixFileError (starting with `origin`) for entries outside the form's range.
    std::string (*write)(const MatrixEntries& matrix, const std::string& origin);
};

// The forms this library knows: plain, ffmpeg, x264, mpeg2enc, cjpeg, tmpgenc.
const std::vector<MatrixFileForm>& BuiltInMatrixFileForms();

// "FORMAT:FILE" when FORMAT names one of `forms`; anything else is a path
// whose form is recognised from its content (form stays null).
struct MatrixFileName {
    const MatrixFileForm* form = nullptr;
    std::string path;
};
MatrixFileName SplitMatrixFileName(const std::string& name, const std::vector<MatrixFileForm>& forms);

// The form the bytes are read as: the recognised one, else the form named "plain".
const MatrixFileForm& RecogniseMatrixFileForm(const std::string& bytes, const std::vector<MatrixFileForm>& forms);

// "matrix file PATH" for the plain form, "NAME matrix file PATH" for the others.
std::string MatrixFileOrigin(const MatrixFileForm& form, const std::string& path);

// Reads the bytes of the file at `path` in `form` (null: recognise it).
MatrixEntries ReadMatrixBytes(const std::string& bytes, const std::string& path, const MatrixFileForm* form,
                              const std::vector<MatrixFileForm>& forms);

// Opens and reads a file named as above.
MatrixEntries ReadMatrixFile(const std::string& name,
                             const std::vector<MatrixFileForm>& forms = BuiltInMatrixFileForms());

// Writes the matrix to `path` in the named form; the file appears only when
// complete (a temporary file beside it is renamed over it).
void WriteMatrix(const std::string& path, const std::string& format, const MatrixEntries& matrix,
                 const std::vector<MatrixFileForm>& forms = BuiltInMatrixFileForms());

}  // namespace vardelk

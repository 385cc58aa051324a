// The lab's matrix files: the command line's file forms, read from and
// written to memory. Bad files and entries a form cannot hold come back as
// the library's messages, never as exceptions, so the caller needs no
// exception support.
#pragma once

#include <cstddef>
#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

// Larger files are refused unread: the largest form is a few kilobytes.
constexpr size_t kMaxMatrixFileBytes = 1 << 20;

struct MatrixFileResult {
    bool ok = false;
    MatrixEntries entries{};  // read: the 64 entries
    std::string text;         // written: the file's bytes
    std::string form;         // the form read or written
    std::string message;      // why not, when !ok
};

// The built-in forms' names, in the order the page lists them.
size_t MatrixFormCount();
const char* MatrixFormName(size_t index);

// Reads a file's bytes in the named form, or in the form recognised from the
// bytes when formName is empty. `name` is the file's name for messages.
MatrixFileResult ImportMatrix(const std::string& bytes, const std::string& name, const std::string& formName);

// The file in the named form for a matrix; `name` as above.
MatrixFileResult ExportMatrix(const MatrixEntries& matrix, const std::string& name, const std::string& formName);

}  // namespace vardelk

// The readers, writers and recognisers of the built-in file forms; the
// table in matrix_files.cpp is their only user.
#pragma once

#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

MatrixEntries ReadPlainMatrix(const std::string& bytes, const std::string& origin);
std::string WritePlainMatrix(const MatrixEntries& matrix, const std::string& origin);

MatrixEntries ReadFfmpegMatrix(const std::string& bytes, const std::string& origin);
std::string WriteFfmpegMatrix(const MatrixEntries& matrix, const std::string& origin);

MatrixEntries ReadX264Matrix(const std::string& bytes, const std::string& origin);
std::string WriteX264Matrix(const MatrixEntries& matrix, const std::string& origin);
bool IsX264Matrix(const std::string& bytes);

MatrixEntries ReadMpeg2encMatrix(const std::string& bytes, const std::string& origin);
std::string WriteMpeg2encMatrix(const MatrixEntries& matrix, const std::string& origin);
bool IsMpeg2encMatrix(const std::string& bytes);

MatrixEntries ReadCjpegMatrix(const std::string& bytes, const std::string& origin);
std::string WriteCjpegMatrix(const MatrixEntries& matrix, const std::string& origin);
bool IsCjpegTableSet(const std::string& bytes);

MatrixEntries ReadTmpgencMatrix(const std::string& bytes, const std::string& origin);
std::string WriteTmpgencMatrix(const MatrixEntries& matrix, const std::string& origin);
bool IsTmpgencMatrix(const std::string& bytes);

}  // namespace vardelk

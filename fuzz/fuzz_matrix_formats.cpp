// Every matrix file form over arbitrary bytes: each reader either refuses
// with a MatrixFileError naming its file, or returns entries in range that
// its writer (where it has one) writes and reads back unchanged. The first
// byte picks the form; recognition is tried on the same bytes. A TMPGEnc
// file's two matrices both read back from what is written, and a matrix
// ffmpeg can take reads back from the option text printed for it.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "matrix/ffmpeg_option.h"
#include "matrix/matrix_files.h"
#include "matrix/tmpgenc_form.h"

namespace {

void CheckTmpgencPair(const std::string& bytes) {
    const vardelk::TmpgencMatrices read = vardelk::ReadTmpgencMatrices(bytes, "tmpgenc matrix file f.txt");
    const std::string written = vardelk::WriteTmpgencMatrices(read.intra, read.nonIntra, "again");
    const vardelk::TmpgencMatrices again = vardelk::ReadTmpgencMatrices(written, "again");
    FUZZ_CHECK(again.intra == read.intra && again.nonIntra == read.nonIntra && again.hasNonIntra);
}

void CheckFfmpegOption(const vardelk::MatrixEntries& entries, const std::vector<vardelk::MatrixFileForm>& forms) {
    for (int32_t v : entries) {
        if (v > 255) return;
    }
    const std::string option = vardelk::FfmpegMatrixOption(entries, "again");
    const std::string prefix = "-intra_matrix ";
    FUZZ_CHECK(option.compare(0, prefix.size(), prefix) == 0);
    for (const vardelk::MatrixFileForm& ffmpeg : forms) {
        if (std::strcmp(ffmpeg.name, "ffmpeg") == 0)
            FUZZ_CHECK(ffmpeg.read(option.substr(prefix.size()), "again") == entries);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::vector<vardelk::MatrixFileForm>& forms = vardelk::BuiltInMatrixFileForms();
    const vardelk::MatrixFileForm* named = data[0] < forms.size() ? &forms[data[0]] : nullptr;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const vardelk::MatrixFileForm& form = named ? *named : vardelk::RecogniseMatrixFileForm(bytes, forms);
    try {
        const vardelk::MatrixEntries entries = vardelk::ReadMatrixBytes(bytes, "f.txt", named, forms);
        for (int32_t v : entries) FUZZ_CHECK(v >= vardelk::kMinMatrixEntry && v <= vardelk::kMaxMatrixEntry);
        if (form.write != nullptr) {
            const std::string written = form.write(entries, "again");
            FUZZ_CHECK(form.read(written, "again") == entries);
        }
        if (std::strcmp(form.name, "tmpgenc") == 0) CheckTmpgencPair(bytes);
        CheckFfmpegOption(entries, forms);
    } catch (const vardelk::MatrixFileError& error) {
        FUZZ_CHECK(std::strstr(error.what(), "matrix file f.txt: ") != nullptr);
    }
    return 0;
}

// Every matrix file form over arbitrary bytes: each reader either refuses
// with a MatrixFileError naming its file, or returns entries in range that
// its writer (where it has one) writes and reads back unchanged. The first
// byte picks the form; recognition is tried on the same bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "matrix/matrix_files.h"

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
    } catch (const vardelk::MatrixFileError& error) {
        FUZZ_CHECK(std::strstr(error.what(), "matrix file f.txt: ") != nullptr);
    }
    return 0;
}

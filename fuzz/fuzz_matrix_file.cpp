// The text of a matrix file in our own plain form: anything that is
// not exactly 64 integers in 1..4095 must be refused with a MatrixFileError naming
// the file; whatever is accepted must read back the same when written out.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/types.h"
#include "fuzz/fuzz_support.h"
#include "matrix/forms.h"
#include "matrix/matrix_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const auto entries = vardelk::ReadPlainMatrix(text, "m.txt");
        std::string written;
        for (size_t i = 0; i < entries.size(); ++i) {
            FUZZ_CHECK(entries[i] >= vardelk::kMinMatrixEntry && entries[i] <= vardelk::kMaxMatrixEntry);
            written += std::to_string(entries[i]) + (i % 8 == 7 ? "\n" : ", ");
        }
        FUZZ_CHECK(vardelk::ReadPlainMatrix(written, "again") == entries);
    } catch (const vardelk::MatrixFileError& error) {
        FUZZ_CHECK(std::strncmp(error.what(), "m.txt: ", 7) == 0);
    }
    return 0;
}

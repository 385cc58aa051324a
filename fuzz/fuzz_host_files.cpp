// The reference host's input files: raw YC frames, Y4M streams and the
// matrix file, each from arbitrary bytes. The geometry is checked first as
// the host's command line does; frames are read into a buffer of exactly
// the picture's size so that ASan sees any write beyond it.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "codec/types.h"
#include "fuzz/fuzz_support.h"
#include "reference_host/frame_files.h"

namespace {

// The readers take paths, so each input goes through a scratch file; the
// three are removed when the process ends.
struct ScratchFiles {
    std::string base = "/tmp/vardelk_fuzz_host_" + std::to_string(getpid());
    ~ScratchFiles() {
        for (const char* suffix : {".txt", ".yc", ".y4m"}) std::remove((base + suffix).c_str());
    }
};

std::string ScratchPath(const char* suffix) {
    static const ScratchFiles files;
    return files.base + suffix;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const int kind = provider.ConsumeIntegralInRange<int>(0, 2);
    const int32_t width = provider.ConsumeIntegralInRange<int32_t>(1, 40);
    const int32_t height = provider.ConsumeIntegralInRange<int32_t>(1, 40);
    const std::string bytes = provider.ConsumeRemainingBytesAsString();
    std::string error;

    if (kind == 2) {
        const std::string path = ScratchPath(".txt");
        WriteFile(path, bytes);
        int32_t matrix[vardelk::kMatrixEntries];
        if (vardelk::ReadPlainMatrixFile(path, matrix, &error)) {
            for (int32_t entry : matrix) FUZZ_CHECK(entry >= 1 && entry <= 4095);
        } else {
            FUZZ_CHECK(!error.empty());
        }
        return 0;
    }

    const std::string path = ScratchPath(kind == 0 ? ".yc" : ".y4m");
    WriteFile(path, bytes);
    vardelk::FrameReader reader;
    if (!reader.Open(path, width, height, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // Large Y4M pictures are refused here as a host with small frames would.
    if (reader.Width() * int64_t{reader.Height()} > 4096) return 0;
    const size_t pixels = size_t(reader.Width()) * size_t(reader.Height());
    std::unique_ptr<vardelk::host::YcPixel[]> frame(new vardelk::host::YcPixel[pixels]);
    for (int frames = 0; frames < 8; ++frames) {
        error.clear();
        if (!reader.Read(frame.get(), reader.Width(), &error)) break;
    }
    return 0;
}

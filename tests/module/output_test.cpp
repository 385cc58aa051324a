// The 32-bit module run by the reference host under Wine must give, frame
// for frame, the same samples and byte counts as the native pipeline.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/host_frame.h"

namespace vardelk {
namespace {

const std::string kBuild = VARDELK_WINDOWS_BUILD;

class ModuleOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (kBuild.empty()) {
            GTEST_SKIP() << "VARDELK_WINDOWS_BUILD is not set";
        }
        host = kBuild + "/reference_host/reference_host.exe";
        module = kBuild + "/plugin/vardelk.auf";
        if (!Exists(host) || !Exists(module) || std::system("command -v wine >/dev/null") != 0) {
            GTEST_SKIP() << "no cross build or no wine at " << kBuild;
        }
        dir = ::testing::TempDir();
    }

    static bool Exists(const std::string& path) { return std::ifstream(path).good(); }

    // Runs the host with the given options; returns its exit status and
    // leaves its messages in log.
    int RunHost(const std::string& options) {
        const std::string display = std::getenv("DISPLAY") ? "" : "xvfb-run -a ";
        const std::string command = "WINEDEBUG=-all timeout 300 " + display + "wine " + host + " --module " + module +
                                    " " + options + " >" + dir + "host.log 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(dir + "host.log");
        std::stringstream text;
        text << in.rdbuf();
        log = text.str();
        return status;
    }

    std::string host, module, dir, log;
};

std::vector<host::YcPixel> RandomFrames(int pixels, int frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> luma(0, 255), chroma(-128, 127);
    std::vector<host::YcPixel> all(static_cast<size_t>(pixels) * frames);
    for (host::YcPixel& p : all) {
        p = {static_cast<int16_t>(luma(random) * 16), static_cast<int16_t>(chroma(random) * 16),
             static_cast<int16_t>(chroma(random) * 16 + 3)};
    }
    return all;
}

template <typename T>
void WriteFile(const std::string& path, const std::vector<T>& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size() * sizeof(T));
}

struct Case {
    const char* options;
    CodingSettings settings;
    bool customMatrix;
};

TEST_F(ModuleOutputTest, FramesMatchTheNativePipelineSampleForSample) {
    constexpr int kWidth = 45, kHeight = 35, kMaxWidth = 64, kMaxHeight = 48, kFrames = 3;
    const std::vector<host::YcPixel> input = RandomFrames(kWidth * kHeight, kFrames, 11);
    WriteFile(dir + "in.yc", input);
    int32_t matrix[kMatrixEntries];
    std::string matrixText = "# a matrix of our own\n";
    for (int i = 0; i < kMatrixEntries; ++i) {
        matrix[i] = 1 + (i * 97) % 300;
        matrixText += std::to_string(matrix[i]) + (i % 8 == 7 ? "  # row end\n" : ", ");
    }
    std::ofstream(dir + "matrix.txt") << matrixText;

    const Case cases[] = {
        {"", CodingSettings{}, false},
        {"--scale 25 --nonlinear 1 --alternate 1 --interlaced 1 --matrix ", CodingSettings{25, true, true, true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string options = std::string(c.options) + (c.customMatrix ? dir + "matrix.txt" : "");
        options += " --input " + dir + "in.yc --width 45 --height 35 --max-width 64 --max-height 48" + " --output " +
                   dir + "out.yc --sizes " + dir + "sizes.txt";
        ASSERT_EQ(RunHost(options), 0) << log;
        std::ifstream out(dir + "out.yc", std::ios::binary);
        std::ifstream sizes(dir + "sizes.txt");
        std::vector<host::YcPixel> a(kMaxWidth * kMaxHeight), b(a.size()), got(kWidth * kHeight);
        for (int f = 0; f < kFrames; ++f) {
            for (int y = 0; y < kHeight; ++y) {
                std::memcpy(&a[y * kMaxWidth], &input[(f * kHeight + y) * kWidth], kWidth * 6);
            }
            host::FrameProcInfo frame{0, a.data(), b.data(), kWidth, kHeight, kMaxWidth, kMaxHeight};
            FrameCoder coder;
            const int32_t bytes = CodeHostFrame(coder, ModuleSettings{c.settings, false},
                                                c.customMatrix ? matrix : kDefaultIntraMatrix, frame);
            ASSERT_TRUE(out.read(reinterpret_cast<char*>(got.data()), got.size() * 6)) << f;
            for (int y = 0; y < kHeight; ++y) {
                ASSERT_EQ(std::memcmp(&got[y * kWidth], &frame.editFrame[y * kMaxWidth], kWidth * 6), 0)
                    << "frame " << f << " row " << y;
            }
            int32_t reported = -1;
            sizes >> reported;
            EXPECT_EQ(reported, bytes) << "frame " << f;
        }
        EXPECT_EQ(out.peek(), std::char_traits<char>::eof());
    }
}

TEST_F(ModuleOutputTest, HostRefusesBadInputWithAMessage) {
    WriteFile(dir + "short.yc", RandomFrames(10, 1, 3));  // 10 pixels of a 4x4 frame
    const std::string io = " --output " + dir + "never.yc";
    EXPECT_NE(RunHost("--input " + dir + "missing.yc --width 16 --height 16" + io), 0);
    EXPECT_NE(log.find("cannot open input"), std::string::npos) << log;
    EXPECT_NE(RunHost("--input " + dir + "short.yc --width 4 --height 4" + io), 0);
    EXPECT_NE(log.find("ends inside a frame"), std::string::npos) << log;
    EXPECT_NE(RunHost("--input " + dir + "short.yc --width 4 --height 4 --scale 32" + io), 0);
    EXPECT_NE(log.find("--scale"), std::string::npos) << log;
    // Matrix files: what is wrong is named, with the file and the entry.
    const std::string sixtyThree = [] {
        std::string text;
        for (int i = 0; i < 63; ++i) text += "16 ";
        return text;
    }();
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } matrices[] = {
        {"short.txt", sixtyThree, "holds 63 numbers"},
        {"large.txt", "5000 " + sixtyThree, "entry 1 (row 1, column 1) is 5000"},
        {"words.txt", sixtyThree + "x16", "entry 64 (row 8, column 8) is 'x16'"},
    };
    for (const auto& m : matrices) {
        std::ofstream(dir + m.name) << m.text;
        EXPECT_NE(RunHost("--input " + dir + "short.yc --width 2 --height 2 --matrix " + dir + m.name + io), 0);
        EXPECT_NE(log.find(std::string("matrix file ") + dir + m.name), std::string::npos) << log;
        EXPECT_NE(log.find(m.message), std::string::npos) << log;
    }
    EXPECT_NE(RunHost("--input " + dir + "short.yc --width 2 --height 2 --matrix " + dir + "none.txt" + io), 0);
    EXPECT_NE(log.find("cannot be opened"), std::string::npos) << log;
}

}  // namespace
}  // namespace vardelk

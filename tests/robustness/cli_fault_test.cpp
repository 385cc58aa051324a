// The command line when its output cannot be written: a full disk (a
// full-device node stands in for it), a folder the user may not write, a
// missing folder, and input that breaks off after some frames were already
// written. Each must end with a message naming the file, a non-zero exit
// status, and no output left behind that looks complete.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/robustness/fault_support.h"

namespace vardelk {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::WriteWholeFile;
namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs the command with its standard streams going to files in the folder;
// `unprivileged` runs it as "nobody" when the test runs as root.
Outcome RunCommand(const ScratchFolder& folder, std::vector<std::string> args, bool unprivileged = false) {
    const fs::path out = folder / "stdout.txt";
    const fs::path err = folder / "stderr.txt";
    args.insert(args.begin(), VARDELK_CLI_PATH);
    const pid_t child = fork();
    if (child == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int inFd = open("/dev/null", O_RDONLY);
        if (outFd < 0 || errFd < 0 || inFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
            _exit(126);
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Outcome outcome;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.errors = ReadWholeFile(err);
    return outcome;
}

// Everything in the folder but the captured streams.
std::vector<std::string> LeftBehind(const ScratchFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        const std::string name = entry.path().filename().string();
        if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
    }
    return names;
}

// A device that refuses every write with "no space left", like a full disk.
bool MakeFullDevice(const fs::path& path) { return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0; }

// Which option writes the output, and the name it gets.
struct OutputCase {
    const char* option;
    const char* name;
};

class FullDisk : public ::testing::TestWithParam<OutputCase> {};

TEST_P(FullDisk, IsReportedAndTheDeviceStaysADevice) {
    ScratchFolder folder;
    const fs::path target = folder / GetParam().name;
    if (!MakeFullDevice(target)) GTEST_SKIP() << "cannot make a device node here (needs root)";

    const Outcome outcome = RunCommand(folder, {"-i", "builtin:demo:64x48", "-q", GetParam().option, target.string()});
    EXPECT_NE(outcome.status, 0) << "a failed write was reported as success";
    EXPECT_NE(outcome.errors.find(target.string()), std::string::npos) << outcome.errors;
    EXPECT_NE(outcome.errors.find("write"), std::string::npos) << outcome.errors;
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << "the device was replaced by a file";
    EXPECT_EQ(LeftBehind(folder), std::vector<std::string>{GetParam().name});
}

INSTANTIATE_TEST_SUITE_P(EachOutput, FullDisk,
                         ::testing::Values(OutputCase{"-o", "full.y4m"}, OutputCase{"-o", "full.png"},
                                           OutputCase{"-o", "full.yc"}, OutputCase{"--stats", "full.csv"},
                                           OutputCase{"--picture", "full.png"}),
                         [](const ::testing::TestParamInfo<OutputCase>& param) {
                             std::string name = std::string(param.param.option) + param.param.name;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(UnwritableOutput, FolderWithoutWritePermission) {
    ScratchFolder folder;
    const fs::path locked = folder / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    {
        testing::WithoutRoot asUser;
        if (testing::Writable(locked)) GTEST_SKIP() << "this user can write " << locked;
    }
    const fs::path target = locked / "out.y4m";
    const Outcome outcome = RunCommand(folder, {"-i", "builtin:demo:64x48", "-q", "-o", target.string()}, true);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find(target.string() + ": cannot be written"), std::string::npos) << outcome.errors;
    EXPECT_TRUE(fs::is_empty(locked));
}

TEST(UnwritableOutput, MissingFolder) {
    ScratchFolder folder;
    const fs::path target = folder / "no" / "such" / "out.png";
    const Outcome outcome = RunCommand(folder, {"-i", "builtin:demo:64x48", "-q", "-o", target.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find(target.string()), std::string::npos) << outcome.errors;
    EXPECT_FALSE(fs::exists(folder / "no"));
}

// Input that breaks off in its third frame, after two frames went out.
TEST(BrokenInput, LeavesNoPartialOutputAndKeepsTheOldOne) {
    ScratchFolder folder;
    std::string clip = "YUV4MPEG2 W16 H16 F25:1 C420jpeg\n";
    for (int frame = 0; frame < 2; ++frame) clip += "FRAME\n" + std::string(16 * 16 * 3 / 2, char(100 + frame));
    clip += "FRAME\n" + std::string(100, 'x');
    WriteWholeFile(folder / "clip.y4m", clip);
    const std::string earlier = "an earlier result that must survive\n";
    WriteWholeFile(folder / "out.y4m", earlier);

    const Outcome outcome =
        RunCommand(folder, {"-i", (folder / "clip.y4m").string(), "-q", "-n", "3", "-o", (folder / "out.y4m").string(),
                            "--stats", (folder / "stats.csv").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("truncated"), std::string::npos) << outcome.errors;
    EXPECT_EQ(ReadWholeFile(folder / "out.y4m"), earlier);
    std::vector<std::string> left = LeftBehind(folder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"clip.y4m", "out.y4m"})) << "partial or temporary files were left";
}

}  // namespace
}  // namespace vardelk

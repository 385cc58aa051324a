// Files that appear only when complete (POSIX modes: native builds only).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/media_error.h"
#include "media/output_file.h"

namespace vardelk {
namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string TempDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir ? dir : "/tmp";
}

TEST(OutputFile, AppearsOnlyOnCommitAndFailsEarlyWhenUnwritable) {
    const std::string path = TempDir() + "/vardelk_output_test.txt";
    std::remove(path.c_str());
    {
        OutputFile file(path);
        std::fputs("partial", file.Stream());
        EXPECT_TRUE(Exists(file.WorkingPath()));
        EXPECT_FALSE(Exists(path));
    }  // dropped without Commit
    EXPECT_FALSE(Exists(path));
    std::string working;
    {
        OutputFile file(path);
        working = file.WorkingPath();
        std::fputs("done", file.Stream());
        file.Commit();
    }
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(Exists(working));
    // The mode of any new file: 0666 less the umask (read here, where no
    // other thread runs).
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    std::remove(path.c_str());
    EXPECT_THROW(OutputFile("/nonexistent-folder/x.txt"), MediaError);
}

}  // namespace
}  // namespace vardelk

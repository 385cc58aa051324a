// The pictures a search is given: folders named with or without a closing
// slash, and the frames that stand for a clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/picture_list.h"

namespace vardelk {
namespace {

TEST(PictureList, FramesAreSpreadOverTheClip) {
    // The middle of each of N equal stretches, never the first N.
    EXPECT_EQ(SpreadFrames(100, 4), (std::vector<int64_t>{12, 37, 62, 87}));
    EXPECT_EQ(SpreadFrames(1000, 1), (std::vector<int64_t>{500}));
    EXPECT_EQ(SpreadFrames(5, 4), (std::vector<int64_t>{0, 1, 3, 4}));
    // A clip no longer than asked gives every frame; a still its one.
    EXPECT_EQ(SpreadFrames(3, 8), (std::vector<int64_t>{0, 1, 2}));
    EXPECT_EQ(SpreadFrames(1, 1), (std::vector<int64_t>{0}));
    // Of a clip of unknown length (a pipe) the first frames are read.
    EXPECT_EQ(SpreadFrames(-1, 2), (std::vector<int64_t>{0, 1}));
    // Every pick distinct and in order, whatever the lengths.
    for (int64_t total : {2, 7, 30, 1001}) {
        for (int32_t wanted : {1, 2, 6, 29}) {
            const std::vector<int64_t> f = SpreadFrames(total, wanted);
            ASSERT_EQ(int64_t(f.size()), std::min<int64_t>(total, wanted));
            for (size_t i = 0; i < f.size(); ++i) {
                EXPECT_LT(f[i], total);
                if (i > 0) {
                    EXPECT_GT(f[i], f[i - 1]);
                }
            }
        }
    }
}

TEST(PictureList, FolderNamedWithASlashGivesPlainPaths) {
    char folder[] = "/tmp/vardelk-list-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string picture = std::string(folder) + "/a.png";
    std::fclose(std::fopen(picture.c_str(), "w"));
    std::vector<std::string> plain, slashed;
    ExpandPictureInput(folder, plain);
    ExpandPictureInput(std::string(folder) + "/", slashed);
    std::remove(picture.c_str());
    std::remove(folder);
    EXPECT_EQ(plain, std::vector<std::string>{picture});
    EXPECT_EQ(slashed, std::vector<std::string>{picture});
}

}  // namespace
}  // namespace vardelk

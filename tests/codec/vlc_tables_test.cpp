#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/vlc_tables.h"

namespace vardelk {
namespace {

struct Word {
    VlcCode code;
    AcSymbol::Kind kind;
    int32_t run;
    int32_t magnitude;
};

// Every code word of a table: the run/level pairs, the escape and the end of block.
std::vector<Word> WordsOf(int32_t format) {
    std::vector<Word> words;
    for (int32_t run = 0; run < 64; ++run) {
        for (int32_t magnitude = 1; magnitude <= 64; ++magnitude) {
            const VlcCode code = AcCode(format, run, magnitude);
            if (code.length > 0) words.push_back({code, AcSymbol::kPair, run, magnitude});
        }
    }
    words.push_back({kEscapeCode, AcSymbol::kEscape, 0, 0});
    words.push_back({EndOfBlockCode(format), AcSymbol::kEndOfBlock, 0, 0});
    return words;
}

TEST(AcTables, PrefixFreeAndEveryWordDecodesToItself) {
    for (int32_t format : {kMpegVlcTable, kIntraVlcTable}) {
        SCOPED_TRACE("intra_vlc_format " + std::to_string(format));
        const std::vector<Word> words = WordsOf(format);
        EXPECT_EQ(words.size(), 113u);
        for (const Word& a : words) {
            ASSERT_GE(a.code.length, 2);
            ASSERT_LE(a.code.length, 16);
            ASSERT_LT(a.code.code, 1u << a.code.length);
            for (const Word& b : words) {
                if (&a == &b || a.code.length > b.code.length) continue;
                ASSERT_NE(b.code.code >> (b.code.length - a.code.length), a.code.code)
                    << "run " << a.run << "/" << a.magnitude << " is a prefix of run " << b.run << "/" << b.magnitude;
            }
            // Whatever bits follow the word, it decodes to itself.
            for (uint32_t tail : {0u, 0xFFFFu, 0x5555u}) {
                const uint32_t next16 = (a.code.code << (16 - a.code.length)) | (tail >> a.code.length);
                const AcSymbol& symbol = DecodeAc(format, next16);
                EXPECT_EQ(symbol.kind, a.kind);
                EXPECT_EQ(symbol.length, a.code.length);
                EXPECT_EQ(symbol.run, a.run);
                EXPECT_EQ(symbol.magnitude, a.magnitude);
            }
        }
        EXPECT_EQ(DecodeAc(format, 0).kind, AcSymbol::kInvalid);  // sixteen zeros begin no code word
    }
}

// Lengths without the sign bit of the table shared with non-intra blocks,
// row by row; and the intra block's first coefficient of run 0, magnitude 1
// is '11', so that '10' can end a block at once.
TEST(AcTables, LengthsOfTheNonIntraTable) {
    std::vector<std::vector<int32_t>> rows = {
        {2, 4, 5, 7, 8, 8, 10, 12, 12, 12, 12, 13, 13, 13, 13},
        {3, 6, 8, 10, 12, 13, 13, 15, 15, 15, 15, 15, 15, 15, 16, 16, 16, 16},
        {4, 7, 10, 12, 13},
        {5, 8, 12, 13},
        {5, 10, 12},
        {6, 10, 13},
        {6, 12, 16},
        {6, 12},
        {7, 12},
        {7, 13},
        {8, 13},
        {8, 16},
        {8, 16},
        {8, 16},
        {10, 16},
        {10, 16},
        {10, 16},
    };
    rows[0].insert(rows[0].end(), 16, 14);
    rows[0].insert(rows[0].end(), 9, 15);
    for (int32_t run = 17; run < 32; ++run) rows.push_back({run < 22 ? 12 : run < 27 ? 13 : 16});
    const AcCodeLengthTable& lengths = AcCodeLengthsFor(kMpegVlcTable);
    for (size_t run = 0; run < 64; ++run) {
        const size_t count = run < rows.size() ? rows[run].size() : 0;
        ASSERT_EQ(lengths[run][0], static_cast<int32_t>(count) + 1) << "run " << run;
        for (size_t m = 1; m <= count; ++m) EXPECT_EQ(lengths[run][m], rows[run][m - 1]) << run << "/" << m;
    }
    EXPECT_EQ(AcCode(kMpegVlcTable, 0, 1).code, 0x3u);
    EXPECT_EQ(EndOfBlockBits(kMpegVlcTable), 2);
    EXPECT_EQ(EndOfBlockBits(kIntraVlcTable), 4);
    EXPECT_EQ(DecodeAc(kMpegVlcTable, 0x8000).kind, AcSymbol::kEndOfBlock);

    // A block of one level +1 right after the DC, then the end: 3 + 2 bits
    // with this table, 3 + 4 with the intra table.
    int32_t block[64] = {};
    block[1] = 1;
    EXPECT_EQ(AcBlockBits(block, AcCoding{0, kMpegVlcTable}), 5);
    EXPECT_EQ(AcBlockBits(block, AcCoding{0, kIntraVlcTable}), 7);
}

// Lengths without the sign bit of the intra table at the ends of its rows:
// run 0 up to magnitude 40, run 1 up to 18, the first runs without a code
// for magnitude 2 and the longest runs with a code.
TEST(AcTables, LengthsOfTheIntraTable) {
    const auto length = [](int32_t run, int32_t magnitude) { return AcCode(kIntraVlcTable, run, magnitude).length; };
    EXPECT_EQ(length(0, 1), 2);
    EXPECT_EQ(length(0, 15), 8);
    EXPECT_EQ(length(0, 16), 14);
    EXPECT_EQ(length(0, 31), 14);
    EXPECT_EQ(length(0, 32), 15);
    EXPECT_EQ(length(0, 40), 15);
    EXPECT_EQ(length(1, 7), 13);
    EXPECT_EQ(length(1, 8), 15);
    EXPECT_EQ(length(1, 18), 16);
    EXPECT_EQ(length(6, 3), 16);
    EXPECT_EQ(length(16, 1), 10);
    EXPECT_EQ(length(21, 1), 12);
    EXPECT_EQ(length(22, 1), 13);
    EXPECT_EQ(length(31, 1), 16);
    // The first magnitude of each run without a code word.
    const int32_t limits[32] = {41, 19, 6, 5, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3,
                                3,  2,  2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    for (int32_t run = 0; run < 64; ++run) {
        const int32_t limit = run < 32 ? limits[run] : 1;
        EXPECT_EQ(length(run, limit), 0) << run;
        if (limit > 1) {
            EXPECT_GT(length(run, limit - 1), 0) << run;
        }
    }
}

}  // namespace
}  // namespace vardelk

#include "docs/man/roff_text.h"

#include <gtest/gtest.h>

namespace vardelk {
namespace {

TEST(RoffText, OptionNamesGetMinusSignsAndOrdinaryHyphensStay) {
    EXPECT_EQ(RoffText("see --stats-format, or - for (-1) rate-distortion"),
              "see \\-\\-stats\\-format, or \\- for (\\-1) rate-distortion");
}

TEST(RoffText, ControlCharactersAtLineStartAreProtected) {
    EXPECT_EQ(RoffText(".png files\n'quoted'\na.b"), "\\&.png files\n\\&'quoted'\na.b");
    EXPECT_EQ(RoffText("C:\\path"), "C:\\(rspath");
}

TEST(RoffText, NonAsciiBecomesNamedCodePointsAndBadBytesTheReplacement) {
    EXPECT_EQ(RoffText("255\xC2\xB2 \xE2\x80\x94 \xF0\x9F\x8E\xA5"), "255\\[u00B2] \\[u2014] \\[u1F3A5]");
    // A lone continuation byte, an overlong '/', a surrogate and a cut-off sequence.
    EXPECT_EQ(RoffText("\x80"
                       "a\xC0\xAF"
                       "b\xED\xA0\x80"
                       "c\xE2\x80"),
              "\\[uFFFD]a\\[uFFFD]\\[uFFFD]b\\[uFFFD]\\[uFFFD]\\[uFFFD]c\\[uFFFD]\\[uFFFD]");
}

}  // namespace
}  // namespace vardelk

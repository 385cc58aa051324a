#include <gtest/gtest.h>

#include <string>

#include "cli_error.h"
#include "options.h"

namespace vardelk {
namespace {

TEST(Options, IntegersAreRangeCheckedWithTheOptionAndValueInTheMessage) {
    EXPECT_EQ(ParseBoundedInteger("--scale", "31", 1, 31, "the scale code"), 31);
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {{"0", "--scale 0: out of range; the scale code must be 1..31"},
                 {"32", "--scale 32: out of range"},
                 {"99999999999999999999", "--scale 99999999999999999999: out of range"},
                 {"8x", "--scale 8x: not an integer"},
                 {"", "not an integer"}};
    for (const auto& c : cases) {
        try {
            ParseBoundedInteger("--scale", c.text, 1, 31, "the scale code");
            ADD_FAILURE() << c.text;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace vardelk

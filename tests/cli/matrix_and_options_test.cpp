#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// The simulator's help names every command and what -m is without one.
TEST(Options, HelpListsEveryCommandAndTheMatrixDefault) {
    CLI::App app;
    CliOptions options;
    DefineOptions(app, options);
    const std::string help = app.help();
    for (const char* command : {"vardelk search SET...", "vardelk measure REFERENCE DISTORTED"})
        EXPECT_NE(help.find(command), std::string::npos) << command;
    EXPECT_NE(help.find("Intra matrix (default: default)"), std::string::npos);
}

// A sweep that ffmpeg confirms predicts with ffmpeg's model unless another
// is asked for.
TEST(Options, ConfirmedSweepsPredictWithFfmpegsModel) {
    for (const bool chosen : {false, true}) {
        CLI::App app;
        CliOptions options;
        DefineOptions(app, options);
        std::vector<std::string> args = {"--sweep", "-i", "x.y4m", "--confirm", "ffmpeg"};
        if (chosen) args.insert(args.end(), {"--encoder", "filter"});
        std::reverse(args.begin(), args.end());  // CLI11 takes them last first
        app.parse(args);
        CheckOptions(app, options);
        EXPECT_EQ(options.model.rule, chosen ? QuantiserRule::kFilter : QuantiserRule::kFfmpeg);
    }
}

}  // namespace
}  // namespace vardelk

// The command line's own words for what the option library finds wrong.
#include "usage_messages.h"

#include <gtest/gtest.h>

#include "media/nearest_name.h"

namespace vardelk {
namespace {

TEST(UsageMessages, NearestNameForgivesOneSlipButNotAnotherWord) {
    const std::vector<std::string> names = {"-s", "--scale", "--sweep", "--stats", "--input", "--ssim"};
    EXPECT_EQ(EditDistance("scael", "scale"), 1);  // a swap of neighbours is one edit
    EXPECT_EQ(NearestName("--scael", names), "--scale");
    EXPECT_EQ(NearestName("-scale", names), "--scale");  // dashes do not count
    EXPECT_EQ(NearestName("--inptu", names), "--input");
    EXPECT_EQ(NearestName("--frobnicate", names), "");
    EXPECT_EQ(NearestName("--x", names), "");
    EXPECT_EQ(UnknownCommandMessage("serach", {"search"}, "vardelk"),
              "unknown command 'serach' (did you mean 'search'?)");
    EXPECT_EQ(UnknownCommandMessage("plot", {"search"}, "vardelk"),
              "unknown command 'plot' (vardelk --help lists the commands)");
}

// Parses `args` with an app like the commands' and returns our message.
std::string MessageFor(std::vector<std::string> args) {
    CLI::App app{"test"};
    app.name("vardelk search");
    std::vector<std::string> inputs;
    std::string budget;
    int frames = 1;
    app.add_option("inputs", inputs, "pictures")->required()->type_name("SET");
    app.add_option("--budget", budget, "time")->type_name("DURATION");
    app.add_option("--frames", frames, "frames")->check(CLI::Range(1, 1000));
    std::vector<char*> argv = {const_cast<char*>("vardelk search")};
    for (std::string& a : args) argv.push_back(a.data());
    try {
        app.parse(int(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        return ParseErrorMessage(app, e, "vardelk search");
    }
    return "";
}

TEST(UsageMessages, ParseErrorsNameWhatWasWrong) {
    EXPECT_EQ(MessageFor({"a.png", "--budgte=10m"}), "unknown option '--budgte' (did you mean '--budget'?)");
    EXPECT_EQ(MessageFor({"--budget", "10m"}), "no inputs given (usage: vardelk search [OPTIONS] SET...)");
    EXPECT_EQ(MessageFor({"a.png", "--frames"}), "--frames needs a value (N)");
    EXPECT_EQ(MessageFor({"a.png", "--budget", "-5"}), "");  // a negative number is a value, not an option
    EXPECT_EQ(Placeholder("INT:INT in [1 - 1000]"), "N");
    EXPECT_EQ(Placeholder("FORMAT:{csv,json}"), "FORMAT");
}

}  // namespace
}  // namespace vardelk

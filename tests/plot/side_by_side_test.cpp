// The four-panel comparison picture and its heat scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "media/comparison_views.h"
#include "media/rgb_convert.h"
#include "plot/side_by_side.h"

namespace vardelk {
namespace {

TEST(SideBySide, FourPanelsAndAHeatScale) {
    EXPECT_EQ(HeatColour(0.0).r, 0);
    EXPECT_EQ(HeatColour(1.0).g, 255);
    EXPECT_EQ(HeatColour(7.0).b, 255);  // clamped
    Y4mFormat format = FormatForRgb(20, 10);
    Y4mFrame in, out;
    in.Allocate(format);
    out.Allocate(format);
    std::fill(in.y.begin(), in.y.end(), uint8_t(100));
    std::fill(out.y.begin(), out.y.end(), uint8_t(101));
    std::vector<int32_t> bits = {5, 10};
    ComparisonInput c{&format, &in, &out, &bits, 2, 0, 2, 8};
    const Canvas canvas = DrawComparison(c);
    EXPECT_EQ(canvas.Image().width, 3 * 8 + 2 * 20);
    // The difference panel (bottom left) shows +1 luma step amplified 8 times above mid-grey.
    const int32_t titleHeight = 7 + 8;
    const uint8_t* diff = canvas.Image().At(8 + 5, 8 + titleHeight + 10 + 8 + titleHeight + 5);
    EXPECT_GT(diff[1], 128 + 4);
}

}  // namespace
}  // namespace vardelk

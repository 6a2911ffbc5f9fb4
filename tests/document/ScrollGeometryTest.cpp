#include "document/ScrollGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kv {
namespace {

TEST(ScrollGeometryTest, ContentSmallerThanTheWindowIsCentredAndDoesNotScroll) {
    const ScrollGeometry scroll({300, 200}, {500, 401});
    EXPECT_EQ(scroll.MaxScroll(), (PixelPoint{0, 0}));
    EXPECT_EQ(scroll.Clamp({40, -3}), (PixelPoint{0, 0}));
    EXPECT_EQ(scroll.ContentOrigin({40, 40}), (PixelPoint{100, 100}));
    EXPECT_EQ(scroll.VisibleContent({40, 40}), (PixelRect{0, 0, 300, 200}));
    EXPECT_EQ(scroll.Panned({0, 0}, {10, 10}, {200, 300}), (PixelPoint{0, 0}));
}

TEST(ScrollGeometryTest, LargerContentScrollsWithinItsLimitsOnItsOwnAxes) {
    // Wider than the window, but not higher: only the horizontal position moves.
    const ScrollGeometry scroll({1000, 300}, {400, 500});
    EXPECT_EQ(scroll.MaxScroll(), (PixelPoint{600, 0}));
    EXPECT_EQ(scroll.Clamp({700, 50}), (PixelPoint{600, 0}));
    EXPECT_EQ(scroll.ContentOrigin({250, 0}), (PixelPoint{-250, 100}));
    EXPECT_EQ(scroll.VisibleContent({250, 0}), (PixelRect{250, 0, 650, 300}));
    // Dragging the image left by 30 shows more of its right; the limits hold at both ends.
    EXPECT_EQ(scroll.Panned({250, 0}, {100, 100}, {70, 10}), (PixelPoint{280, 0}));
    EXPECT_EQ(scroll.Panned({250, 0}, {100, 100}, {600, 10}), (PixelPoint{0, 0}));
    EXPECT_EQ(scroll.Panned({250, 0}, {600, 100}, {0, 10}), (PixelPoint{600, 0}));
}

TEST(ScrollGeometryTest, TheVisibleContentAlwaysFillsTheWindowOrHoldsAllTheContent) {
    for (const PixelSize content : {PixelSize{10, 10}, PixelSize{640, 480}, PixelSize{5000, 90}}) {
        for (const PixelSize client : {PixelSize{1, 1}, PixelSize{300, 300}, PixelSize{800, 100}}) {
            const ScrollGeometry scroll(content, client);
            for (const PixelPoint at : {PixelPoint{-5, -5}, PixelPoint{17, 3}, PixelPoint{100000, 100000}}) {
                const PixelRect visible = scroll.VisibleContent(at);
                EXPECT_EQ(visible.Width(), std::min(content.width, client.width));
                EXPECT_EQ(visible.Height(), std::min(content.height, client.height));
                EXPECT_TRUE((PixelRect{0, 0, content.width, content.height}).Contains(visible));
            }
        }
    }
}

}  // namespace
}  // namespace kv

#include "document/NavigatorGeometry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "document/ScrollGeometry.h"

namespace kv {
namespace {

TEST(NavigatorGeometryTest, TheImageIsFittedAndCentredAndCropAllowsOnlyTheKeptPart) {
    const NavigatorGeometry wide({200, 150}, ViewGeometry({400, 100}, {800, 200}, false));
    EXPECT_EQ(wide.ImageRect(), (PixelRect{0, 50, 200, 100}));
    EXPECT_EQ(wide.AllowedRect(), wide.ImageRect());
    const NavigatorGeometry tall({200, 150}, ViewGeometry({100, 300}, {100, 300}, false));
    EXPECT_EQ(tall.ImageRect(), (PixelRect{75, 0, 125, 150}));
    // A square output of a 4:3 image keeps its middle: 150 of 200 navigator pixels across.
    const NavigatorGeometry crop({200, 150}, ViewGeometry({400, 300}, {300, 300}, true));
    EXPECT_EQ(crop.ImageRect(), (PixelRect{0, 0, 200, 150}));
    EXPECT_EQ(crop.AllowedRect(), (PixelRect{25, 0, 175, 150}));
    // Sides are rounded up: a third of 100 is 34.
    EXPECT_EQ(NavigatorGeometry({151, 100}, ViewGeometry({151, 100}, {1, 3}, true)).AllowedRect(),
              (PixelRect{58, 0, 92, 100}));
    // An output of nearly the image's aspect covers it without cutting anything away.
    EXPECT_EQ(NavigatorGeometry({151, 100}, ViewGeometry({151, 100}, {3, 2}, true)).AllowedRect().Width(), 151);
    EXPECT_EQ(NavigatorGeometry({151, 100}, ViewGeometry()).ImageRect(), PixelRect{});
}

TEST(NavigatorGeometryTest, TheFrameShowsTheVisiblePartInACross) {
    const NavigatorGeometry navigator({200, 150}, ViewGeometry({400, 300}, {800, 600}, false));
    EXPECT_FALSE(navigator.ShowsFrame(navigator.FrameOf({0, 0, 400, 300})));
    const PixelRect frame = navigator.FrameOf({100, 30, 301, 150});
    EXPECT_EQ(frame, (PixelRect{50, 15, 151, 75}));  // halved, rounded up
    EXPECT_TRUE(navigator.ShowsFrame(frame));
    const auto cross = navigator.Cross(frame);
    EXPECT_EQ(cross[0], (PixelLine{{50, 45}, {0, 45}}));
    EXPECT_EQ(cross[1], (PixelLine{{151, 45}, {200, 45}}));
    EXPECT_EQ(cross[2], (PixelLine{{100, 15}, {100, 0}}));
    EXPECT_EQ(cross[3], (PixelLine{{100, 75}, {100, 150}}));
}

TEST(NavigatorGeometryTest, ADraggedFrameStopsAtTheEdgeOfWhatItMayShow) {
    const NavigatorGeometry crop({200, 150}, ViewGeometry({400, 300}, {300, 300}, true));
    const PixelRect frame{60, 40, 110, 90};
    EXPECT_EQ(crop.Dragged(frame, {80, 60}, {90, 65}), (PixelRect{70, 45, 120, 95}));
    EXPECT_EQ(crop.Dragged(frame, {80, 60}, {-500, -500}), (PixelRect{25, 0, 75, 50}));
    EXPECT_EQ(crop.Dragged(frame, {80, 60}, {900, 900}), (PixelRect{125, 100, 175, 150}));
    // A frame taller than the allowed part: the bottom wins over the top, as the checks run top
    // then bottom.
    EXPECT_EQ(crop.Dragged({60, 0, 110, 200}, {0, 0}, {0, -10}), (PixelRect{60, -50, 110, 150}));
}

TEST(NavigatorGeometryTest, AFrameDroppedAgainstAFarEdgeScrollsToTheFarEdgeOfWhatTheOutputKeeps) {
    // A square output of a 4:3 picture three times as large: the kept part spans navigator
    // pixels 25 to 175, and its left edge is the content's left edge.
    const NavigatorGeometry crop({200, 150}, ViewGeometry({400, 300}, {1200, 1200}, true));
    EXPECT_EQ(crop.ScrollFor({25, 0, 75, 50}), (PixelPoint{0, 0}));
    EXPECT_EQ(crop.ScrollFor({100, 75, 150, 125}), (PixelPoint{600, 600}));
    // Against the far edges: the far edges, whatever the rounding from the small picture.
    EXPECT_EQ(crop.ScrollFor({125, 100, 175, 150}), (PixelPoint{1200, 1200}));
    // The same without Crop, where rounding up from 200 navigator pixels falls short of 1600.
    const NavigatorGeometry whole({200, 200}, ViewGeometry({400, 300}, {1600, 1200}, false));
    EXPECT_EQ(whole.ImageRect(), (PixelRect{0, 25, 200, 175}));
    EXPECT_EQ(whole.ScrollFor({50, 63, 150, 138}), (PixelPoint{400, 304}));
    EXPECT_EQ(whole.ScrollFor({99, 74, 200, 175}), (PixelPoint{1600, 1200}));
}

TEST(NavigatorGeometryTest, ScrollingToAFrameShowsThePartTheFrameMarks) {
    // Wherever the view stands, taking its frame and scrolling back to it lands within a
    // navigator pixel's worth of content of where it stood.
    struct Case {
        PixelSize image, output, client, navigator;
        bool crop;
    };
    for (const Case c : {Case{{400, 300}, {1600, 1200}, {500, 400}, {200, 150}, false},
                         Case{{400, 300}, {3000, 3000}, {900, 700}, {180, 180}, true},
                         Case{{1000, 250}, {5000, 400}, {640, 300}, {200, 200}, false}}) {
        const ViewGeometry view(c.image, c.output, c.crop);
        const ScrollGeometry scroll(c.output, c.client);
        const NavigatorGeometry navigator(c.navigator, view);
        const int32_t slackX = view.Zoomed().width / navigator.ImageRect().Width() + 2;
        const int32_t slackY = view.Zoomed().height / navigator.ImageRect().Height() + 2;
        for (int32_t x = 0; x <= scroll.MaxScroll().x; x += 97) {
            for (int32_t y = 0; y <= scroll.MaxScroll().y; y += 89) {
                const PixelRect visible = view.ImageRectOf(scroll.VisibleContent({x, y}));
                const PixelPoint back = scroll.Clamp(navigator.ScrollFor(navigator.FrameOf(visible)));
                EXPECT_LE(std::abs(back.x - x), slackX) << x << "," << y;
                EXPECT_LE(std::abs(back.y - y), slackY) << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace kv

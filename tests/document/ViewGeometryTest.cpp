#include <gtest/gtest.h>

#include "document/ViewGeometry.h"

namespace kv {
namespace {

TEST(ViewGeometry, VisibleOutputMapsToTheImageAndBack) {
    const ViewSizes enlarged{400, 300, 800, 600, false};
    EXPECT_EQ(OutputToImage({0, 0, 500, 400}, enlarged), (PixelRect{0, 0, 250, 200}));
    // Odd edges round outwards on the way in and on the way back.
    EXPECT_EQ(OutputToImage({3, 5, 501, 401}, enlarged), (PixelRect{1, 2, 251, 201}));
    EXPECT_EQ(ImageToOutput({1, 2, 251, 201}, enlarged), (PixelRect{2, 4, 502, 402}));
    // Beyond the output the image rectangle stops at the image.
    EXPECT_EQ(OutputToImage({700, 500, 900, 700}, enlarged), (PixelRect{350, 250, 400, 300}));
}

TEST(ViewGeometry, CropKeepsTheCentrePartWithTheOutputsAspect) {
    const ViewSizes square{400, 300, 300, 300, true};
    EXPECT_EQ(CropKeptSize(square).width, 300);
    EXPECT_EQ(CropKeptSize(square).height, 300);
    EXPECT_EQ(VisibleImageRect({0, 0, 300, 300}, square), (PixelRect{50, 0, 350, 300}));
    const ViewSizes tall{400, 300, 100, 400, true};
    EXPECT_EQ(CropKeptSize(tall).width, 75);
    EXPECT_EQ(CropKeptSize(tall).height, 300);
}

TEST(ViewGeometry, SmallContentIsCentredAndLargeContentScrolls) {
    EXPECT_EQ(ContentOrigin(600, 1000, 0), 200);
    EXPECT_EQ(ContentOrigin(1600, 1000, 300), -300);
    EXPECT_EQ(MaxScroll(600, 1000), 0);
    EXPECT_EQ(ClampScroll(900, 1600, 1000), 600);
    EXPECT_EQ(ClampScroll(-5, 1600, 1000), 0);
    const ViewSizes sizes{400, 300, 1600, 1200, false};
    EXPECT_EQ(VisibleOutputRect(1000, 800, 2000, 100, sizes), (PixelRect{600, 100, 1600, 900}));
    const ViewSizes small{400, 300, 300, 200, false};
    EXPECT_EQ(VisibleOutputRect(1000, 800, 0, 0, small), (PixelRect{0, 0, 300, 200}));
}

TEST(Navigator, FitsTheImageAndFollowsTheView) {
    const ViewSizes sizes{400, 300, 1600, 1200, false};
    const NavigatorLayout layout = FitNavigator(200, 200, sizes);
    EXPECT_EQ(layout.image, (PixelRect{0, 25, 200, 175}));
    EXPECT_EQ(layout.allowed, layout.image);
    // The view shows the output's part (400, 300)-(1200, 900), the image's (100, 75)-(300, 225).
    const PixelRect rect = NavigatorViewRect({100, 75, 300, 225}, layout, sizes);
    EXPECT_EQ(rect, (PixelRect{50, 63, 150, 138}));
    EXPECT_EQ(ScrollFromNavigator(rect, layout, sizes), (ScrollPosition{400, 304}));

    const ViewSizes portrait{300, 600, 300, 600, false};
    EXPECT_EQ(FitNavigator(200, 200, portrait).image, (PixelRect{50, 0, 150, 200}));
}

TEST(Navigator, ADraggedRectangleStopsAtTheAllowedEdges) {
    const PixelRect allowed{0, 25, 200, 175};
    EXPECT_EQ(KeepInside({-30, 10, 70, 60}, allowed), (PixelRect{0, 25, 100, 75}));
    EXPECT_EQ(KeepInside({150, 160, 250, 210}, allowed), (PixelRect{100, 125, 200, 175}));
    // Taller than allowed: the bottom wins over the top, as the checks run top then bottom.
    EXPECT_EQ(KeepInside({10, 0, 60, 200}, allowed), (PixelRect{10, -25, 60, 175}));
}

TEST(Navigator, InCropModeOnlyTheKeptPartCanBeReached) {
    const ViewSizes square{400, 300, 1200, 1200, true};
    const NavigatorLayout layout = FitNavigator(200, 150, square);
    EXPECT_EQ(layout.image, (PixelRect{0, 0, 200, 150}));
    EXPECT_EQ(layout.allowed, (PixelRect{25, 0, 175, 150}));
    // The kept part's left edge is the output's left edge.
    EXPECT_EQ(ScrollFromNavigator({25, 0, 75, 50}, layout, square), (ScrollPosition{0, 0}));
    EXPECT_EQ(ScrollFromNavigator({100, 75, 150, 125}, layout, square), (ScrollPosition{600, 600}));
    // Against the far edges: the far edges, whatever the rounding.
    EXPECT_EQ(ScrollFromNavigator({125, 100, 175, 150}, layout, square), (ScrollPosition{1200, 1200}));
}

}  // namespace
}  // namespace kv

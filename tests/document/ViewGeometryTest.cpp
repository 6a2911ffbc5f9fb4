#include "document/ViewGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"

namespace kv {
namespace {

struct ViewCase {
    PixelSize image;
    PixelSize output;
    bool crop;
};
const ViewCase kViewCases[] = {
    {{400, 300}, {800, 600}, false}, {{400, 300}, {300, 300}, true},  {{400, 300}, {120, 700}, false},
    {{37, 211}, {1000, 90}, true},   {{640, 480}, {641, 481}, true},  {{1000, 10}, {7, 3}, false},
    {{400, 300}, {100, 400}, true},
};

TEST(ViewGeometryTest, ContentAndImageRectanglesMapBothWays) {
    // An enlargement showing content (0, 0)-(500, 400), and the crop of the whole content.
    EXPECT_EQ(ViewGeometry({400, 300}, {800, 600}, false).ImageRectOf({0, 0, 500, 400}), (PixelRect{0, 0, 250, 200}));
    EXPECT_EQ(ViewGeometry({400, 300}, {300, 300}, true).ImageRectOf({0, 0, 300, 300}), (PixelRect{50, 0, 350, 300}));
    // Left and top truncate, right and bottom round up.
    EXPECT_EQ(ViewGeometry({100, 100}, {300, 300}, false).ImageRectOf({1, 2, 4, 5}), (PixelRect{0, 0, 2, 2}));
    EXPECT_EQ(ViewGeometry({300, 300}, {100, 100}, false).ContentRectOf({1, 2, 4, 5}), (PixelRect{0, 0, 2, 2}));
    // Beyond the content there is no image, and a rectangle reaching past it stops at the image's
    // edge; without an image or output nothing maps.
    EXPECT_EQ(ViewGeometry({100, 100}, {300, 300}, false).ImageRectOf({-50, 300, 0, 400}), PixelRect{});
    EXPECT_EQ(ViewGeometry({400, 300}, {800, 600}, false).ImageRectOf({700, 500, 900, 700}),
              (PixelRect{350, 250, 400, 300}));
    EXPECT_TRUE(ViewGeometry().IsEmpty());
    EXPECT_EQ(ViewGeometry({0, 10}, {30, 30}, false).ImageRectOf({0, 0, 30, 30}), PixelRect{});
    EXPECT_DOUBLE_EQ(ViewGeometry({400, 300}, {800, 600}, false).ZoomX(), 2.0);
    EXPECT_DOUBLE_EQ(ViewGeometry({400, 300}, {300, 300}, true).ZoomY(), 1.0);
}

TEST(ViewGeometryTest, EveryContentRectangleMapsIntoTheKeptPartAndBackAroundItself) {
    for (const ViewCase& s : kViewCases) {
        const ViewGeometry view(s.image, s.output, s.crop);
        const PixelRect content{0, 0, s.output.width, s.output.height};
        const PixelRect kept = view.KeptImageRect();
        SCOPED_TRACE(testing::Message() << s.image.width << "x" << s.image.height << " to " << s.output.width << "x"
                                        << s.output.height << (s.crop ? " crop" : ""));
        // All of the image, or under Crop its centre with the output's aspect (to the pixels that
        // rounding outward adds).
        const double w = s.image.width, h = s.image.height;
        const double keptWidth = s.crop ? std::min(w, h * s.output.width / s.output.height) : w;
        const double keptHeight = s.crop ? std::min(h, w * s.output.height / s.output.width) : h;
        EXPECT_NEAR(kept.Width(), keptWidth, 2);
        EXPECT_NEAR(kept.Height(), keptHeight, 2);
        EXPECT_LE(std::abs(kept.left - (s.image.width - kept.right)), 1);
        EXPECT_LE(std::abs(kept.top - (s.image.height - kept.bottom)), 1);
        for (int32_t step : {1, 7, 33}) {
            for (int32_t x = -step; x < s.output.width; x += step + 5) {
                for (int32_t y = -step; y < s.output.height; y += 2 * step + 3) {
                    const PixelRect wanted{x, y, x + step + 9, y + 2 * step};
                    const PixelRect shown = wanted.Intersect(content);
                    const PixelRect image = view.ImageRectOf(wanted);
                    if (shown.IsEmpty()) continue;
                    ASSERT_TRUE(kept.Contains(image)) << x << "," << y;
                    EXPECT_TRUE(view.ContentRectOf(image).Contains(shown)) << x << "," << y;
                }
            }
        }
    }
}

// Each pixel of the picture names its own place: red the column, green the row.
std::unique_ptr<Bitmap> PlacePicture(PixelSize size) {
    auto picture = std::make_unique<Bitmap>(size.width, size.height, PixelFormat24bppRGB);
    BitmapData data;
    EXPECT_EQ(picture->LockBits({0, 0, size.width, size.height}, ImageLockMode::Write, PixelFormat24bppRGB, &data),
              Status::Ok);
    for (int32_t y = 0; y < size.height; ++y)
        for (int32_t x = 0; x < size.width; ++x) {
            uint8_t* pixel = data.scan0 + y * data.stride + 3 * x;
            pixel[0] = 0;
            pixel[1] = static_cast<uint8_t>(y);
            pixel[2] = static_cast<uint8_t>(x);
        }
    picture->UnlockBits(&data);
    return picture;
}

TEST(ViewGeometryTest, EachContentPixelShowsThePartOfTheImageTheFinalResizePutsThere) {
    // The nearest-neighbour resize copies one image pixel to each output pixel: that pixel must lie
    // in the image rectangle the view maps the output pixel to, crop or not.
    const ViewCase cases[] = {{{200, 150}, {300, 300}, true}, {{200, 150}, {700, 180}, true},
                            {{150, 200}, {90, 450}, true},  {{200, 150}, {333, 77}, false}};
    for (const ViewCase& s : cases) {
        SCOPED_TRACE(testing::Message() << s.output.width << "x" << s.output.height << (s.crop ? " crop" : ""));
        const std::unique_ptr<Bitmap> image = PlacePicture(s.image);
        Bitmap output(s.output.width, s.output.height, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*image, output, 0, s.crop, nullptr));
        BitmapData data;
        ASSERT_EQ(output.LockBits({0, 0, s.output.width, s.output.height}, ImageLockMode::Read, PixelFormat24bppRGB,
                                  &data),
                  Status::Ok);
        const ViewGeometry view(s.image, s.output, s.crop);
        int misses = 0;
        for (int32_t y = 0; y < s.output.height; ++y)
            for (int32_t x = 0; x < s.output.width; ++x) {
                const uint8_t* pixel = data.scan0 + y * data.stride + 3 * x;
                const PixelRect source{pixel[2], pixel[1], pixel[2] + 1, pixel[1] + 1};
                misses += view.ImageRectOf({x, y, x + 1, y + 1}).Contains(source) ? 0 : 1;
            }
        output.UnlockBits(&data);
        EXPECT_EQ(misses, 0);
    }
}

}  // namespace
}  // namespace kv

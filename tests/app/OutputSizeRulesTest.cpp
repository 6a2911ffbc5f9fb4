#include <gtest/gtest.h>

#include "app/ImageFactsReader.h"
#include "app/OutputSizeRules.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv {
namespace {

ImageFacts Image(int32_t width, int32_t height, float dpi = 72.0f) {
    return {width, height, PixelFormat24bppRGB, dpi};
}

TEST(OpenRule, SettingsAnOpenedImageStartsWith) {
    struct Case {
        const char* name;
        bool batchMode, lock, applyToNew, fromBatchList, inPercents;
        double percent;
        SizeCorrection correction;
        ImageFacts image;
        int32_t width, height;
        float dpi;
        SizeCorrection correctionAfter;
    };
    using enum SizeCorrection;
    const Case cases[] = {
        {"unlocked: the image's own size and resolution", false, false, true, false, false, 50, KeepAspect,
         Image(1000, 500, 72), 1000, 500, 72, KeepAspect},
        {"unlocked, a file without resolution keeps the current one", false, false, true, false, false, 50, None,
         Image(1000, 500, 0), 1000, 500, 300, None},
        {"unlocked, a tiny image keeps its own size", false, false, true, false, false, 50, KeepAspect,
         Image(1, 2, 96), 1, 2, 96, KeepAspect},
        {"locked in pixels: size kept, Keep aspect becomes Crop", false, true, true, false, false, 50, KeepAspect,
         Image(1000, 500), 640, 480, 300, Crop},
        {"locked in percent: 50% of the image, rounded", false, true, true, false, true, 50, None,
         Image(1001, 501), 501, 251, 300, None},
        {"locked in percent: held to 3 pixels", false, true, true, false, true, 10, Crop, Image(4, 4), 3, 3, 300, Crop},
        {"batch mode reads apply to new, not the lock", true, true, false, false, false, 50, KeepAspect,
         Image(800, 600, 96), 800, 600, 96, KeepAspect},
        {"batch mode with apply to new keeps the settings", true, false, true, false, false, 50, KeepAspect,
         Image(800, 600, 96), 640, 480, 300, Crop},
        {"an item being opened keeps what it set", true, false, false, true, true, 50, KeepAspect,
         Image(800, 600, 96), 640, 480, 300, KeepAspect},
    };
    for (const Case& c : cases) {
        ResizeSettings s;
        s.batchMode = c.batchMode;
        s.lockSettings = c.lock;
        s.applyToNew = c.applyToNew;
        s.openingFromBatchList = c.fromBatchList;
        s.inPercents = c.inPercents;
        s.percentWidth = s.percentHeight = c.percent;
        s.correction = c.correction;
        ApplyOpenRule(s, c.image);
        EXPECT_EQ(s.width, c.width) << c.name;
        EXPECT_EQ(s.height, c.height) << c.name;
        EXPECT_FLOAT_EQ(s.dpi, c.dpi) << c.name;
        EXPECT_EQ(s.correction, c.correctionAfter) << c.name;
    }
}

TEST(StampSize, SizeForAGivenImage) {
    struct Case {
        const char* name;
        StampSource source;
        bool inPercents;
        SizeCorrection correction;
        int32_t width, height;  // the record's box
        std::optional<ImageFacts> image;
        StampedSettings expected;
    };
    using enum SizeCorrection;
    using enum StampSource;
    const StampedSettings before{11, 22, 33, 0, None};
    const Case cases[] = {
        {"Keep aspect fits the box to the image", CurrentSettings, false, KeepAspect, 640, 480, Image(1000, 500),
         {640, 320, 300, 7, KeepAspect}},
        {"Crop takes the box as it is", CurrentSettings, false, Crop, 640, 480, Image(1000, 500),
         {640, 480, 300, 7, Crop}},
        {"a file that did not open takes the box", CurrentSettings, false, KeepAspect, 640, 480, std::nullopt,
         {640, 480, 300, 7, KeepAspect}},
        {"percent of the image, rounded", CurrentSettings, true, KeepAspect, 640, 480, Image(1001, 501),
         {501, 251, 300, 7, KeepAspect}},
        {"percent of a file that did not open stays 0 x 0", CurrentSettings, true, Crop, 640, 480, std::nullopt,
         {0, 0, 300, 7, Crop}},
        {"a fitted side is held to 3 pixels", CurrentSettings, false, KeepAspect, 640, 3, Image(10, 1000),
         {3, 3, 300, 7, KeepAspect}},
        {"the image's own size and resolution", ImageOwnSize, false, Crop, 640, 480, Image(1024, 768, 96),
         {1024, 768, 96, 7, Crop}},
        {"own size of a file without resolution keeps the item's", ImageOwnSize, true, None, 640, 480,
         Image(1024, 768, 0), {1024, 768, 33, 7, None}},
        {"own size of a file that did not open keeps the item's size", ImageOwnSize, false, None, 640, 480,
         std::nullopt, {11, 22, 33, 7, None}},
    };
    for (const Case& c : cases) {
        ResizeSettings s;
        s.inPercents = c.inPercents;
        s.percentWidth = s.percentHeight = 50;
        s.correction = c.correction;
        s.width = c.width;
        s.height = c.height;
        s.algorithm = 7;
        StampedSettings item = before;
        StampSize(s, c.image, c.source, item);
        EXPECT_EQ(item, c.expected) << c.name << ": " << item.width << "x" << item.height << " " << item.dpi;
    }
}

TEST(StampSize, ReadsTheImageFileAsFarAsItsHeader) {
    test::TempDir dir;
    Bitmap picture(400, 200, PixelFormat24bppRGB);
    picture.SetResolution(254, 254);  // a whole number of dots per metre, as PNG stores it
    ASSERT_EQ(picture.Save(dir / "wide.png", "image/png"), Status::Ok);
    test::WriteBytes(dir / "broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});

    const std::optional<ImageFacts> facts = ReadImageFacts(dir / "wide.png");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->width, 400);
    EXPECT_EQ(facts->height, 200);
    EXPECT_EQ(facts->BitsPerPixel(), 24);
    EXPECT_FLOAT_EQ(facts->dpiX, 254);
    EXPECT_FALSE(ReadImageFacts(dir / "broken.png"));
    EXPECT_FALSE(ReadImageFacts(dir / "missing.png"));

    ResizeSettings s;
    StampedSettings item;
    StampSize(s, dir / "wide.png", StampSource::CurrentSettings, item);
    EXPECT_EQ(item, (StampedSettings{640, 320, 300, 4, SizeCorrection::KeepAspect}));
    StampSize(s, dir / "wide.png", StampSource::ImageOwnSize, item);
    EXPECT_EQ(item.width, 400);
    EXPECT_FLOAT_EQ(item.dpi, 254);
    StampSize(s, dir / "broken.png", StampSource::CurrentSettings, item);
    EXPECT_EQ(item.width, 640);
    EXPECT_EQ(item.height, 480);
}

}  // namespace
}  // namespace kv

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/OrientedPhotos.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ExternalTools.h"
#include "imageio/ImageBuilders.h"
#include "imageio/JpegQuality.h"

namespace kv::test {
namespace {

std::optional<int32_t> EstimateOf(const std::filesystem::path& file) {
    const std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(file);
    return EstimateJpegQuality(*bitmap);
}

// The estimate of files ImageMagick wrote at a range of qualities, colour and grey, is the quality
// ImageMagick itself reads from them.
TEST(JpegQualityTest, AgreesWithImageMagickOnATableOfQualities) {
    if (!HaveTool("identify") || !std::filesystem::exists("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    for (const int quality : {3, 10, 25, 40, 50, 60, 75, 85, 90, 92, 95, 98, 100}) {
        for (const char* colour : {"", "-colorspace Gray"}) {
            const std::filesystem::path file = dir / ("q" + std::to_string(quality) + (*colour ? "grey" : "") + ".jpg");
            ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(DataPath("small.jpg")) + " " + colour + " -quality " +
                                 std::to_string(quality) + " " + ToolQuoted(file)));
            const std::string said = RunTool("identify -format %Q " + Quoted(file));
            EXPECT_EQ(EstimateOf(file), std::stoi(said)) << file;
        }
    }
}

// Files the program writes itself give back the quality they were written at; files that are no
// JPEG, and bitmaps made in memory, have none.
TEST(JpegQualityTest, OwnFilesGiveTheirQualityBack) {
    TempDir dir;
    Bitmap picture(40, 30, PixelFormat24bppRGB);
    for (const int quality : {1, 30, 75, 99, 100}) {
        const std::filesystem::path file = dir / ("own" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(picture.Save(file, "image/jpeg", quality), Status::Ok);
        EXPECT_EQ(EstimateOf(file), quality) << quality;
    }
    ASSERT_EQ(picture.Save(dir / "a.png", "image/png"), Status::Ok);
    EXPECT_EQ(EstimateOf(dir / "a.png"), std::nullopt);
    EXPECT_EQ(EstimateJpegQuality(picture), std::nullopt);
}

}  // namespace
}  // namespace kv::test

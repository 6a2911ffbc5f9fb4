#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/Kvscale.h"
#include "common/OrientedPhotos.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ExternalTools.h"
#include "imageio/Orientation.h"

namespace kv::test {
namespace {

struct CliRun {
    int status;
    std::string out;
};

CliRun Kvscale(std::vector<std::string> words) {
    words.insert(words.begin(), "kvscale");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    ::testing::internal::CaptureStdout();
    const int status = cli::RunKvscale(static_cast<int>(argv.size()), argv.data());
    std::fflush(stdout);
    return {status, ::testing::internal::GetCapturedStdout()};
}

// A 640 x 480 landscape photo as a camera held sideways stores it (Orientation 6, 480 x 640
// pixels, its thumbnail sideways too) and one held the other way (Orientation 8).
class OrientationCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveOrientationTools()) GTEST_SKIP() << "ImageMagick or exiftool is not installed";
        ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(DataPath("kodak-dc240.jpg")) + " -strip " +
                             ToolQuoted(dir / "upright.png")));
        ASSERT_TRUE(MakeOrientedPhoto(dir / "upright.png", 6, six, 160));
        ASSERT_TRUE(MakeOrientedPhoto(dir / "upright.png", 8, eight, 160));
    }
    // The size of the pixels a file stores.
    std::string Size(const std::filesystem::path& file) {
        const TurnPicturesUprightScope asStored(false);
        const std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(file);
        return std::to_string(bitmap->GetWidth()) + "x" + std::to_string(bitmap->GetHeight());
    }

    TempDir dir;
    std::filesystem::path six = dir / "six.jpeg";
    std::filesystem::path eight = dir / "eight.JPG";
};

// resize and batch size the upright picture and write it upright, with orientation 1;
// --keep-orientation keeps the stored pixels and the tag, as before pictures were turned.
TEST_F(OrientationCommandTest, ResizeAndBatchWorkOnTheUprightPictureUnlessKeptAsStored) {
    ASSERT_EQ(Kvscale({"resize", six.string(), "-o", (dir / "up.jpe").string(), "--width", "320"}).status, 0);
    EXPECT_EQ(Size(dir / "up.jpe"), "320x240");
    EXPECT_EQ(ExifToolTags(dir / "up.jpe").at("IFD0:Orientation"), "1");
    ASSERT_EQ(Kvscale({"resize", six.string(), "-o", (dir / "kept.tiff").string(), "--width", "240", "--keep-orientation"})
                  .status,
              0);
    EXPECT_EQ(Size(dir / "kept.tiff"), "240x320");
    EXPECT_EQ(ExifToolTags(dir / "kept.tiff").at("IFD0:Orientation"), "6");

    ASSERT_EQ(Kvscale({"batch", six.string(), eight.string(), "--size", "320x320", "--out", (dir / "out").string()}).status, 0);
    EXPECT_EQ(Size(dir / "out/six.jpeg"), "320x240");
    EXPECT_EQ(Size(dir / "out/eight.JPG"), "320x240");
    EXPECT_EQ(ExifToolTags(dir / "out/eight.JPG").at("IFD0:Orientation"), "1");
    ASSERT_EQ(Kvscale({"batch", six.string(), eight.string(), "--size", "320x320", "--out", (dir / "kept").string(),
                       "--keep-orientation"})
                  .status,
              0);
    EXPECT_EQ(Size(dir / "kept/six.jpeg"), "240x320");
    EXPECT_EQ(ExifToolTags(dir / "kept/eight.JPG").at("IFD0:Orientation"), "8");
}

TEST_F(OrientationCommandTest, InfoAndThumbDescribeTheUprightPicture) {
    EXPECT_EQ(Kvscale({"info", six.string()}).out.substr(0, 23), "Dimensions : 640 X 480\n");
    EXPECT_EQ(Kvscale({"info", "--keep-orientation", six.string()}).out.substr(0, 23), "Dimensions : 480 X 640\n");
    const std::string out = (dir / "thumb.png").string();
    EXPECT_EQ(Kvscale({"thumb", six.string(), "-o", out, "--box", "200x200"}).out,
              "200 x 150 thumbnail of a 640 x 480 image\n");
    EXPECT_EQ(Kvscale({"thumb", six.string(), "-o", out, "--box", "200x200", "--keep-orientation"}).out,
              "150 x 200 thumbnail of a 480 x 640 image\n");
    EXPECT_EQ(Kvscale({"info", six.string(), "--upright"}).status, 2);
}

}  // namespace
}  // namespace kv::test

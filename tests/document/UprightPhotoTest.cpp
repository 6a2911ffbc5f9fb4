#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/OrientedPhotos.h"
#include "document/DocumentTestSupport.h"
#include "imageio/ExternalTools.h"
#include "imageio/JpegQuality.h"
#include "imageio/Orientation.h"
#include "imageio/ResizeBitmap.h"

namespace kv::test {
namespace {

RgbPicture PictureOf(Bitmap& bitmap) {
    RgbPicture picture{bitmap.GetWidth(), bitmap.GetHeight(), {}};
    const std::vector<uint8_t> bgr = PixelsOf(bitmap);
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) picture.rgb.insert(picture.rgb.end(), {bgr[i + 2], bgr[i + 1], bgr[i]});
    return picture;
}

class UprightPhotoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveOrientationTools()) GTEST_SKIP() << "ImageMagick or exiftool is not installed";
        upright = dir / "upright.png";
        ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(DataPath("kodak-dc240.jpg")) + " -strip " + ToolQuoted(upright)));
    }
    CKVScaleCrafterDoc& doc() { return *rig.document; }
    // The output the bar leaves after the user set it.
    void SetOutput(int32_t width, int32_t height, SizeCorrection correction) {
        rig.settings.width = width;
        rig.settings.height = height;
        rig.settings.correction = correction;
        rig.settings.algorithm = 0;
    }
    std::filesystem::path ExtractThumbnail(const std::filesystem::path& file) {
        const std::filesystem::path thumbnail = dir / (file.stem().string() + "-thumb.jpg");
        RunTool("exiftool -b -ThumbnailImage " + Quoted(file) + " > " + Quoted(thumbnail));
        return thumbnail;
    }

    TempDir dir;
    std::filesystem::path upright;
    DocumentRig rig;
};

// A photo stored in any of the seven turned ways opens with its upright size; resized as the bar
// says, it comes out as ImageMagick resizes the upright picture (within one level of two JPEG
// decoders), Crop cuts the upright picture, and the file says it is upright: orientation 1, sizes
// of the result, and an upright thumbnail, rebuilt for a large result and turned for a small one.
TEST_F(UprightPhotoTest, EachOrientationOpensSizesCropsAndSavesUpright) {
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::filesystem::path photo = dir / ("photo" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(MakeOrientedPhoto(upright, orientation, photo, 160));
        ASSERT_TRUE(doc().OnOpenDocument(photo));
        EXPECT_EQ(doc().ImageWidth(), 640);
        EXPECT_EQ(doc().ImageHeight(), 480);
        EXPECT_EQ(rig.settings.width, 640);  // the open-time rule takes the upright size
        EXPECT_EQ(rig.settings.height, 480);

        SetOutput(320, 240, SizeCorrection::KeepAspect);
        const std::filesystem::path half = dir / ("half" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(doc().OnResizeAndSave(half.string() + ".png"));
        const std::optional<RgbPicture> expected = ReadWithImageMagick(photo, "-filter point -resize 320x240!");
        ASSERT_TRUE(expected);
        EXPECT_LE(LargestDifference(PictureOf(*Bitmap::FromFile(half.string() + ".png")), *expected), 1);

        // A 4:5 portrait cut from the middle of the upright landscape.
        SetOutput(240, 300, SizeCorrection::Crop);
        const std::filesystem::path portrait = dir / ("portrait" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(doc().OnResizeAndSave(portrait));
        ASSERT_TRUE(doc().OnResizeAndSave(portrait.string() + ".png"));
        ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(photo) + " -auto-orient " + ToolQuoted(dir / "reference.png")));
        Bitmap cropped(240, 300, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*Bitmap::FromFile(dir / "reference.png"), cropped, 0, true, nullptr));
        EXPECT_LE(LargestDifference(PictureOf(*Bitmap::FromFile(portrait.string() + ".png")), PictureOf(cropped)), 1);
        const std::map<std::string, std::string> tags = ExifToolTags(portrait);
        EXPECT_EQ(tags.at("File:ImageWidth"), "240");
        EXPECT_EQ(tags.at("File:ImageHeight"), "300");
        EXPECT_EQ(tags.at("IFD0:Orientation"), "1");
        EXPECT_EQ(tags.at("ExifIFD:ExifImageWidth"), "240");
        EXPECT_EQ(tags.at("ExifIFD:ExifImageHeight"), "300");
        // The thumbnail made anew from the upright result is upright; so is the camera's one,
        // turned, under a result too small to get a new one.
        const std::unique_ptr<Bitmap> rebuilt = Bitmap::FromFile(ExtractThumbnail(portrait));
        EXPECT_EQ(rebuilt->GetWidth(), 12);
        EXPECT_EQ(rebuilt->GetHeight(), 15);
        SetOutput(200, 150, SizeCorrection::None);
        const std::filesystem::path small = dir / ("small" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(doc().OnResizeAndSave(small));
        EXPECT_EQ(ExifToolTags(small).at("IFD0:Orientation"), "1");
        const std::unique_ptr<Bitmap> turned = Bitmap::FromFile(ExtractThumbnail(small));
        ASSERT_EQ(turned->GetWidth(), 160);
        ASSERT_EQ(turned->GetHeight(), 120);
        const RgbPicture thumbnail = PictureOf(*turned), expectedThumbnail = Shrunk(*ReadWithImageMagick(photo), 160, 120);
        double difference = 0;
        for (size_t i = 0; i < thumbnail.rgb.size(); ++i) difference += std::abs(int(thumbnail.rgb[i]) - int(expectedThumbnail.rgb[i]));
        EXPECT_LT(difference / double(thumbnail.rgb.size()), 8);
    }
    EXPECT_TRUE(rig.prompt.messages.empty());
}

// The own algorithms see only the upright picture: their result on a turned photo is, byte for
// byte, their result on the same photo stored upright.
TEST_F(UprightPhotoTest, OwnAlgorithmsGiveExactlyTheirResultOnTheUprightPicture) {
    ASSERT_TRUE(RunQuiet("/usr/bin/convert " + ToolQuoted(upright) + " -crop 96x64+300+200 +repage " + ToolQuoted(upright)));
    for (const int orientation : {6, 7}) {
        const std::filesystem::path photo = dir / ("photo" + std::to_string(orientation) + ".tif");
        ASSERT_TRUE(MakeOrientedPhoto(upright, orientation, photo));
        for (const ResizeAlgorithm algorithm : {5, 7, 9}) {
            SCOPED_TRACE(std::to_string(orientation) + " " + std::to_string(algorithm));
            Bitmap fromTurned(150, 100, PixelFormat24bppRGB), fromUpright(150, 100, PixelFormat24bppRGB);
            ASSERT_TRUE(ResizeBitmap(*Bitmap::FromFile(photo), fromTurned, algorithm, false, nullptr));
            ASSERT_TRUE(ResizeBitmap(*Bitmap::FromFile(upright), fromUpright, algorithm, false, nullptr));
            EXPECT_EQ(PixelsOf(fromTurned), PixelsOf(fromUpright));
        }
    }
}

// Kept as stored, a photo keeps today's shape: its stored size, its pixels as stored and its tag.
TEST_F(UprightPhotoTest, KeptAsStoredThePixelsAndTheTagStay) {
    const std::filesystem::path photo = dir / "photo6.jpg";
    ASSERT_TRUE(MakeOrientedPhoto(upright, 6, photo, 160));
    const TurnPicturesUprightScope asStored(false);
    ASSERT_TRUE(doc().OnOpenDocument(photo));
    EXPECT_EQ(doc().ImageWidth(), 480);
    EXPECT_EQ(doc().ImageHeight(), 640);
    SetOutput(240, 320, SizeCorrection::KeepAspect);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "out.jpg"));
    const std::map<std::string, std::string> tags = ExifToolTags(dir / "out.jpg");
    EXPECT_EQ(tags.at("File:ImageWidth"), "240");
    EXPECT_EQ(tags.at("IFD0:Orientation"), "6");
}

// The orientation of an XMP packet is set upright with the Exif one, so that no reader of either
// turns the upright result again.
TEST_F(UprightPhotoTest, XmpOrientationIsSetUprightToo) {
    const std::filesystem::path photo = dir / "photo8.jpg";
    ASSERT_TRUE(MakeOrientedPhoto(upright, 8, photo));
    ASSERT_TRUE(RunQuiet("exiftool -overwrite_original -n -XMP-tiff:Orientation=8 -XMP-dc:Title=Harbour " + ToolQuoted(photo)));
    ASSERT_TRUE(doc().OnOpenDocument(photo));
    SetOutput(320, 240, SizeCorrection::KeepAspect);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "out.jpg"));
    const std::map<std::string, std::string> tags = ExifToolTags(dir / "out.jpg");
    EXPECT_EQ(tags.at("XMP-tiff:Orientation"), "1");
    EXPECT_EQ(tags.at("XMP-dc:Title"), "Harbour");
    EXPECT_EQ(tags.at("IFD0:Orientation"), "1");
}

// "Same as the original" writes a JPEG at the quality its original was written at; an original
// that is no JPEG, or the choice left off, takes the quality set.
TEST(JpegSaveQualityTest, SameAsTheOriginalFollowsTheOriginalsTables) {
    TempDir dir;
    DocumentRig rig;
    CKVScaleCrafterDoc& doc = *rig.document;
    ASSERT_EQ(PatternBitmap(64, 48)->Save(dir / "q92.jpg", "image/jpeg", 92), Status::Ok);
    WritePattern(dir / "plain.png", 64, 48);
    rig.settings.jpegQuality = 60;
    const auto savedQuality = [&](const char* name) {
        EXPECT_TRUE(doc.OnResizeAndSave(dir / name));
        return EstimateJpegQuality(*Bitmap::FromFile(dir / name));
    };
    ASSERT_TRUE(doc.OnOpenDocument(dir / "q92.jpg"));
    EXPECT_EQ(doc.OriginalJpegQuality(), 92);
    EXPECT_EQ(savedQuality("set.jpg"), 60);
    rig.settings.sameJpegQuality = true;
    EXPECT_EQ(savedQuality("same.jpg"), 92);
    ASSERT_TRUE(doc.OnOpenDocument(dir / "plain.png"));
    EXPECT_EQ(doc.OriginalJpegQuality(), std::nullopt);
    EXPECT_EQ(savedQuality("fromPng.jpg"), 60);
}

}  // namespace
}  // namespace kv::test

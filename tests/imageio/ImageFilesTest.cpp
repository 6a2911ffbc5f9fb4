#include "imageio/ImageFiles.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(ImageFilesTest, SupportedImagesByExtension) {
    for (const char* path : {"a.jpg", "/p/a.JPG", "/p/x.y.Png", "b.tif", "c.gif", "d.bmp", "/p/.jpg", "a.jpeg", "A.JPEG",
                             "a.Jpe", "a.tiff", "A.TIFF"})
        EXPECT_TRUE(IsSupportedImage(path)) << path;
    for (const char* path : {"a.txt", "a", "/p.jpg/a", "/p/a.jp", "a.jpg ", "a.", "a.png;", "a.jpegx", "a.tiffany", ""})
        EXPECT_FALSE(IsSupportedImage(path)) << path;
}

// Each spelling of a format is that format everywhere: read, written under its own MIME type, and
// stepped onto by Next and Previous as its usual spelling is.
TEST(ImageFilesTest, SpellingsShareTheirFormat) {
    const struct {
        const char* name;
        ImageFormat format;
        const char* mime;
        bool navigable;
    } cases[] = {
        {"a.jpg", ImageFormat::Jpeg, "image/jpeg", true}, {"a.JPEG", ImageFormat::Jpeg, "image/jpeg", true},
        {"a.jpe", ImageFormat::Jpeg, "image/jpeg", true}, {"a.TIF", ImageFormat::Tiff, "image/tiff", true},
        {"a.tiff", ImageFormat::Tiff, "image/tiff", true}, {"a.gif", ImageFormat::Gif, "image/gif", false},
    };
    for (const auto& c : cases) {
        const ImageFileType* type = FindImageFileType(c.name);
        ASSERT_NE(type, nullptr) << c.name;
        EXPECT_EQ(type->format, c.format) << c.name;
        EXPECT_EQ(type->mimeType, c.mime) << c.name;
        EXPECT_EQ(type->navigable, c.navigable) << c.name;
        EXPECT_TRUE(HasFormatExtension(c.name, c.format)) << c.name;
    }
    EXPECT_FALSE(HasFormatExtension("a.tiff", ImageFormat::Jpeg));
}

TEST(ImageFilesTest, AnUnwritableNameSaysWhichNamesAreWritten) {
    EXPECT_EQ(UnwritableExtensionText("/out/photo.JPEG"), "");
    EXPECT_EQ(UnwritableExtensionText("/out/photo.xyz"),
              "photo.xyz cannot be saved as .xyz; use .jpg, .jpeg, .jpe, .tif, .tiff, .bmp, .gif or .png.");
    EXPECT_EQ(UnwritableExtensionText("/out/photo"),
              "photo cannot be saved without an extension; use .jpg, .jpeg, .jpe, .tif, .tiff, .bmp, .gif or .png.");
}

}  // namespace
}  // namespace kv

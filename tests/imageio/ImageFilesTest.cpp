#include "imageio/ImageFiles.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(ImageFilesTest, SupportedImagesByExtension) {
    for (const char* path : {"a.jpg", "/p/a.JPG", "/p/x.y.Png", "b.tif", "c.gif", "d.bmp", "/p/.jpg"})
        EXPECT_TRUE(IsSupportedImage(path)) << path;
    for (const char* path : {"a.jpeg", "a.tiff", "a.txt", "a", "/p.jpg/a", "/p/a.jp", "a.jpg ", "a.", "a.png;", ""})
        EXPECT_FALSE(IsSupportedImage(path)) << path;
}

}  // namespace
}  // namespace kv

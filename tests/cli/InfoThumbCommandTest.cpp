#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Kvscale.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

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

TEST(InfoCommandTest, DimensionsColoursAndCameraDetailsOnePerLine) {
    const CliRun run = Kvscale({"info", DataPath("kodak-dc240.jpg").string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("Manufacturer")), "Dimensions : 640 X 480\nColors : 16,777,216\n");
    EXPECT_NE(run.out.find("\nManufacturer : EASTMAN KODAK COMPANY\nModel : KODAK DC240 ZOOM DIGITAL CAMERA\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nExif image width : 1280\n"), std::string::npos);
    EXPECT_EQ(run.out.find("Exposure time"), std::string::npos);
}

TEST(InfoCommandTest, ImageWithoutItemsAndFailures) {
    TempDir dir;
    Bitmap grey(4, 4, PixelFormat8bppIndexed);
    ASSERT_EQ(grey.Save(dir / "grey.bmp", "image/bmp"), Status::Ok);
    EXPECT_EQ(Kvscale({"info", (dir / "grey.bmp").string()}).out, "Dimensions : 4 X 4\nColors : 256\n");
    EXPECT_EQ(Kvscale({"info", (dir / "missing.jpg").string()}).status, 1);
    EXPECT_EQ(Kvscale({"info"}).status, 2);
    EXPECT_EQ(Kvscale({"info", "a.jpg", "b.jpg"}).status, 2);
}

TEST(ThumbCommandTest, WritesTheFittedPreview) {
    TempDir dir;
    const struct {
        std::vector<std::string> box;
        const char* out;
        int32_t width, height;
    } cases[] = {
        {{}, "default.png", 220, 165},  // the cells' box
        {{"--box", "100x100"}, "small.bmp", 100, 75},
        {{"--box", "200x200"}, "large.jpg", 200, 150},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words{"thumb", DataPath("kodak-dc240.jpg").string(), "-o", (dir / c.out).string()};
        words.insert(words.end(), c.box.begin(), c.box.end());
        const CliRun run = Kvscale(words);
        ASSERT_EQ(run.status, 0) << c.out;
        EXPECT_EQ(run.out, std::to_string(c.width) + " x " + std::to_string(c.height) +
                               " thumbnail of a 1280 x 960 image\n");
        const std::unique_ptr<Bitmap> written = Bitmap::FromFile(dir / c.out);
        EXPECT_EQ(written->GetWidth(), c.width) << c.out;
        EXPECT_EQ(written->GetHeight(), c.height) << c.out;
    }
}

TEST(ThumbCommandTest, ExitStatuses) {
    TempDir dir;
    const std::string out = (dir / "out.png").string();
    // A JPEG whose Exif block's only directory points back at itself.
    WriteBytes(dir / "loop.jpg", {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x22, 'E',  'x',  'i',  'f',  0,    0,    'I', 'I',
                                  42,   0,    8,    0,    0,    0,    1,    0,    0x00, 0x01, 0x04, 0x00, 1,   0,
                                  0,    0,    64,   0,    0,    0,    8,    0,    0,    0,    0xFF, 0xD9});
    const struct {
        std::vector<std::string> words;
        int status;
    } cases[] = {
        {{"thumb", DataPath("Fujifilm_FinePix_E500.jpg").string(), "-o", out}, 3},  // no preview
        {{"thumb", DataPath("Picoawards.tiff").string(), "-o", out}, 3},
        {{"thumb", (dir / "loop.jpg").string(), "-o", out}, 1},  // damaged
        {{"thumb", (dir / "missing.jpg").string(), "-o", out}, 1},
        {{"thumb", DataPath("kodak-dc240.jpg").string()}, 2},
        {{"thumb", DataPath("kodak-dc240.jpg").string(), "-o", (dir / "out.webp").string()}, 2},
        {{"thumb", DataPath("kodak-dc240.jpg").string(), "-o", out, "--box", "0x10"}, 2},
        {{"thumb", DataPath("kodak-dc240.jpg").string(), "-o", out, "--box", "40000x10"}, 2},
        {{"thumb", "-o", out}, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(Kvscale(c.words).status, c.status) << c.words[1];
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace kv::test

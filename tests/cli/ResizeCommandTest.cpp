#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Kvscale.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv::test {
namespace {

std::vector<std::string> FileNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int Kvscale(std::vector<std::string> words) {
    words.insert(words.begin(), "kvscale");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return cli::RunKvscale(static_cast<int>(argv.size()), argv.data());
}

// A 1000 x 500 picture at 72 dots per inch, in a format that keeps its resolution exactly.
class ResizeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bitmap image(1000, 500, PixelFormat24bppRGB);
        BitmapData data;
        ASSERT_EQ(image.LockBits({0, 0, 1000, 500}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
        for (int32_t y = 0; y < 500; ++y)
            for (int32_t x = 0; x < 3000; ++x) data.scan0[y * data.stride + x] = static_cast<uint8_t>(x ^ y);
        image.UnlockBits(&data);
        image.SetResolution(72, 72);
        ASSERT_EQ(image.Save(input, "image/tiff"), Status::Ok);
    }
    int Resize(const std::vector<std::string>& options, const std::string& out = "out.tif") {
        std::vector<std::string> words{"resize", input.string(), "-o", (dir / out).string()};
        words.insert(words.end(), options.begin(), options.end());
        return Kvscale(words);
    }

    TempDir dir;
    std::filesystem::path input = dir / "in.tif";
};

TEST_F(ResizeCommandTest, EverySizeFormActsAsTheSettingsBarWould) {
    const struct {
        std::vector<std::string> options;
        int32_t width, height;
        float dpi;
    } cases[] = {
        {{}, 1000, 500, 72},
        {{"--width", "400"}, 400, 200, 72},
        {{"--height", "100"}, 200, 100, 72},
        {{"--width", "400", "--correction", "none"}, 400, 500, 72},
        {{"--size", "640x480"}, 640, 320, 72},  // the box fitted to the image
        {{"--size", "640x480", "--correction", "none"}, 640, 480, 72},
        {{"--size", "640x480", "--correction", "crop"}, 640, 480, 72},
        {{"--size", "6x6"}, 6, 3, 72},  // fitted, and still 3 pixels high
        {{"--percent", "50"}, 500, 250, 72},
        {{"--percent", "20", "--correction", "crop"}, 200, 100, 72},
        // The resolution is typed in pixel-edit mode: the print size stays, the pixels follow.
        {{"--dpi", "144"}, 2000, 1000, 144},
        {{"--dpi", "36", "--width", "300"}, 300, 150, 36},
        {{"--percent", "50", "--dpi", "144"}, 500, 250, 144},
        {{"--print", "4x2", "--unit", "in", "--dpi", "100"}, 400, 200, 100},
        {{"--print", "100x50", "--unit", "mm", "--dpi", "254", "--correction", "none"}, 1000, 500, 254},
        {{"--print", "72x36", "--unit", "pt"}, 72, 36, 72},
        // Both print fields are typed, width first: under Keep aspect the height typed last binds.
        {{"--print", "10x10", "--unit", "cm", "--dpi", "254"}, 2000, 1000, 254},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const std::string& o : c.options) trace += o + " ";
        SCOPED_TRACE(trace);
        ASSERT_EQ(Resize(c.options), 0);
        const auto out = Bitmap::FromFile(dir / "out.tif");
        EXPECT_EQ(out->GetWidth(), c.width);
        EXPECT_EQ(out->GetHeight(), c.height);
        EXPECT_FLOAT_EQ(out->GetHorizontalResolution(), c.dpi);
        EXPECT_FLOAT_EQ(out->GetVerticalResolution(), c.dpi);
    }
}

TEST_F(ResizeCommandTest, ValuesTheBarRefusesAndMisusedOptionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--width", "2"},
        {"--height", "100001"},
        {"--percent", "0.2"},  // 2 pixels of the 1000-pixel width
        {"--percent", "abc"},
        {"--dpi", "0.5"},
        {"--size", "640"},
        {"--size", "640x480", "--width", "300"},
        {"--print", "4x2"},
        {"--unit", "mm"},
        {"--print", "4x2", "--unit", "yards"},
        {"--print", "0.001x2", "--unit", "in"},  // under one pixel at 72 dots per inch
        {"--correction", "sideways"},
        {"--algorithm", "10"},
        // Sizes the bar would hold at 3 pixels instead of what was asked.
        {"--size", "2x1"},
        {"--size", "4x4"},   // fitted to the image: 4 x 2
        {"--width", "4"},    // the linked height: 2
        {"--print", "0.03x0.03", "--unit", "in"},  // 2 pixels at 72 dots per inch
        {"--quality", "0"},  // the same 1 to 100 as batch runs and the JPEG encoder
        {"--max-memory", "lots"},
        {"-o", ""},
    };
    for (const auto& options : cases) {
        SCOPED_TRACE(options[0] + " " + options[1]);
        EXPECT_EQ(Resize(options), 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "out.tif"));
    }
    EXPECT_EQ(Resize({}, "out.webp"), 2);
    EXPECT_EQ(Kvscale({"resize", input.string()}), 2);
}

TEST_F(ResizeCommandTest, InputOrOutputThatFailsExitsWithOne) {
    WriteBytes(dir / "bad.jpg", std::vector<uint8_t>(100, 7));
    EXPECT_EQ(Kvscale({"resize", (dir / "bad.jpg").string(), "-o", (dir / "out.png").string()}), 1);
    EXPECT_EQ(Kvscale({"resize", (dir / "none.jpg").string(), "-o", (dir / "out.png").string()}), 1);
    EXPECT_EQ(Resize({"--width", "300"}, "missing/out.png"), 1);
    EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"bad.jpg", "in.tif"}));
}

TEST_F(ResizeCommandTest, ResultCarriesTheSourcesItemsAndTheChosenQuality) {
    const std::string source = DataPath("Canon_40D.jpg").string();
    ASSERT_EQ(Kvscale({"resize", source, "-o", (dir / "low.jpg").string(), "--width", "400", "--quality", "10"}), 0);
    ASSERT_EQ(Kvscale({"resize", source, "-o", (dir / "high.jpg").string(), "--width", "400", "--quality", "95",
                       "--algorithm", "6"}),
              0);
    EXPECT_LT(std::filesystem::file_size(dir / "low.jpg"), std::filesystem::file_size(dir / "high.jpg"));
    const auto high = Bitmap::FromFile(dir / "high.jpg");
    EXPECT_EQ(high->GetWidth(), 400);
    EXPECT_EQ(high->GetHeight(), 272);
    const auto software = high->GetPropertyItem(PropertyTag::SoftwareUsed);
    ASSERT_TRUE(software);
    EXPECT_EQ(std::string(software->value.begin(), software->value.end()), std::string("KARVO Imaging  Resizer", 23));
}

}  // namespace
}  // namespace kv::test

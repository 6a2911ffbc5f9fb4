#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/JpegCommands.h"
#include "codecs/SlimJpegDecoder.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace {

using kv::test::DataPath;
using kv::test::ReadBytes;
using kv::test::TempDir;
using kv::test::WriteBytes;

int Jpeg(std::vector<std::string> words) {
    words.insert(words.begin(), "jpeg");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return kv::cli::RunJpegCommand(static_cast<int>(argv.size()), argv.data());
}

struct Decoded {
    unsigned width = 0, height = 0;
    uint8_t colour = 0;
    std::vector<uint8_t> pixels;
};

Decoded DecodeInProcess(const std::vector<uint8_t>& jpeg) {
    kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
    Decoded d;
    auto decoder = SlimJpeg::CreateDecoder(stream, &d.width, &d.height, &d.colour, nullptr, nullptr, nullptr);
    const size_t rowBytes = static_cast<size_t>(d.width) * (d.colour ? 3 : 1);
    for (unsigned y = 0; y < d.height; ++y) {
        const uint8_t* row = decoder->ReadRow();
        d.pixels.insert(d.pixels.end(), row, row + rowBytes);
    }
    return d;
}

std::vector<uint8_t> Ppm(const Decoded& d) {
    const std::string header =
        std::string(d.colour ? "P6" : "P5") + "\n" + std::to_string(d.width) + " " + std::to_string(d.height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), d.pixels.begin(), d.pixels.end());
    return bytes;
}

size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(JpegCommands, DecodeWritesTheDecodersRowsAsPpm) {
    TempDir dir;
    const std::vector<uint8_t> jpeg = ReadBytes(DataPath("testorig.jpg"));
    ASSERT_EQ(Jpeg({"decode", DataPath("testorig.jpg").string(), (dir / "out.ppm").string()}), 0);
    EXPECT_EQ(ReadBytes(dir / "out.ppm"), Ppm(DecodeInProcess(jpeg)));
}

TEST(JpegCommands, EncodeThenDecodeGivesTheImageBack) {
    TempDir dir;
    const Decoded original = DecodeInProcess(ReadBytes(DataPath("testorig.jpg")));
    WriteBytes(dir / "in.ppm", Ppm(original));
    ASSERT_EQ(Jpeg({"encode", (dir / "in.ppm").string(), (dir / "out.jpg").string(), "--quality", "95"}), 0);
    const Decoded again = DecodeInProcess(ReadBytes(dir / "out.jpg"));
    ASSERT_EQ(again.width, original.width);
    ASSERT_EQ(again.height, original.height);
    double sum = 0;
    for (size_t i = 0; i < again.pixels.size(); ++i) sum += std::abs(again.pixels[i] - original.pixels[i]);
    EXPECT_LT(sum / static_cast<double>(again.pixels.size()), 3.0);

    // A grey PGM becomes a colour stream with equal channels.
    WriteBytes(dir / "grey.pgm", {'P', '5', ' ', '2', ' ', '1', ' ', '2', '5', '5', '\n', 10, 250});
    ASSERT_EQ(Jpeg({"encode", (dir / "grey.pgm").string(), (dir / "grey.jpg").string()}), 0);
    const Decoded grey = DecodeInProcess(ReadBytes(dir / "grey.jpg"));
    EXPECT_EQ(grey.colour, 1);
    EXPECT_EQ(grey.width, 2u);
}

TEST(JpegCommands, EncodeReadsOtherFormatsThroughTheImagingLayer) {
    TempDir dir;
    kv::Bitmap bitmap(33, 20, kv::PixelFormat24bppRGB);
    kv::BitmapData data;
    ASSERT_EQ(bitmap.LockBits({0, 0, 33, 20}, kv::ImageLockMode::Write, kv::PixelFormat24bppRGB, &data), kv::Status::Ok);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 33; ++x) {
            uint8_t* p = data.scan0 + y * data.stride + 3 * x;
            p[0] = 30, p[1] = 120, p[2] = 220;  // blue, green, red
        }
    bitmap.UnlockBits(&data);
    bitmap.SetResolution(150, 150);
    ASSERT_EQ(bitmap.Save(dir / "in.png", "image/png"), kv::Status::Ok);
    ASSERT_EQ(Jpeg({"encode", (dir / "in.png").string(), (dir / "out.jpg").string()}), 0);
    const std::vector<uint8_t> jpeg = ReadBytes(dir / "out.jpg");
    const Decoded d = DecodeInProcess(jpeg);
    ASSERT_EQ(d.width, 33u);
    EXPECT_NEAR(d.pixels[0], 220, 4);
    EXPECT_NEAR(d.pixels[1], 120, 4);
    EXPECT_NEAR(d.pixels[2], 30, 4);
    kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
    int unit = 0;
    uint16_t x = 0;
    SlimJpeg::CreateDecoder(stream, nullptr, nullptr, nullptr, &unit, &x, nullptr);
    EXPECT_EQ(unit, 2);
    EXPECT_EQ(x, 150);
}

TEST(JpegCommands, FailuresLeaveNoOutputBehind) {
    TempDir dir;
    WriteBytes(dir / "bad.jpg", {0xFF, 0xD8, 0xFF, 0xC2, 0, 11});
    EXPECT_EQ(Jpeg({"decode", (dir / "bad.jpg").string(), (dir / "out.ppm").string()}), 1);
    std::vector<uint8_t> cut = ReadBytes(DataPath("testorig.jpg"));
    cut.resize(cut.size() / 2);
    WriteBytes(dir / "cut.jpg", cut);
    EXPECT_EQ(Jpeg({"decode", (dir / "cut.jpg").string(), (dir / "out.ppm").string()}), 1);
    EXPECT_EQ(Jpeg({"decode", (dir / "missing.jpg").string(), (dir / "out.ppm").string()}), 1);
    WriteBytes(dir / "short.ppm", {'P', '6', ' ', '4', ' ', '4', ' ', '2', '5', '5', '\n', 1, 2, 3});
    EXPECT_EQ(Jpeg({"encode", (dir / "short.ppm").string(), (dir / "out.jpg").string()}), 1);
    EXPECT_EQ(FilesIn(dir.path()), 3u);  // the inputs only
}

TEST(JpegCommands, UsageErrors) {
    EXPECT_EQ(Jpeg({}), 2);
    EXPECT_EQ(Jpeg({"shrink", "a", "b"}), 2);
    EXPECT_EQ(Jpeg({"decode", "a.jpg"}), 2);
    EXPECT_EQ(Jpeg({"encode", "a.ppm", "b.jpg", "--quality"}), 2);
    EXPECT_EQ(Jpeg({"encode", "a.ppm", "b.jpg", "--quality", "101"}), 2);
    EXPECT_EQ(Jpeg({"encode", "a.ppm", "b.jpg", "--quality", "9x"}), 2);
    EXPECT_EQ(Jpeg({"encode", "a.ppm", "b.jpg", "--fast"}), 2);
}

}  // namespace

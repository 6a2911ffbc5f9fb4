#include "imageio/Bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <latch>
#include <thread>

#include "ImageBuilders.h"
#include "common/TestFiles.h"
#include "imageio/BitmapState.h"

namespace kv {
namespace {

using test::Bytes;

// Fills a whole 24-bit write lock with one colour per pixel from a function of (x, y).
template <typename Colour>
void Paint(Bitmap& bitmap, const Rect& rect, Colour colour) {
    BitmapData data;
    ASSERT_EQ(bitmap.LockBits(rect, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    for (int32_t y = 0; y < rect.height; ++y)
        for (int32_t x = 0; x < rect.width; ++x) {
            const std::array<uint8_t, 3> bgr = colour(x, y);
            std::memcpy(data.scan0 + y * data.stride + 3 * x, bgr.data(), 3);
        }
    ASSERT_EQ(bitmap.UnlockBits(&data), Status::Ok);
}

std::array<uint8_t, 3> Bgr(Bitmap& bitmap, int32_t x, int32_t y) {
    BitmapData data;
    std::array<uint8_t, 3> p{};
    EXPECT_EQ(bitmap.LockBits({x, y, 1, 1}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    if (data.scan0) std::memcpy(p.data(), data.scan0, 3);
    bitmap.UnlockBits(&data);
    return p;
}

TEST(BitmapTest, EmptyBitmapsAreZeroFilledAndRefuseBadArguments) {
    Bitmap bitmap(3, 2, PixelFormat24bppRGB);
    EXPECT_EQ(bitmap.GetLastStatus(), Status::Ok);
    EXPECT_EQ(bitmap.GetRawFormat(), ImageFormat::Memory);
    EXPECT_FLOAT_EQ(bitmap.GetHorizontalResolution(), 96.0f);
    EXPECT_EQ(Bgr(bitmap, 2, 1), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(Bitmap(2, 2, PixelFormat8bppIndexed).GetPalette().size(), 256u);

    for (const auto& [w, h, format] : {std::tuple{0, 5, PixelFormat24bppRGB}, std::tuple{5, -1, PixelFormat24bppRGB},
                                       std::tuple{5, 5, PixelFormat{0x12345}}}) {
        Bitmap bad(w, h, format);
        EXPECT_EQ(bad.GetLastStatus(), Status::InvalidParameter);
        EXPECT_EQ(bad.GetPixelFormat(), PixelFormatUndefined);
        EXPECT_EQ(bad.GetType(), ImageType::Unknown);
        BitmapData data;
        EXPECT_NE(bad.LockBits({0, 0, 1, 1}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    }
}

TEST(BitmapTest, LastStatusIsReturnedOnceAndTheMessageStays) {
    Bitmap bitmap(2, 2, PixelFormat24bppRGB);
    BitmapData data;
    EXPECT_EQ(bitmap.LockBits({1, 1, 2, 2}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::InvalidParameter);
    EXPECT_EQ(bitmap.GetLastStatus(), Status::InvalidParameter);
    EXPECT_EQ(bitmap.GetLastStatus(), Status::Ok);
    EXPECT_FALSE(bitmap.GetLastErrorMessage().empty());
    EXPECT_EQ(bitmap.SetResolution(0, 72), Status::InvalidParameter);
    EXPECT_EQ(bitmap.SetResolution(150, 72), Status::Ok);
    EXPECT_EQ(bitmap.GetLastStatus(), Status::InvalidParameter);  // a success does not clear it
    EXPECT_FLOAT_EQ(bitmap.GetVerticalResolution(), 72.0f);
}

TEST(BitmapTest, OpeningMissingAndOddPaths) {
    test::TempDir dir;
    auto missing = Bitmap::FromFile(dir / "none.jpg");
    EXPECT_EQ(missing->GetLastStatus(), Status::FileNotFound);
    EXPECT_NE(missing->GetLastErrorMessage().find("none.jpg"), std::string::npos);
    EXPECT_EQ(Bitmap::FromFile(dir.path())->GetPixelFormat(), PixelFormatUndefined);
    test::WriteBytes(dir / "empty.png", {});
    EXPECT_EQ(Bitmap::FromFile(dir / "empty.png")->GetLastStatus(), Status::UnknownImageFormat);
}

// Write locks store B,G,R back in the bitmap's own format; only the locked rectangle changes.
TEST(BitmapTest, WriteLocksStoreBackIntoEveryFormat) {
    const struct {
        PixelFormat format;
        std::array<uint8_t, 3> written, readBack;
    } cases[] = {
        {PixelFormat24bppRGB, {1, 2, 3}, {1, 2, 3}},
        {PixelFormat32bppARGB, {1, 2, 3}, {1, 2, 3}},
        {PixelFormat32bppPARGB, {1, 2, 3}, {1, 2, 3}},
        {PixelFormat48bppRGB, {10, 20, 30}, {10, 20, 30}},
        {PixelFormat64bppARGB, {10, 20, 30}, {10, 20, 30}},
        {PixelFormat16bppRGB565, {255, 128, 0}, {255, 130, 0}},
        {PixelFormat16bppRGB555, {255, 128, 0}, {255, 132, 0}},
        {PixelFormat16bppGrayScale, {0, 0, 255}, {76, 76, 76}},
        {PixelFormat32bppCMYK, {0, 255, 255}, {0, 255, 255}},
        {PixelFormat8bppIndexed, {100, 100, 101}, {100, 100, 100}},  // nearest entry of the grey palette
        {PixelFormat4bppIndexed, {200, 200, 200}, {204, 204, 204}},
        {PixelFormat1bppIndexed, {200, 200, 200}, {255, 255, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        Bitmap bitmap(4, 3, c.format);
        const auto untouched = Bgr(bitmap, 0, 0);  // zero bits: black, or white for CMYK (no ink)
        Paint(bitmap, {1, 1, 2, 1}, [&](int, int) { return c.written; });
        EXPECT_EQ(Bgr(bitmap, 1, 1), c.readBack);
        EXPECT_EQ(Bgr(bitmap, 2, 1), c.readBack);
        EXPECT_EQ(Bgr(bitmap, 0, 1), untouched);
        EXPECT_EQ(Bgr(bitmap, 3, 1), untouched);
        EXPECT_EQ(Bgr(bitmap, 1, 0), untouched);
        EXPECT_EQ(bitmap.GetPixelFormat(), c.format);
    }
}

TEST(BitmapTest, TwentyFourBitLocksAreNotCopies) {
    Bitmap bitmap(5, 4, PixelFormat24bppRGB);
    BitmapData a, b;
    ASSERT_EQ(bitmap.LockBits({1, 2, 3, 2}, ImageLockMode::Read, PixelFormat24bppRGB, &a), Status::Ok);
    ASSERT_EQ(bitmap.LockBits({0, 0, 5, 4}, ImageLockMode::Read, PixelFormat24bppRGB, &b), Status::Ok);
    EXPECT_EQ(a.scan0, b.scan0 + 2 * b.stride + 3);
    EXPECT_EQ(a.scan0, bitmap.state().pixels.Row(2) + 3);
    EXPECT_FALSE(a.converted);
    bitmap.UnlockBits(&a);
    bitmap.UnlockBits(&b);
}

TEST(BitmapTest, ReadLocksShareAndWriteLocksExclude) {
    Bitmap bitmap(8, 8, PixelFormat8bppIndexed);  // converting locks: each gets its own rows
    std::latch bothLocked(2);
    std::array<Status, 2> status{};
    auto reader = [&](int i) {
        BitmapData data;
        status[static_cast<size_t>(i)] = bitmap.LockBits({0, 0, 8, 8}, ImageLockMode::Read, PixelFormat24bppRGB, &data);
        bothLocked.arrive_and_wait();  // both threads hold a read lock at this point
        if (data.scan0) bitmap.UnlockBits(&data);
    };
    std::thread first(reader, 0), second(reader, 1);
    first.join();
    second.join();
    EXPECT_EQ(status[0], Status::Ok);
    EXPECT_EQ(status[1], Status::Ok);

    BitmapData read, write;
    ASSERT_EQ(bitmap.LockBits({0, 0, 1, 1}, ImageLockMode::Read, PixelFormat24bppRGB, &read), Status::Ok);
    EXPECT_EQ(bitmap.LockBits({0, 0, 1, 1}, ImageLockMode::Write, PixelFormat24bppRGB, &write), Status::ObjectBusy);
    bitmap.UnlockBits(&read);
    ASSERT_EQ(bitmap.LockBits({0, 0, 1, 1}, ImageLockMode::ReadWrite, PixelFormat24bppRGB, &write), Status::Ok);
    EXPECT_EQ(bitmap.LockBits({0, 0, 1, 1}, ImageLockMode::Read, PixelFormat24bppRGB, &read), Status::ObjectBusy);
    EXPECT_EQ(bitmap.SetPalette({0xFF000000u}), Status::ObjectBusy);
    EXPECT_EQ(bitmap.UnlockBits(&write), Status::Ok);
    EXPECT_EQ(bitmap.UnlockBits(&write), Status::InvalidParameter);  // already unlocked
    BitmapData never;
    never.scan0 = reinterpret_cast<uint8_t*>(&never);
    EXPECT_EQ(bitmap.UnlockBits(&never), Status::WrongState);
}

TEST(BitmapTest, PaletteCanBeReplaced) {
    Bitmap bitmap(2, 1, PixelFormat4bppIndexed);
    EXPECT_EQ(bitmap.SetPalette(std::vector<uint32_t>(17, 0)), Status::InvalidParameter);
    ASSERT_EQ(bitmap.SetPalette({0xFF0000FFu, 0xFF00FF00u}), Status::Ok);
    EXPECT_EQ(Bgr(bitmap, 1, 0), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(Bitmap(1, 1, PixelFormat24bppRGB).SetPalette({0}), Status::InvalidParameter);
}

TEST(BitmapTest, CloneCopiesARectangleWithResolutionAndProperties) {
    Bitmap bitmap(4, 4, PixelFormat24bppRGB);
    Paint(bitmap, {0, 0, 4, 4}, [](int x, int y) { return std::array<uint8_t, 3>{uint8_t(x), uint8_t(y), 9}; });
    bitmap.SetResolution(300, 200);
    bitmap.SetPropertyItem({PropertyTag::EquipMake, PropertyTagType::ASCII, {'K', 0}});

    auto part = bitmap.Clone({1, 2, 3, 2}, PixelFormat32bppARGB);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->GetWidth(), 3);
    EXPECT_EQ(part->GetPixelFormat(), PixelFormat32bppARGB);
    EXPECT_EQ(Bgr(*part, 0, 0), (std::array<uint8_t, 3>{1, 2, 9}));
    EXPECT_EQ(Bgr(*part, 2, 1), (std::array<uint8_t, 3>{3, 3, 9}));
    EXPECT_FLOAT_EQ(part->GetHorizontalResolution(), 300.0f);
    EXPECT_FLOAT_EQ(part->GetVerticalResolution(), 200.0f);
    ASSERT_TRUE(part->GetPropertyItem(PropertyTag::EquipMake));
    EXPECT_EQ(part->GetPropertyItem(PropertyTag::EquipMake)->value[0], 'K');

    auto same = bitmap.Clone(bitmap.GetPixelFormat());
    ASSERT_TRUE(same);
    EXPECT_EQ(Bgr(*same, 3, 3), (std::array<uint8_t, 3>{3, 3, 9}));
    EXPECT_FALSE(bitmap.Clone({3, 3, 2, 1}, PixelFormat24bppRGB));
    EXPECT_EQ(bitmap.GetLastStatus(), Status::InvalidParameter);
}

TEST(BitmapTest, PropertyItemsAreSetReplacedAndRemoved) {
    auto photo = Bitmap::FromFile(test::DataPath("Canon_40D.jpg"));
    const uint32_t count = photo->GetPropertyCount();
    EXPECT_GT(count, 10u);
    ASSERT_TRUE(photo->GetPropertyItem(PropertyTag::EquipMake));
    photo->SetPropertyItem({PropertyTag::EquipMake, PropertyTagType::ASCII, {'X', 0}});
    EXPECT_EQ(photo->GetPropertyCount(), count);
    EXPECT_EQ(photo->GetPropertyItem(PropertyTag::EquipMake)->value, (std::vector<uint8_t>{'X', 0}));
    EXPECT_EQ(photo->RemovePropertyItem(PropertyTag::EquipMake), Status::Ok);
    EXPECT_FALSE(photo->GetPropertyItem(PropertyTag::EquipMake));
    EXPECT_EQ(photo->GetLastStatus(), Status::PropertyNotFound);
    EXPECT_EQ(photo->RemovePropertyItem(PropertyTag::EquipMake), Status::PropertyNotFound);
    EXPECT_EQ(Bitmap(1, 1, PixelFormat24bppRGB).GetPropertyCount(), 0u);
}

TEST(BitmapTest, ThumbnailOfAJpegDecodesAtAReducedScaleOnly) {
    auto photo = Bitmap::FromFile(test::DataPath("DSCN0010.jpg"));  // 640 x 480
    ASSERT_EQ(photo->GetLastStatus(), Status::Ok);
    auto thumbnail = photo->GetThumbnailImage(64, 48);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->GetWidth(), 64);
    EXPECT_EQ(thumbnail->GetHeight(), 48);
    EXPECT_EQ(thumbnail->GetPixelFormat(), PixelFormat24bppRGB);
    EXPECT_FALSE(photo->state().decodeTried);  // the full pixels were never decoded

    // The reduced picture matches one made from the full pixels.
    BitmapData data;
    ASSERT_EQ(photo->LockBits({0, 0, 640, 480}, ImageLockMode::Read, PixelFormat24bppRGB, &data), Status::Ok);
    photo->UnlockBits(&data);
    auto fromFull = photo->GetThumbnailImage(64, 48);
    ASSERT_TRUE(fromFull);
    int64_t difference = 0;
    for (int y = 0; y < 48; y += 7)
        for (int x = 0; x < 64; x += 7) {
            const auto a = Bgr(*thumbnail, x, y), b = Bgr(*fromFull, x, y);
            for (int c = 0; c < 3; ++c) difference += std::abs(a[c] - b[c]);
        }
    EXPECT_LT(difference / (10 * 7 * 3), 6);
}

TEST(BitmapTest, ThumbnailsOfOtherFormatsAndSizes) {
    Bitmap grey(10, 10, PixelFormat8bppIndexed);
    Paint(grey, {0, 0, 10, 10}, [](int, int) { return std::array<uint8_t, 3>{128, 128, 128}; });
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{30, 20}}) {
        auto thumbnail = grey.GetThumbnailImage(w, h);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->GetWidth(), w);
        EXPECT_EQ(Bgr(*thumbnail, w - 1, h - 1), (std::array<uint8_t, 3>{128, 128, 128}));
    }
    EXPECT_FALSE(grey.GetThumbnailImage(0, 5));
}

TEST(BitmapTest, DrawImageClipsTheDestinationAndNarrowsTheSource) {
    // Source: left half red, right half blue.
    Bitmap source(10, 10, PixelFormat24bppRGB);
    Paint(source, {0, 0, 10, 10}, [](int x, int) {
        return x < 5 ? std::array<uint8_t, 3>{0, 0, 255} : std::array<uint8_t, 3>{255, 0, 0};
    });
    Bitmap target(10, 10, PixelFormat24bppRGB);
    ASSERT_EQ(target.DrawImage(source, {-5, 0, 10, 10}, {0, 0, 10, 10}, InterpolationMode::NearestNeighbor), Status::Ok);
    EXPECT_EQ(Bgr(target, 0, 5), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(Bgr(target, 4, 5), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(Bgr(target, 5, 5), (std::array<uint8_t, 3>{0, 0, 0}));  // outside the destination
    EXPECT_EQ(target.DrawImage(source, {20, 20, 5, 5}, {0, 0, 10, 10}, InterpolationMode::Bilinear), Status::Ok);

    // Onto itself: the right half copied over the left.
    ASSERT_EQ(source.DrawImage(source, {0, 0, 5, 10}, {5, 0, 5, 10}, InterpolationMode::NearestNeighbor), Status::Ok);
    EXPECT_EQ(Bgr(source, 0, 0), (std::array<uint8_t, 3>{255, 0, 0}));
}

TEST(BitmapTest, SavedStreamsOpenAgain) {
    Bitmap bitmap(6, 4, PixelFormat24bppRGB);
    Paint(bitmap, {0, 0, 6, 4}, [](int x, int) { return std::array<uint8_t, 3>{uint8_t(40 * x), 90, 200}; });
    bitmap.SetResolution(150, 150);
    for (const char* mime : {"image/bmp", "image/png", "image/tiff", "image/jpeg", "image/gif"}) {
        SCOPED_TRACE(mime);
        Bytes stream = {1, 2, 3};
        ASSERT_EQ(bitmap.Save(stream, mime, 90), Status::Ok) << bitmap.GetLastErrorMessage();
        auto again = Bitmap::FromMemory(stream);
        ASSERT_EQ(again->GetLastStatus(), Status::Ok) << again->GetLastErrorMessage();
        EXPECT_EQ(again->GetWidth(), 6);
        if (std::string(mime) != "image/gif") {
            EXPECT_NEAR(again->GetHorizontalResolution(), 150.0f, 0.5f);
            EXPECT_NEAR(Bgr(*again, 5, 3)[0], 200, std::string(mime) == "image/jpeg" ? 24 : 0);
        }
    }
    Bytes untouched = {7};
    EXPECT_EQ(bitmap.Save(untouched, "image/x-unknown"), Status::UnknownImageFormat);
    EXPECT_EQ(untouched, Bytes{7});
}

TEST(BitmapTest, FailedFileWritesLeaveNothingBehind) {
    test::TempDir dir;
    Bitmap bitmap(2, 2, PixelFormat24bppRGB);
    EXPECT_EQ(bitmap.Save(dir / "missing" / "out.png", "image/png"), Status::Win32Error);
    EXPECT_NE(bitmap.GetLastErrorMessage().find("No such file"), std::string::npos) << bitmap.GetLastErrorMessage();

    const auto written = dir / "out.bmp";
    ASSERT_EQ(bitmap.Save(written, "image/bmp"), Status::Ok);
    EXPECT_EQ(Bitmap::FromFile(written)->GetPixelFormat(), PixelFormat24bppRGB);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(BitmapTest, SavingAPhotoKeepsItsPropertyItems) {
    auto photo = Bitmap::FromFile(test::DataPath("Canon_40D.jpg"));
    Bytes stream;
    ASSERT_EQ(photo->Save(stream, "image/jpeg"), Status::Ok) << photo->GetLastErrorMessage();
    auto again = Bitmap::FromMemory(stream);
    const auto make = again->GetPropertyItem(PropertyTag::EquipMake);
    ASSERT_TRUE(make);
    EXPECT_EQ(make->value, photo->GetPropertyItem(PropertyTag::EquipMake)->value);
}

}  // namespace
}  // namespace kv

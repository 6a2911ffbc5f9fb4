#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>

#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/DecodableImage.h"
#include "imageio/ExifDate.h"
#include "imageio/ImageBuilders.h"

namespace kv::test {
namespace {

int64_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(ExifDateTest, DateTexts) {
    const struct {
        const char* text;
        std::optional<int64_t> time;
    } cases[] = {
        {"2008:05:30 15:56:01", LocalTime(2008, 5, 30, 15, 56, 1)},
        {" 2008:5:3   1:2:3 trailing", LocalTime(2008, 5, 3, 1, 2, 3)},  // scanf's white space and digits
        {"1970:01:01 00:00:00", LocalTime(1970, 1, 1, 0, 0, 0)},
        {"3000:12:31 23:59:59", LocalTime(3000, 12, 31, 23, 59, 59)},
        {"2008:13:01 00:00:00", std::nullopt},  // month 13
        {"2008:00:01 00:00:00", std::nullopt},
        {"2008:05:00 00:00:00", std::nullopt},
        {"2008:05:32 00:00:00", std::nullopt},
        {"2008:05:30 24:00:00", std::nullopt},  // hours, minutes and seconds a calendar day does not have
        {"2008:05:30 12:60:00", std::nullopt},
        {"2008:05:30 12:00:60", std::nullopt},
        {"1969:12:31 23:59:59", std::nullopt},
        {"3001:01:01 00:00:00", std::nullopt},
        {"2008:05:30 -1:00:00", std::nullopt},
        {"2008:05:30 15:56", std::nullopt},  // five numbers
        {"2008-05-30 15:56:01", std::nullopt},
        {"99999999999999999999:05:30 15:56:01", std::nullopt},
        {"    :  :     :  :  ", std::nullopt},  // what some cameras write for an unset clock
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseExifDateTime(c.text), c.time) << c.text;
}

TEST(ExifDateTest, CameraFilesByExtension) {
    TempDir dir;
    const Bytes canon = ReadBytes(DataPath("Canon_40D.jpg"));
    const std::optional<int64_t> original = LocalTime(2008, 5, 30, 15, 56, 1);
    const struct {
        const char* name;
        bool found;
    } cases[] = {{"a.jpg", true}, {"b.JPG", true}, {"c.tif", true},  {"d.TIFF", true}, {"e.dng", true},
                 {"f.png", false}, {"g.jpeg", true}, {"g.JPE", true}, {"h", false}};
    for (const auto& c : cases) {
        WriteBytes(dir / c.name, canon);
        int64_t time = 0;
        EXPECT_EQ(GetExifDateTime(dir / c.name, time), c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(time, original) << c.name;
        }
    }
    int64_t time = 0;
    EXPECT_TRUE(GetExifDateTime(DataPath("Fujifilm_FinePix_E500.jpg"), time));
    EXPECT_EQ(time, LocalTime(2006, 8, 17, 9, 24, 48));
    EXPECT_FALSE(GetExifDateTime(DataPath("Picoawards.tiff"), time));  // no date items
    EXPECT_FALSE(GetExifDateTime(dir / "missing.jpg", time));
    WriteBytes(dir / "text.jpg", Bytes(100, 'x'));
    EXPECT_FALSE(GetExifDateTime(dir / "text.jpg", time));
}

// The first date item that is there decides, even when its text is no date.
TEST(ExifDateTest, FirstPresentDateItemDecides) {
    TempDir dir;
    const auto saveWith = [&](const std::string& name, std::vector<PropertyItem> items) {
        Bitmap image(8, 8, PixelFormat24bppRGB);
        for (const PropertyItem& item : items) image.SetPropertyItem(item);
        EXPECT_EQ(image.Save(dir / name, "image/jpeg"), Status::Ok);
        return dir / name;
    };
    const auto ascii = [](uint32_t tag, const std::string& text) {
        std::vector<uint8_t> value(text.begin(), text.end());
        value.push_back(0);
        return PropertyItem{tag, PropertyTagType::ASCII, value};
    };
    int64_t time = 0;
    EXPECT_FALSE(GetExifDateTime(saveWith("month13.jpg", {ascii(PropertyTag::ExifDTOrig, "2008:13:01 10:00:00"),
                                                          ascii(PropertyTag::DateTime, "2008:01:01 10:00:00")}),
                                 time));
    EXPECT_FALSE(GetExifDateTime(saveWith("hour24.jpg", {ascii(PropertyTag::ExifDTOrig, "2008:01:01 24:00:00")}), time));
    ASSERT_TRUE(GetExifDateTime(saveWith("digitized.jpg", {ascii(PropertyTag::ExifDTDigitized, "2010:02:03 04:05:06"),
                                                           ascii(PropertyTag::DateTime, "2011:01:01 00:00:00")}),
                                time));
    EXPECT_EQ(time, LocalTime(2010, 2, 3, 4, 5, 6));
}

TEST(DecodableImageTest, AcceptedFormatsOnly) {
    TempDir dir;
    JpegImage cmyk;
    cmyk.components = 4;
    cmyk.colourSpace = JCS_CMYK;
    cmyk.samples.assign(8 * 8 * 4, 100);
    WriteBytes(dir / "cmyk.jpg", EncodeJpeg(cmyk));
    WriteBytes(dir / "text.png", Bytes(300, 'x'));
    const struct {
        std::filesystem::path path;
        bool decodable;
    } cases[] = {
        {DataPath("Canon_40D.jpg"), true},  {DataPath("Picoawards.tiff"), true}, {DataPath("Arbitro.tiff"), true},
        {dir / "cmyk.jpg", false},          {dir / "text.png", false},          {dir / "missing.bmp", false},
        {DataPath("monkey12.jpg"), false},  // 12-bit samples
    };
    for (const auto& c : cases) EXPECT_EQ(IsDecodableImage(c.path), c.decodable) << c.path;
}

}  // namespace
}  // namespace kv::test

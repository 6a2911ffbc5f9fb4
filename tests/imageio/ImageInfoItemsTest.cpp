#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ImageInfoItems.h"

namespace kv::test {
namespace {

PropertyItem Short(uint32_t tag, std::vector<uint16_t> values) {
    PropertyItem item{tag, PropertyTagType::Short, {}};
    for (const uint16_t v : values) item.value.insert(item.value.end(), {uint8_t(v), uint8_t(v >> 8)});
    return item;
}

PropertyItem Long(uint32_t tag, uint32_t v) {
    return {tag, PropertyTagType::Long, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

PropertyItem Ascii(uint32_t tag, const std::string& text) {
    return {tag, PropertyTagType::ASCII, std::vector<uint8_t>(text.begin(), text.end())};
}

TEST(ImageInfoItemsTest, CameraFileItemsInFileOrder) {
    const std::unique_ptr<Bitmap> image = Bitmap::FromFile(DataPath("Canon_40D.jpg"));
    const std::vector<ImageInfoItem> items = CollectImageInfoItems(image->GetAllPropertyItems());
    // Rationals, undefined-type items, layout tags and the thumbnail's own items are left out.
    const std::vector<ImageInfoItem> expected = {
        {"Manufacturer", "Canon"},
        {"Model", "Canon EOS 40D"},
        {"Orientation", "Normal"},
        {"Resolution units", "Inches"},
        {"Software", "GIMP 2.4.5"},
        {"Date/time", "2008:07:31 10:38:11"},
        {"ExifOffset", "214"},
        {"Exposure program", "Manual"},
        {"ISO speed ratings", "100"},
        {"Date/time original", "2008:05:30 15:56:01"},
        {"Date/time digitized", "2008:05:30 15:56:01"},
        {"Metering mode", "Pattern"},
        {"Flash", "Fired"},
        {"SubSecTime", "00"},
        {"SubSecTimeOriginal", "00"},
        {"SubSecTimeDigitized", "00"},
        {"Color space", "sRGB"},
        {"Exif image width", "100"},
        {"Exif image height", "68"},
    };
    EXPECT_EQ(items, expected);
}

TEST(ImageInfoItemsTest, ValueTexts) {
    const struct {
        PropertyItem item;
        const char* text;  // "" when the item is not shown
    } cases[] = {
        {Short(0x0112, {6}), "90 left"},
        {Short(0x0112, {5}), "Horizontal flip + 90 left"},
        {Short(0x0112, {9}), ""},  // no word, and no digits either
        {Short(0x0106, {2}), "RGB"},
        {Short(0x0106, {6}), "YCbCr"},
        {Short(0x0128, {3}), "Centimeters"},
        {Short(0x0128, {1}), ""},
        {Short(0x8822, {9}), "Unknown"},
        {Short(0x9207, {255}), "Unknown"},
        {Short(0x9208, {21}), "D65"},
        {Short(0x9208, {0}), "Unknown"},
        {Short(0x9209, {16}), "No flash"},
        {Short(0x9209, {0x19}), "Fired"},
        {Short(0xA001, {1}), "sRGB"},
        {Short(0xA001, {0xFFFF}), ""},  // uncalibrated is -1 as a signed SHORT
        {Short(0xA217, {2}), "One chip"},
        {Short(0xA217, {1}), "Unknown"},
        {Short(0x8827, {400}), "400"},
        {Long(0x8827, 400), "400"},
        {Short(0x8827, {100, 200}), ""},  // two values
        {Short(0x0212, {2, 1}), ""},      // YCbCrSubSampling
        {Short(0x0100, {40000}), "-25536"},
        {Long(0x0100, 0xFFFFFFFF), "-1"},
        {Short(0x0103, {6}), ""},  // numbers that mean nothing to a reader
        {Long(0x0201, 1234), ""},
        {Long(0x8825, 26), ""},
        {{0x829A, PropertyTagType::Rational, std::vector<uint8_t>(8, 1)}, ""},
        {{0x9000, PropertyTagType::Undefined, {'0', '2', '2', '1'}}, ""},
        {Ascii(0x0110, std::string("Model X\0", 8)), "Model X"},
        {Ascii(0x0110, "no terminator"), "no terminator"},
        {Ascii(0x0110, std::string("\0junk", 5)), ""},
        {Ascii(0x010D, std::string("doc\0", 4)), "doc"},  // only numbers of this tag are hidden
        {Ascii(0x9999, std::string("unnamed\0", 8)), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PropertyValueText(c.item), c.text) << std::hex << c.item.id << " type " << c.item.type;
    }
    const std::vector<ImageInfoItem> rows =
        CollectImageInfoItems({Ascii(0x9999, "x"), Short(0x0112, {6}), Short(0x0112, {9}), Ascii(0x010F, "Kodak")});
    EXPECT_EQ(rows, (std::vector<ImageInfoItem>{{"Orientation", "90 left"}, {"Manufacturer", "Kodak"}}));
}

TEST(ImageInfoItemsTest, NameTableHoldsEightyTwoTags) {
    int named = 0;
    for (uint32_t tag = 0; tag <= 0xFFFF; ++tag) named += PropertyTagDisplayName(tag) != nullptr;
    EXPECT_EQ(named, 82);
    EXPECT_STREQ(PropertyTagDisplayName(0x010F), "Manufacturer");
    EXPECT_STREQ(PropertyTagDisplayName(0x8298), "Copyrights");
    EXPECT_STREQ(PropertyTagDisplayName(0xA301), "Scene type");
    EXPECT_EQ(PropertyTagDisplayName(0x501B), nullptr);
}

TEST(ImageInfoItemsTest, DimensionAndColourTexts) {
    EXPECT_EQ(ImageDimensionsText(640, 480), "640 X 480");
    EXPECT_EQ(ImageDimensionsText(0, 0), "0 X 0");
    const struct {
        PixelFormat format;
        const char* text;
    } cases[] = {
        {PixelFormatUndefined, "1"},
        {PixelFormat1bppIndexed, "2"},
        {PixelFormat8bppIndexed, "256"},
        {PixelFormat16bppRGB565, "65,536"},
        {0x00001400, "1,048,576"},  // a 20-bit format: inner groups keep their zeros
        {PixelFormat24bppRGB, "16,777,216"},
        {PixelFormat48bppRGB, "16,777,216"},
        {PixelFormat64bppARGB, "16,777,216"},
    };
    for (const auto& c : cases) EXPECT_EQ(ImageColorsText(c.format), c.text) << std::hex << c.format;
}

}  // namespace
}  // namespace kv::test

#include "imageio/ImageInfoItems.h"

#include <cstdio>
#include <span>

namespace kv {

namespace {

struct ValueWord {
    int32_t value;
    const char* word;
};

// How a single SHORT or LONG value of a tag is shown.
enum class Numeric {
    Digits,  // "%d"
    Hidden,  // an offset, a layout detail or a rational tag: never shown
    Words,   // a word from the tag's list, else the tag's fallback (none: not shown)
    Flash,   // even "No flash", odd "Fired"
};

struct TagInfo {
    uint32_t tag;
    const char* name;
    Numeric numeric = Numeric::Digits;
    std::span<const ValueWord> words = {};
    const char* otherwise = nullptr;
};

constexpr ValueWord kPhotometric[] = {{2, "RGB"}};
constexpr ValueWord kOrientation[] = {{1, "Normal"},
                                      {2, "Horizontal flip"},
                                      {3, "180"},
                                      {4, "Horizontal flip + 180"},
                                      {5, "Horizontal flip + 90 left"},
                                      {6, "90 left"},
                                      {7, "Horizontal flip + 90 right"},
                                      {8, "90 right"}};
constexpr ValueWord kResolutionUnits[] = {{2, "Inches"}, {3, "Centimeters"}};
constexpr ValueWord kExposurePrograms[] = {{1, "Manual"},           {2, "Normal"}, {3, "Aperture priority"},
                                           {4, "Shutter priority"}, {5, "Creative"}, {6, "Action"},
                                           {7, "Portrait"},         {8, "Landscape"}};
constexpr ValueWord kMeteringModes[] = {{1, "Average"}, {2, "Central weight average"}, {3, "Spot"},
                                        {4, "Multi spot"}, {5, "Pattern"}, {6, "Partial"}};
constexpr ValueWord kLightSources[] = {{1, "Daylight"},    {2, "Fluorescent"}, {3, "Tungsten"},
                                       {17, "Standard A"}, {18, "Standard B"}, {19, "Standard C"},
                                       {20, "D55"},        {21, "D65"},        {22, "D75"}};
constexpr ValueWord kColorSpaces[] = {{1, "sRGB"}, {2, "Uncalibrated"}};
constexpr ValueWord kSensors[] = {{2, "One chip"}, {3, "2 chip"},    {4, "3 chip"},
                                  {5, "Color sequential area"},      {7, "Trilinear"},
                                  {8, "Color sequential linear"}};

constexpr Numeric H = Numeric::Hidden;

// The named tags in the order of the program's string table.
constexpr TagInfo kTags[] = {
    {0x0100, "Image width"},
    {0x0101, "Image length"},
    {0x0102, "BitsPerSample"},
    {0x0103, "Compression", H},
    {0x0106, "Photometric interpretation", Numeric::Words, kPhotometric, "YCbCr"},
    {0x010A, "FillOrder", H},
    {0x010D, "Document name", H},
    {0x010E, "Image description"},
    {0x010F, "Manufacturer"},
    {0x0110, "Model"},
    {0x0111, "StripOffsets", H},
    {0x0112, "Orientation", Numeric::Words, kOrientation},
    {0x0115, "SamplesPerPixel", H},
    {0x0116, "RowsPerStrip", H},
    {0x0117, "StripByteCounts", H},
    {0x011A, "Horizontal resolution", H},
    {0x011B, "Vertical resolution", H},
    {0x011C, "PlanarConfiguration", H},
    {0x0128, "Resolution units", Numeric::Words, kResolutionUnits},
    {0x012D, "TransferFunction", H},
    {0x0131, "Software"},
    {0x0132, "Date/time"},
    {0x013B, "Artist"},
    {0x013E, "WhitePoint", H},
    {0x013F, "PrimaryChromaticities", H},
    {0x0156, "TransferRange", H},
    {0x0200, "JPEGProc", H},
    {0x0201, "JPEGInterchangeFormat", H},
    {0x0202, "JPEGInterchangeFormatLength", H},
    {0x0211, "YCbCrCoefficients", H},
    {0x0212, "YCbCrSubSampling", H},
    {0x0213, "YCbCrPositioning", H},
    {0x0214, "ReferenceBlackWhite", H},
    {0x828D, "CFARepeatPatternDim", H},
    {0x828E, "CFAPattern"},
    {0x828F, "Battery level", H},
    {0x8298, "Copyrights"},
    {0x829A, "Exposure time", H},
    {0x829D, "FNumber", H},
    {0x83BB, "IPTC/NAA"},
    {0x8769, "ExifOffset"},
    {0x8773, "InterColorProfile", H},
    {0x8822, "Exposure program", Numeric::Words, kExposurePrograms, "Unknown"},
    {0x8824, "SpectralSensitivity"},
    {0x8825, "GPSInfo", H},
    {0x8827, "ISO speed ratings"},
    {0x8828, "OECF"},
    {0x9000, "ExifVersion"},
    {0x9003, "Date/time original"},
    {0x9004, "Date/time digitized"},
    {0x9101, "ComponentsConfiguration", H},
    {0x9102, "CompressedBitsPerPixel", H},
    {0x9201, "Shutter speed value", H},
    {0x9202, "Aperture value", H},
    {0x9203, "Brightness value", H},
    {0x9204, "Exposure bias value", H},
    {0x9205, "Max aperture value", H},
    {0x9206, "Subject distance", H},
    {0x9207, "Metering mode", Numeric::Words, kMeteringModes, "Unknown"},
    {0x9208, "Light source", Numeric::Words, kLightSources, "Unknown"},
    {0x9209, "Flash", Numeric::Flash},
    {0x920A, "Focal length", H},
    {0x927C, "Maker notes"},
    {0x9286, "User comments"},
    {0x9290, "SubSecTime"},
    {0x9291, "SubSecTimeOriginal"},
    {0x9292, "SubSecTimeDigitized"},
    {0xA000, "FlashPixVersion"},
    {0xA001, "Color space", Numeric::Words, kColorSpaces},
    {0xA002, "Exif image width"},
    {0xA003, "Exif image height"},
    {0xA005, "InteroperabilityOffset", H},
    {0xA20B, "Flash energy", H},
    {0xA20C, "SpatialFrequencyResponse"},
    {0xA20E, "FocalPlaneXResolution", H},
    {0xA20F, "FocalPlaneYResolution", H},
    {0xA210, "FocalPlaneResolutionUnit", H},
    {0xA214, "Subject location", H},
    {0xA215, "Exposure index", H},
    {0xA217, "Sensor", Numeric::Words, kSensors, "Unknown"},
    {0xA300, "File source"},
    {0xA301, "Scene type"},
};
static_assert(std::size(kTags) == 82);

const TagInfo* FindTag(uint32_t tag) {
    for (const TagInfo& info : kTags)
        if (info.tag == tag) return &info;
    return nullptr;
}

std::string NumberText(const TagInfo& info, int32_t value) {
    switch (info.numeric) {
        case Numeric::Hidden: return {};
        case Numeric::Flash: return value % 2 == 0 ? "No flash" : "Fired";
        case Numeric::Words:
            for (const ValueWord& word : info.words)
                if (word.value == value) return word.word;
            return info.otherwise ? info.otherwise : "";
        case Numeric::Digits: break;
    }
    return std::to_string(value);
}

}  // namespace

const char* PropertyTagDisplayName(uint32_t tag) {
    const TagInfo* info = FindTag(tag);
    return info ? info->name : nullptr;
}

std::string PropertyValueText(const PropertyItem& item) {
    const TagInfo* info = FindTag(item.id);
    if (!info) return {};
    const std::vector<uint8_t>& v = item.value;
    switch (item.type) {
        case PropertyTagType::ASCII: {
            std::string text(v.begin(), v.end());
            return text.substr(0, text.find('\0'));
        }
        case PropertyTagType::Short:
            if (v.size() != 2) return {};
            return NumberText(*info, static_cast<int16_t>(v[0] | v[1] << 8));
        case PropertyTagType::Long:
            if (v.size() != 4) return {};
            return NumberText(*info, static_cast<int32_t>(uint32_t{v[0]} | uint32_t{v[1]} << 8 | uint32_t{v[2]} << 16 |
                                                          uint32_t{v[3]} << 24));
        default: return {};
    }
}

std::vector<ImageInfoItem> CollectImageInfoItems(const std::vector<PropertyItem>& items) {
    std::vector<ImageInfoItem> rows;
    for (const PropertyItem& item : items) {
        const char* name = PropertyTagDisplayName(item.id);
        if (!name) continue;
        std::string value = PropertyValueText(item);
        if (!value.empty()) rows.push_back({name, std::move(value)});
    }
    return rows;
}

std::string ImageDimensionsText(uint32_t width, uint32_t height) {
    char text[32];
    std::snprintf(text, sizeof text, "%u X %u", width, height);
    return text;
}

std::string ImageColorsText(PixelFormat format) {
    const int bits = GetPixelFormatSize(format);
    const uint32_t colors = uint32_t{1} << (bits < 24 ? bits : 24);
    // The groups after the first keep their leading zeros: 1,048,576 and not 1,48,576.
    char text[32];
    if (colors >= 1'000'000)
        std::snprintf(text, sizeof text, "%u,%03u,%03u", colors / 1'000'000, colors / 1000 % 1000, colors % 1000);
    else if (colors >= 1000)
        std::snprintf(text, sizeof text, "%u,%03u", colors / 1000, colors % 1000);
    else
        std::snprintf(text, sizeof text, "%u", colors);
    return text;
}

}  // namespace kv

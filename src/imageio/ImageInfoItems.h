#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/ImagingTypes.h"

namespace kv {

// One row of an image's camera details: a property item's display name and its value as text.
struct ImageInfoItem {
    std::string name;
    std::string value;
    bool operator==(const ImageInfoItem&) const = default;
};

// The display name of a property tag, or null for a tag the program does not name.
const char* PropertyTagDisplayName(uint32_t tag);

// The text shown for an item of a named tag, empty when the item is not shown: an ASCII value up to
// its first zero; a single SHORT or LONG value, signed, in words where the tag has them ("90 left",
// "Inches", "Fired"...) or in digits, except for the tags whose numbers mean nothing to a reader
// (offsets, layout, rationals); every other type or count gives nothing.
std::string PropertyValueText(const PropertyItem& item);

// The named items with a value text, in the order of the list.
std::vector<ImageInfoItem> CollectImageInfoItems(const std::vector<PropertyItem>& items);

// "640 X 480".
std::string ImageDimensionsText(uint32_t width, uint32_t height);

// The number of colours of a pixel format: 2 to the power of its bits per pixel, at most 2^24,
// with commas between the thousands ("256", "65,536", "16,777,216").
std::string ImageColorsText(PixelFormat format);

}  // namespace kv

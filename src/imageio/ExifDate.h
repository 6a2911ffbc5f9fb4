#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "imageio/Bitmap.h"

namespace kv {

// The moment a date text of the form "%d:%d:%d %d:%d:%d" (year, month, day, hour, minute, second)
// names, taken as local time with daylight saving left to the C library, in seconds since the
// epoch. Nothing unless all six numbers are there and the year lies in 1970..3000, the month in
// 1..12, the day in 1..31, the hour in 0..23 and the minute and second in 0..59; a day past the
// end of its month carries over into the next, as the C library's calendar does.
std::optional<int64_t> ParseExifDateTime(std::string_view text);

// The capture date of an image: the first of DateTimeOriginal, DateTimeDigitized and DateTime that
// has a non-empty item decides. False when the image did not open, has none of them, or the text
// is no valid date.
bool GetExifDateTime(Bitmap& image, int64_t& time);

// The same for a file whose extension is a JPEG or TIFF one or ".dng" (any case); the file is
// opened for its header and property items only.
bool GetExifDateTime(const std::filesystem::path& path, int64_t& time);

}  // namespace kv

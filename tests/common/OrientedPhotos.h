#pragma once

// Photos as a camera held sideways or upside down stores them, made from one upright photo with
// ImageMagick and exiftool: the pixels stored turned, the Orientation tag saying how to turn them
// back, and the embedded thumbnail stored the same way. ImageMagick's own reading of a file
// (-auto-orient) is the reference the program's upright pictures are compared with.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kv::test {

inline std::string ToolQuoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

inline bool RunQuiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

inline bool HaveOrientationTools() {
    return RunQuiet("command -v exiftool") && std::filesystem::exists("/usr/bin/convert");
}

// ImageMagick's operation that stores an upright picture as a file of this orientation holds it:
// the inverse of the turn the tag asks for.
inline const char* StoringOperation(int orientation) {
    switch (orientation) {
        case 2: return "-flop";
        case 3: return "-rotate 180";
        case 4: return "-flip";
        case 5: return "-transpose";
        case 6: return "-rotate 270";
        case 7: return "-transverse";
        case 8: return "-rotate 90";
        default: return "";
    }
}

// Writes `out` (its extension picks JPEG or TIFF) holding the upright photo stored for an
// orientation, with the tag set and, when thumbnailSide is given, an embedded JPEG thumbnail of that
// longest side stored the same way as the picture. False when a tool failed.
inline bool MakeOrientedPhoto(const std::filesystem::path& upright, int orientation, const std::filesystem::path& out,
                              std::optional<int> thumbnailSide = std::nullopt) {
    const bool jpeg = out.extension() == ".jpg" || out.extension() == ".jpeg" || out.extension() == ".jpe";
    std::string command = "/usr/bin/convert " + ToolQuoted(upright) + " " + StoringOperation(orientation) +
                          (jpeg ? " -quality 95 " : " -compress none ") + ToolQuoted(out);
    if (!RunQuiet(command)) return false;
    std::string tags = "-n -IFD0:Orientation=" + std::to_string(orientation);
    if (jpeg) {
        // A camera states the stored size in its Exif directory too.
        tags += " '-ExifIFD:ExifImageWidth<File:ImageWidth' '-ExifIFD:ExifImageHeight<File:ImageHeight'";
    }
    if (thumbnailSide) {
        const std::filesystem::path thumb = out.parent_path() / ("thumb-" + out.stem().string() + ".jpg");
        // The thumbnail of the stored pixels, as the camera makes it before it writes the tag.
        if (!RunQuiet("/usr/bin/convert " + ToolQuoted(out) + " -strip -thumbnail " + std::to_string(*thumbnailSide) + "x" +
                      std::to_string(*thumbnailSide) + " -quality 90 " + ToolQuoted(thumb)))
            return false;
        tags += " '-ThumbnailImage<=" + thumb.string() + "'";
    }
    return RunQuiet("exiftool -overwrite_original " + tags + " " + ToolQuoted(out));
}

// A picture as 8-bit R, G, B rows.
struct RgbPicture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* At(int32_t x, int32_t y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

// How ImageMagick reads a file, turned upright by its orientation, after the extra operations.
inline std::optional<RgbPicture> ReadWithImageMagick(const std::filesystem::path& file, const std::string& operations = {}) {
    FILE* pipe = ::popen(("/usr/bin/convert " + ToolQuoted(file) + " -auto-orient " + operations + " -depth 8 ppm:- 2>/dev/null").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string data;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) data.append(buffer, n);
    ::pclose(pipe);
    std::istringstream header(data);
    std::string magic;
    int maxValue = 0;
    RgbPicture picture;
    header >> magic >> picture.width >> picture.height >> maxValue;
    if (magic != "P6" || maxValue != 255 || picture.width <= 0 || picture.height <= 0) return std::nullopt;
    const size_t start = static_cast<size_t>(header.tellg()) + 1;
    const size_t bytes = static_cast<size_t>(picture.width) * picture.height * 3;
    if (data.size() < start + bytes) return std::nullopt;
    picture.rgb.assign(data.begin() + static_cast<std::ptrdiff_t>(start), data.begin() + static_cast<std::ptrdiff_t>(start + bytes));
    return picture;
}

// A picture shrunk to a size by averaging the source area of each pixel, for comparing previews.
inline RgbPicture Shrunk(const RgbPicture& picture, int32_t width, int32_t height) {
    RgbPicture out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t x0 = x * picture.width / width, x1 = std::max(x0 + 1, (x + 1) * picture.width / width);
            const int32_t y0 = y * picture.height / height, y1 = std::max(y0 + 1, (y + 1) * picture.height / height);
            for (int c = 0; c < 3; ++c) {
                long sum = 0;
                for (int32_t sy = y0; sy < y1; ++sy)
                    for (int32_t sx = x0; sx < x1; ++sx) sum += picture.At(sx, sy)[c];
                out.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = static_cast<uint8_t>(sum / ((x1 - x0) * (y1 - y0)));
            }
        }
    return out;
}

// The largest difference of one sample between two pictures of the same size.
inline int LargestDifference(const RgbPicture& a, const RgbPicture& b) {
    int largest = 0;
    for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        largest = std::max(largest, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return largest;
}

}  // namespace kv::test

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// What a batch run does when the output file exists. The numbers are stored in the settings.
enum class CollisionPolicy : int32_t { Skip = 0, Overwrite = 1, UniqueName = 2 };

// The format of batch results: Keep takes the input's extension. The numbers are stored.
enum class OutputFormat : int32_t { Keep = 0, Jpeg = 1, Tiff = 2, Bmp = 3, Png = 4 };

// The extension each output format writes; empty for Keep.
inline constexpr std::array<std::string_view, 5> kOutputFormatExtensions{"", ".jpg", ".tif", ".bmp", ".png"};

// How a batch run names and writes its results.
struct BatchSettings {
    static constexpr int32_t kDefaultJpegQuality = 75;

    CollisionPolicy policy = CollisionPolicy::Overwrite;
    OutputFormat format = OutputFormat::Keep;
    std::string outputFolder;  // ends with a slash once chosen; empty until then
    bool newName = false;      // append "_RESIZED_TO_<w>x<h>" to each name
    int32_t jpegQuality = kDefaultJpegQuality;  // 1 to 100
    bool sameFolder = false;   // write each result beside its input, with the new name

    // Brings values that came from outside into range: a policy or format out of range takes its
    // default, a quality outside 1 to 100 the default quality.
    void Validate();

    bool operator==(const BatchSettings&) const = default;
};

CollisionPolicy ValidCollisionPolicy(int64_t value);
OutputFormat ValidOutputFormat(int64_t value);

}  // namespace kv

#include "document/SaveImage.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "imageio/ImageFiles.h"
#include "imageio/UprightMetadata.h"

namespace kv {

namespace {

constexpr int32_t kThumbnailQuality = 75;
constexpr int32_t kThumbnailAbove = 200;  // a result must exceed this on both sides to get a new one
constexpr int32_t kThumbnailDivisor = 20;

PropertyItem Short(uint32_t id, uint16_t value) {
    return {id, PropertyTagType::Short, {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)}};
}

PropertyItem OneOverOne(uint32_t id) { return {id, PropertyTagType::Rational, {1, 0, 0, 0, 1, 0, 0, 0}}; }

// A JPEG thumbnail of the result at a twentieth of its size, set as the six thumbnail tags. A
// thumbnail that cannot be made leaves the result without a new one.
void RebuildThumbnail(Bitmap& result) {
    const int32_t width = result.GetWidth() / kThumbnailDivisor;
    const int32_t height = result.GetHeight() / kThumbnailDivisor;
    const std::unique_ptr<Bitmap> thumbnail = result.GetThumbnailImage(width, height);
    if (!thumbnail) return;
    std::vector<uint8_t> jpeg;
    if (thumbnail->Save(jpeg, "image/jpeg", kThumbnailQuality) != Status::Ok) return;
    result.SetPropertyItem({PropertyTag::ThumbnailData, PropertyTagType::Byte, std::move(jpeg)});
    result.SetPropertyItem(Short(PropertyTag::ThumbnailCompression, 6));
    result.SetPropertyItem(Short(PropertyTag::ThumbnailWidth, static_cast<uint16_t>(width)));
    result.SetPropertyItem(Short(PropertyTag::ThumbnailHeight, static_cast<uint16_t>(height)));
    result.SetPropertyItem(OneOverOne(PropertyTag::ThumbnailResolutionX));
    result.SetPropertyItem(OneOverOne(PropertyTag::ThumbnailResolutionY));
}

}  // namespace

std::string_view OutputMimeType(const std::filesystem::path& path) {
    const ImageFileType* type = FindImageFileType(path);
    return type ? type->mimeType : std::string_view{};
}

bool IsResolutionTag(uint32_t id) {
    switch (id) {
        case PropertyTag::XResolution:
        case PropertyTag::YResolution:
        case PropertyTag::ResolutionUnit:
        case PropertyTag::ResolutionXUnit:
        case PropertyTag::ResolutionYUnit:
        case PropertyTag::ResolutionXLengthUnit:
        case PropertyTag::ResolutionYLengthUnit:
            return true;
        default:
            return false;
    }
}

namespace {

// Sets an Exif pixel dimension the result carries already to a size, as a SHORT where the item was
// one and the size fits, else as a LONG.
void SetPixelDimension(Bitmap& result, uint32_t id, int32_t size) {
    const std::vector<PropertyItem> items = result.GetAllPropertyItems();
    const auto item = std::find_if(items.begin(), items.end(), [id](const PropertyItem& i) { return i.id == id; });
    if (item == items.end()) return;
    const auto value = static_cast<uint32_t>(size);
    if (item->type == PropertyTagType::Short && value <= 0xFFFF) {
        result.SetPropertyItem({id, PropertyTagType::Short, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}});
        return;
    }
    result.SetPropertyItem({id, PropertyTagType::Long,
                            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                             static_cast<uint8_t>(value >> 24)}});
}

// Gives a result what SaveImage writes with it: the source's property items without the
// resolution tags, the Software tag, a rebuilt thumbnail and the resolution.
void PrepareResult(Bitmap& result, Bitmap& source, float dpi) {
    // A result copied from the image already carries the image's items; its resolution tags go, so
    // that the file states one resolution, the one of the output settings.
    for (const PropertyItem& item : result.GetAllPropertyItems())
        if (IsResolutionTag(item.id)) result.RemovePropertyItem(item.id);

    const std::vector<PropertyItem> items = &source == &result ? result.GetAllPropertyItems() : source.GetAllPropertyItems();
    bool hadThumbnail = false;
    if (!items.empty()) {
        for (const PropertyItem& item : items) {
            if (IsResolutionTag(item.id)) continue;
            if (item.id == PropertyTag::ThumbnailData) hadThumbnail = true;
            result.SetPropertyItem(item);
        }
        const std::string software(kSoftwareTagText);
        std::vector<uint8_t> text(software.begin(), software.end());
        text.push_back(0);
        result.SetPropertyItem({PropertyTag::SoftwareUsed, PropertyTagType::ASCII, std::move(text)});
        // The Exif pixel dimensions a source states are the result's size now: readers (the
        // program's own browser among them) take the picture's size from them.
        SetPixelDimension(result, PropertyTag::ExifPixXDim, result.GetWidth());
        SetPixelDimension(result, PropertyTag::ExifPixYDim, result.GetHeight());
    }
    // What the source holds beyond its items (maker note, XMP, IPTC, comment) goes along whole.
    if (&source != &result) result.SetCarriedMetadata(source.GetCarriedMetadata());
    // A source turned upright gives an upright result, whose metadata must not have it turned again.
    MarkResultUpright(result, source.GetAppliedOrientation());
    if (hadThumbnail && result.GetWidth() > kThumbnailAbove && result.GetHeight() > kThumbnailAbove)
        RebuildThumbnail(result);

    result.SetResolution(dpi, dpi);
}

}  // namespace

int SaveImage(Bitmap& result, std::filesystem::path path, int quiet, Bitmap& source, int32_t quality, float dpi,
              IUserPrompt* prompt) {
    const std::string_view mime = OutputMimeType(path);
    if (mime.empty() || FindEncoder(mime) < 0) return 0;
    const bool jpeg = mime == "image/jpeg";
    PrepareResult(result, source, dpi);
    if (result.Save(path, mime, jpeg ? quality : -1) != Status::Ok) {
        if (!quiet && prompt) prompt->ShowMessage("Can't save file " + path.string() + ".");
        return 0;
    }
    return 1;
}

int EncodeSaveImage(Bitmap& result, const std::filesystem::path& path, Bitmap& source, int32_t quality, float dpi,
                    std::vector<uint8_t>& bytes) {
    const std::string_view mime = OutputMimeType(path);
    if (mime.empty() || FindEncoder(mime) < 0) return 0;
    const bool jpeg = mime == "image/jpeg";
    PrepareResult(result, source, dpi);
    return result.Save(bytes, mime, jpeg ? quality : -1) == Status::Ok ? 1 : 0;
}

}  // namespace kv

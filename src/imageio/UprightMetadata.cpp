#include "imageio/UprightMetadata.h"

#include <cctype>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "imageio/Bitmap.h"
#include "imageio/CarriedMetadataParts.h"
#include "imageio/Orientation.h"

namespace kv {

namespace {

constexpr int32_t kThumbnailQuality = 75;

PropertyItem ShortItem(uint32_t id, uint16_t value) {
    return {id, PropertyTagType::Short, {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)}};
}

bool HasItem(Bitmap& bitmap, uint32_t id) {
    for (const PropertyItem& item : bitmap.GetAllPropertyItems())
        if (item.id == id) return true;
    return false;
}

// The thumbnail the result carries, turned as its picture was. One that cannot be read is left
// out rather than kept sideways under an upright picture.
void TurnThumbnail(Bitmap& result, int turnedBy) {
    std::optional<PropertyItem> data;
    for (PropertyItem& item : result.GetAllPropertyItems())
        if (item.id == PropertyTag::ThumbnailData) data = std::move(item);
    if (!data) return;
    std::unique_ptr<Bitmap> turned;
    {
        // The thumbnail's own bytes state no orientation: its picture's tag is the one that counts.
        const std::unique_ptr<Bitmap> thumbnail = Bitmap::FromMemory(std::move(data->value));
        if (thumbnail->GetPixelFormat() != PixelFormatUndefined) turned = TurnedBitmap(*thumbnail, turnedBy);
    }
    std::vector<uint8_t> jpeg;
    if (!turned || turned->Save(jpeg, "image/jpeg", kThumbnailQuality) != Status::Ok) {
        for (const uint32_t id : {PropertyTag::ThumbnailData, PropertyTag::ThumbnailCompression, PropertyTag::ThumbnailWidth,
                                  PropertyTag::ThumbnailHeight, PropertyTag::ThumbnailImageWidth,
                                  PropertyTag::ThumbnailImageHeight})
            if (HasItem(result, id)) result.RemovePropertyItem(id);
        return;
    }
    result.SetPropertyItem({PropertyTag::ThumbnailData, PropertyTagType::Byte, std::move(jpeg)});
    // The thumbnail's size tags, where the source had them, describe the turned thumbnail.
    const auto width = static_cast<uint16_t>(turned->GetWidth()), height = static_cast<uint16_t>(turned->GetHeight());
    for (const auto& [id, value] : {std::pair{PropertyTag::ThumbnailWidth, width}, std::pair{PropertyTag::ThumbnailHeight, height},
                                    std::pair{PropertyTag::ThumbnailImageWidth, width},
                                    std::pair{PropertyTag::ThumbnailImageHeight, height}})
        if (HasItem(result, id)) result.SetPropertyItem(ShortItem(id, value));
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string UprightXmpPacket(std::string packet) {
    static constexpr std::string_view kName = "tiff:Orientation";
    for (size_t at = packet.find(kName); at != std::string::npos; at = packet.find(kName, at + kName.size())) {
        size_t value = at + kName.size();
        // tiff:Orientation="6" (or '6'), or <tiff:Orientation>6</tiff:Orientation>
        while (value < packet.size() && (packet[value] == ' ' || packet[value] == '\t' || packet[value] == '\n' ||
                                         packet[value] == '\r'))
            ++value;
        if (value < packet.size() && packet[value] == '=') {
            ++value;
            while (value < packet.size() && (packet[value] == ' ' || packet[value] == '\t')) ++value;
            if (value >= packet.size() || (packet[value] != '"' && packet[value] != '\'')) continue;
            ++value;
        } else if (value < packet.size() && packet[value] == '>') {
            ++value;
        } else {
            continue;
        }
        size_t end = value;
        while (end < packet.size() && IsDigit(packet[end])) ++end;
        if (end > value) packet.replace(value, end - value, "1");
    }
    return packet;
}

void MarkResultUpright(Bitmap& result, int turnedBy) {
    if (turnedBy == kUprightOrientation) return;
    result.SetPropertyItem(ShortItem(PropertyTag::Orientation, 1));
    if (const std::shared_ptr<const CarriedMetadata> carried = result.GetCarriedMetadata(); carried && !carried->xmp.empty()) {
        auto upright = std::make_shared<CarriedMetadata>(*carried);
        upright->xmp = UprightXmpPacket(upright->xmp);
        result.SetCarriedMetadata(std::move(upright));
    }
    TurnThumbnail(result, turnedBy);
}

}  // namespace kv

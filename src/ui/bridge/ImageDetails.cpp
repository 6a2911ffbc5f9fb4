#include "ui/bridge/ImageDetails.h"

#include <memory>

#include "imageio/Bitmap.h"
#include "imageio/ImageInfoItems.h"

namespace kv::ui {

ImageDetails ReadImageDetails(const std::filesystem::path& path) {
    uint32_t width = 0, height = 0;
    PixelFormat format = PixelFormatUndefined;
    std::vector<ImageInfoItem> items;
    const std::unique_ptr<Bitmap> image = Bitmap::FromFile(path);
    if (image->GetPixelFormat() != PixelFormatUndefined) {
        width = static_cast<uint32_t>(image->GetWidth());
        height = static_cast<uint32_t>(image->GetHeight());
        format = image->GetPixelFormat();
        items = CollectImageInfoItems(image->GetAllPropertyItems());
    }
    ImageDetails details{path, ImageDimensionsText(width, height), ImageColorsText(format), {}};
    for (ImageInfoItem& item : items) details.camera.push_back({std::move(item.name), std::move(item.value)});
    return details;
}

}  // namespace kv::ui

#include "ui/bridge/Imaging.h"

#include "imageio/Bitmap.h"
#include "imageio/ImageFiles.h"
#include "imageio/Orientation.h"

namespace kv::ui {

void StartImaging() { InitialiseImaging(); }

void SetPicturesUpright(bool upright) { SetTurnPicturesUpright(upright); }

bool IsImageFile(const std::filesystem::path& path) { return IsSupportedImage(path); }

bool IsWritableImageFile(const std::filesystem::path& path) {
    const ImageFileType* type = FindImageFileType(path);
    return type && !type->mimeType.empty();
}

bool IsJpegFile(const std::filesystem::path& path) { return HasFormatExtension(path, ImageFormat::Jpeg); }

}  // namespace kv::ui

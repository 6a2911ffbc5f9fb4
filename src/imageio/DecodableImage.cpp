#include "imageio/DecodableImage.h"

#include "imageio/Bitmap.h"

namespace kv {

bool IsAcceptedPixelFormat(PixelFormat format) {
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat16bppARGB1555:
        case PixelFormat16bppGrayScale:
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
        case PixelFormat32bppPARGB:
        case PixelFormat48bppRGB:
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB: return true;
        default: return false;
    }
}

bool IsDecodableImage(const std::filesystem::path& path) {
    const std::unique_ptr<Bitmap> image = Bitmap::FromFile(path);
    return image->GetLastStatus() == Status::Ok && image->GetFlags() != 0 &&
           IsAcceptedPixelFormat(image->GetPixelFormat());
}

}  // namespace kv

#include "app/ImageFactsReader.h"

#include "imageio/Bitmap.h"

namespace kv {

std::optional<ImageFacts> ReadImageFacts(const std::filesystem::path& path) {
    const std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(path);
    if (!bitmap || bitmap->GetLastStatus() != Status::Ok || bitmap->GetPixelFormat() == PixelFormatUndefined)
        return std::nullopt;
    const ImageFacts facts{bitmap->GetWidth(), bitmap->GetHeight(), bitmap->GetPixelFormat(),
                           bitmap->GetHorizontalResolution()};
    if (!facts.HasPixels()) return std::nullopt;
    return facts;
}

}  // namespace kv

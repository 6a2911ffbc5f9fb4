#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "document/SaveImage.h"
#include "imageio/Bitmap.h"
#include "imageio/ExifThumbnail.h"
#include "imageio/ImageFiles.h"
#include "imageio/Orientation.h"

namespace kv::cli {

namespace {

struct ThumbRequest {
    std::filesystem::path input;
    std::filesystem::path output;
    ThumbSize box = kDefaultThumbnailBox;
    bool keepOrientation = false;
};

ThumbRequest ParseThumb(Arguments& args) {
    ThumbRequest r;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (!args.IsOption(word)) {
            if (!r.input.empty()) throw UsageError{"thumb takes one image"};
            r.input = std::string(word);
        } else if (word == "-o" || word == "--output") {
            r.output = std::string(args.TakeValue(word));
        } else if (word == "--box") {
            const auto [w, h] = ParseSize(args.TakeValue(word), word);
            if (w > int32_t{kMaxThumbnailSide} || h > int32_t{kMaxThumbnailSide})
                throw UsageError{"--box sides go up to " + std::to_string(kMaxThumbnailSide)};
            r.box = {static_cast<uint32_t>(w), static_cast<uint32_t>(h)};
        } else if (word == "--keep-orientation") {
            r.keepOrientation = true;
        } else {
            throw UsageError{"unknown option " + std::string(word)};
        }
    }
    if (r.input.empty()) throw UsageError{"thumb needs an image"};
    if (r.output.empty()) throw UsageError{"thumb needs -o OUT"};
    if (const std::string unwritable = UnwritableExtensionText(r.output); !unwritable.empty()) throw UsageError{unwritable};
    return r;
}

// The DIB as a 24-bit bitmap at 72 dots per inch, top row first.
std::unique_ptr<Bitmap> BitmapOf(const DibImage& dib) {
    auto bitmap = std::make_unique<Bitmap>(dib.width(), dib.height(), PixelFormat24bppRGB);
    BitmapData data;
    if (bitmap->LockBits({0, 0, dib.width(), dib.height()}, ImageLockMode::Write, PixelFormat24bppRGB, &data) !=
        Status::Ok)
        return nullptr;
    for (int32_t y = 0; y < dib.height(); ++y)
        std::memcpy(data.scan0 + static_cast<size_t>(y) * data.stride,
                    dib.bits() + static_cast<size_t>(dib.height() - 1 - y) * dib.stride(), size_t(dib.width()) * 3);
    if (bitmap->UnlockBits(&data) != Status::Ok) return nullptr;
    bitmap->SetResolution(72, 72);
    return bitmap;
}

}  // namespace

int RunThumb(Arguments& args) {
    const ThumbRequest request = ParseThumb(args);
    const InterruptGuard interrupts;
    const TurnPicturesUprightScope orientation(!request.keepOrientation);
    if (!FileReader::Open(request.input)) {
        std::fprintf(stderr, "kvscale: cannot open %s: %s\n", request.input.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    // As the thumbnail builder asks: the JPEG reader first, then the TIFF reader.
    ThumbSize box = request.box;
    uint32_t width = 0, height = 0;
    ExifThumbnail thumb = ReadJpegExifThumbnail(request.input, box, width, height);
    if (!thumb.image) {
        box = request.box;
        ExifThumbnail tiff = ReadTiffExifThumbnail(request.input, box, width, height);
        if (tiff.image || !tiff.error.empty()) thumb = std::move(tiff);
    }
    if (!thumb.image) {
        if (!thumb.error.empty()) {
            std::fprintf(stderr, "kvscale: the embedded thumbnail of %s cannot be read: %s\n", request.input.c_str(),
                         thumb.error.c_str());
            return kExitFailed;
        }
        std::fprintf(stderr, "kvscale: %s has no embedded thumbnail\n", request.input.c_str());
        return kExitNoThumbnail;
    }
    const std::unique_ptr<Bitmap> bitmap = BitmapOf(*thumb.image.get());
    if (!bitmap || bitmap->Save(request.output, OutputMimeType(request.output)) != Status::Ok) {
        std::fprintf(stderr, "kvscale: cannot write %s: %s\n", request.output.c_str(),
                     bitmap ? bitmap->GetLastErrorMessage().c_str() : "out of memory");
        return kExitFailed;
    }
    std::printf("%u x %u thumbnail of a %u x %u image\n", box.width, box.height, width, height);
    return kExitOk;
}

}  // namespace kv::cli

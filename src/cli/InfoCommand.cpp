#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "imageio/Bitmap.h"

namespace kv::cli {

namespace {

const char* PixelFormatName(PixelFormat format) {
    switch (format) {
        case PixelFormat1bppIndexed: return "1bppIndexed";
        case PixelFormat4bppIndexed: return "4bppIndexed";
        case PixelFormat8bppIndexed: return "8bppIndexed";
        case PixelFormat16bppGrayScale: return "16bppGrayScale";
        case PixelFormat16bppRGB555: return "16bppRGB555";
        case PixelFormat16bppRGB565: return "16bppRGB565";
        case PixelFormat16bppARGB1555: return "16bppARGB1555";
        case PixelFormat24bppRGB: return "24bppRGB";
        case PixelFormat32bppRGB: return "32bppRGB";
        case PixelFormat32bppARGB: return "32bppARGB";
        case PixelFormat32bppPARGB: return "32bppPARGB";
        case PixelFormat48bppRGB: return "48bppRGB";
        case PixelFormat64bppARGB: return "64bppARGB";
        case PixelFormat64bppPARGB: return "64bppPARGB";
        case PixelFormat32bppCMYK: return "32bppCMYK";
        default: return "unknown";
    }
}

}  // namespace

int RunInfo(Arguments& args) {
    if (args.empty()) throw UsageError{"info needs an image"};
    const std::string path(args.Take());
    if (!args.empty()) throw UsageError{"info takes one image"};
    std::unique_ptr<Bitmap> image = Bitmap::FromFile(path);
    if (image->GetLastStatus() != Status::Ok || image->GetPixelFormat() == PixelFormatUndefined) {
        std::fprintf(stderr, "kvscale: cannot open %s: %s\n", path.c_str(), image->GetLastErrorMessage().c_str());
        return kExitFailed;
    }
    const PixelFormat format = image->GetPixelFormat();
    std::printf("Dimensions: %d x %d\n", image->GetWidth(), image->GetHeight());
    std::printf("Pixel format: %s (0x%08X)\n", PixelFormatName(format), static_cast<unsigned>(format));
    std::printf("Bits per pixel: %d\n", GetPixelFormatSize(format));
    std::printf("Resolution: %.2f x %.2f dpi\n", image->GetHorizontalResolution(), image->GetVerticalResolution());
    std::printf("Property items: %u\n", image->GetPropertyCount());
    return kExitOk;
}

}  // namespace kv::cli

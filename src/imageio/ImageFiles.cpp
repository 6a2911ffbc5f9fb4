#include "imageio/ImageFiles.h"

#include <string>

namespace kv {

namespace {

// clang-format off
constexpr ImageFileType kImageFileTypes[] = {
    {".jpg",  ImageFormat::Jpeg, "image/jpeg", true,  "JPEG Files"},
    {".jpeg", ImageFormat::Jpeg, "image/jpeg", true,  "JPEG Files"},
    {".jpe",  ImageFormat::Jpeg, "image/jpeg", true,  "JPEG Files"},
    {".tif",  ImageFormat::Tiff, "image/tiff", true,  "TIFF Files"},
    {".tiff", ImageFormat::Tiff, "image/tiff", true,  "TIFF Files"},
    {".bmp",  ImageFormat::Bmp,  "image/bmp",  true,  "Bitmap Files"},
    {".gif",  ImageFormat::Gif,  "image/gif",  false, "GIF Files"},
    {".png",  ImageFormat::Png,  "image/png",  true,  "PNG Files"},
};
// clang-format on

std::string LowerExtension(const std::filesystem::path& file) {
    const std::string_view path = file.native();
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

}  // namespace

std::span<const ImageFileType> ImageFileTypes() { return kImageFileTypes; }

const ImageFileType* FindImageFileType(const std::filesystem::path& path) {
    const std::string extension = LowerExtension(path);
    for (const ImageFileType& type : kImageFileTypes)
        if (type.extension == extension) return &type;
    return nullptr;
}

bool IsSupportedImage(const std::filesystem::path& path) { return FindImageFileType(path) != nullptr; }

bool HasFormatExtension(const std::filesystem::path& path, ImageFormat format) {
    const ImageFileType* type = FindImageFileType(path);
    return type && type->format == format;
}

std::string WritableExtensionsText() {
    std::string text;
    size_t remaining = 0;
    for (const ImageFileType& type : kImageFileTypes) remaining += type.mimeType.empty() ? 0 : 1;
    for (const ImageFileType& type : kImageFileTypes) {
        if (type.mimeType.empty()) continue;
        if (!text.empty()) text += --remaining == 0 ? " or " : ", ";
        else --remaining;
        text += type.extension;
    }
    return text;
}

std::string UnwritableExtensionText(const std::filesystem::path& path) {
    const ImageFileType* type = FindImageFileType(path);
    if (type && !type->mimeType.empty()) return {};
    const std::string name = path.filename().string();
    const size_t dot = name.rfind('.');
    const std::string why = dot == std::string::npos || dot + 1 == name.size()
                                ? " cannot be saved without an extension"
                                : " cannot be saved as " + name.substr(dot);
    return name + why + "; use " + WritableExtensionsText() + ".";
}

}  // namespace kv

#include "imageio/ImageFiles.h"

#include <string>

namespace kv {

bool IsSupportedImage(const std::filesystem::path& file) {
    const std::string_view path = file.native();
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension(name.substr(dot));
    // The dot and three letters at least: a lone "." or ".jp" is no extension of the list.
    if (extension.size() <= 3 || extension.find(';') != std::string::npos) return false;
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::string_view list = kSupportedImageExtensions; !list.empty();) {
        const size_t end = list.find(';');
        if (list.substr(0, end) == extension) return true;
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return false;
}

}  // namespace kv

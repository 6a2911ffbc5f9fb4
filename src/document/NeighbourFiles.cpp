#include "document/NeighbourFiles.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

#include "imageio/ImageFiles.h"

namespace kv {

bool IsNavigableImage(const std::filesystem::path& path) {
    const ImageFileType* type = FindImageFileType(path);
    return type && type->navigable;
}

std::filesystem::path FindNeighbourFile(const std::filesystem::path& current, bool forward,
                                        const std::vector<std::filesystem::path>& failed) {
    const std::filesystem::path folder = current.parent_path();
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::filesystem::path name = it->path().filename();
        if (IsNavigableImage(name) && std::find(failed.begin(), failed.end(), folder / name) == failed.end())
            names.push_back(name);
    }
    // Name order, as a file manager lists the folder.
    std::sort(names.begin(), names.end());
    const auto here = std::find(names.begin(), names.end(), current.filename());
    if (here == names.end() || names.size() < 2) return {};
    const size_t index = static_cast<size_t>(here - names.begin());
    const size_t next = forward ? (index + 1) % names.size() : (index + names.size() - 1) % names.size();
    return folder / names[next];
}

}  // namespace kv

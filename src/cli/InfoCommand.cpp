#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "imageio/Bitmap.h"
#include "imageio/ImageInfoItems.h"
#include "imageio/Orientation.h"

namespace kv::cli {

namespace {

// Item texts come from the file: control characters would break the one-item-a-line layout or
// drive the terminal, so they are shown as '?'.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

}  // namespace

int RunInfo(Arguments& args) {
    std::string path;
    bool keepOrientation = false;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (args.IsOption(word)) {
            if (word != "--keep-orientation") throw UsageError{"unknown option " + std::string(word)};
            keepOrientation = true;
        } else {
            if (!path.empty()) throw UsageError{"info takes one image"};
            path = word;
        }
    }
    if (path.empty()) throw UsageError{"info needs an image"};
    const TurnPicturesUprightScope orientation(!keepOrientation);
    std::unique_ptr<Bitmap> image = Bitmap::FromFile(path);
    if (image->GetLastStatus() != Status::Ok || image->GetPixelFormat() == PixelFormatUndefined) {
        std::fprintf(stderr, "kvscale: cannot open %s: %s\n", path.c_str(), image->GetLastErrorMessage().c_str());
        return kExitFailed;
    }
    std::printf("Dimensions : %s\n",
                ImageDimensionsText(static_cast<uint32_t>(image->GetWidth()), static_cast<uint32_t>(image->GetHeight()))
                    .c_str());
    std::printf("Colors : %s\n", ImageColorsText(image->GetPixelFormat()).c_str());
    for (const ImageInfoItem& item : CollectImageInfoItems(image->GetAllPropertyItems()))
        std::printf("%s : %s\n", item.name.c_str(), Printable(item.value).c_str());
    return kExitOk;
}

}  // namespace kv::cli

#include "ui/bridge/Imaging.h"

#include "imageio/Bitmap.h"
#include "imageio/ImageFiles.h"

namespace kv::ui {

void StartImaging() { InitialiseImaging(); }

bool IsImageFile(const std::filesystem::path& path) { return IsSupportedImage(path); }

}  // namespace kv::ui

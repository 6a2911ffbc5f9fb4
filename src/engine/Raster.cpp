#include "engine/Raster.h"

#include <cstring>
#include <limits>

namespace kv {

OwnedRaster OwnedRaster::Allocate(int32_t width, int32_t height) {
    OwnedRaster r;
    if (width <= 0 || height <= 0 || width > (std::numeric_limits<int32_t>::max() - 3) / 3) return r;
    const int32_t stride = PackedStride24(width);
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    r.data_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!r.data_) return r;
    r.view_ = {r.data_.get(), stride, width, height};
    return r;
}

bool Plane::Allocate(int32_t width, int32_t height) {
    Free();
    if (width <= 0 || height <= 0) return false;
    data_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(width) * static_cast<size_t>(height)]);
    if (!data_) return false;
    width_ = width;
    height_ = height;
    return true;
}

}  // namespace kv

#pragma once

#include <cstdint>
#include <functional>

namespace kv {

class CRSProgress;

// One side of a channel-by-channel resize: a raster of `channels` interleaved bytes a pixel
// (blue, green, red for three), rows `stride` bytes apart.
template <class Byte>
struct ChannelImage {
    Byte* pixels;
    int32_t stride;
    int32_t width;
    int32_t height;
};
using ChannelSource = ChannelImage<const uint8_t>;
using ChannelTarget = ChannelImage<uint8_t>;

// Resizes one channel: the destination plane (destination size) from the source plane (source
// size). The source plane may be changed; both are packed at their widths.
using PlaneResizer = std::function<bool(uint8_t* dstPlane, uint8_t* srcPlane)>;

// Runs a plane resize on every channel in turn (blue, green, red): copies the channel into a
// source plane (progress 100 * j / source height after each source row j), resizes it into a
// destination plane, frees the source plane and copies the result into the destination
// (100 * r / destination height after each destination row r). Sets the sink's stages to
// stagesPerChannel * channels first. False on invalid sizes or strides, on a stop, or when a
// plane cannot be allocated (OutOfMemoryFlag set); channels already written stay written.
bool ResizeChannels(const ChannelTarget& dst, const ChannelSource& src, int32_t channels, int32_t stagesPerChannel,
                    const PlaneResizer& resize, CRSProgress* progress);

}  // namespace kv

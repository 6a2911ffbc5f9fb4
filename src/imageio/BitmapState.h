#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "imageio/ByteReader.h"
#include "imageio/CarriedMetadata.h"
#include "imageio/Decoders.h"
#include "imageio/ImagingTypes.h"
#include "imageio/PixelBuffer.h"

namespace kv {

// What a Bitmap holds. The header (size, pixel format, flags, raw format) never changes after the
// bitmap is made, so it is read without a lock; the pixels, the lock counts and the palette are
// guarded by pixelMutex, the property items by propertyMutex.
struct BitmapState {
    // The file the pixels and property items come from; null for bitmaps made in memory.
    std::unique_ptr<ByteReader> source;
    // The header as the bitmap shows it: for a picture turned upright, its width, height and
    // resolution are those of the turned picture.
    ImageHeader header;
    // The orientation the decoded pixels are turned by (the file's, when pictures are turned
    // upright), 1 when they stay as stored.
    int turn = 1;
    std::atomic<float> dpiX{kDefaultDpi};
    std::atomic<float> dpiY{kDefaultDpi};

    std::atomic<Status> lastStatus{Status::Ok};
    mutable std::mutex messageMutex;
    std::string lastMessage;

    std::mutex pixelMutex;
    bool decodeTried = false;  // the pixels were decoded, or the decode failed with decodeFailure
    DecodeResult decodeFailure;
    PixelBuffer pixels;
    int32_t readLocks = 0;
    bool writeLocked = false;

    std::mutex propertyMutex;
    bool propertiesRead = false;
    std::vector<PropertyItem> properties;
    std::shared_ptr<const CarriedMetadata> carried;  // read with the properties

    bool valid() const { return header.pixelFormat != PixelFormatUndefined; }
};

}  // namespace kv

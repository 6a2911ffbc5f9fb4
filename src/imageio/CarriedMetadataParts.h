#pragma once

// The inside of CarriedMetadata, for the imaging layer's own metadata code: it names the metadata
// library's types.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// exiv2 0.27 still spells its owning pointers std::auto_ptr, in its headers and in the calls here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include "imageio/CarriedMetadata.h"
#include "imageio/ImagingTypes.h"

namespace kv {

struct CarriedMetadata {
    Exiv2::ExifData exif;  // maker note and interoperability groups only (see CarryExif)
    Exiv2::ByteOrder byteOrder = Exiv2::invalidByteOrder;
    std::string xmp;
    Exiv2::IptcData iptc;
    std::vector<uint8_t> irb;  // Photoshop resources other than IPTC and those of the old pixels
    std::string comment;

    bool empty() const { return exif.empty() && xmp.empty() && iptc.empty() && irb.empty() && comment.empty(); }
};

// What an opened source (read by the metadata library from its bytes) carries; nothing when it
// carries nothing beyond its items.
std::shared_ptr<const CarriedMetadata> CarryMetadata(Exiv2::Image& image, ImageFormat format,
                                                     std::span<const uint8_t> bytes);

// The carried Exif groups copied into exif (empty or not), under the items that are set on top.
void AddCarriedExif(const CarriedMetadata& carried, Exiv2::ExifData& exif);

// Tags of the items that the carried metadata writes itself and the items never do: TIFF's XMP,
// IPTC and Photoshop blocks.
bool IsCarriedBlockTag(uint32_t id);

// The Photoshop resource block a result gets: the carried resources and the carried IPTC.
std::vector<uint8_t> ResultIrb(const CarriedMetadata& carried);

// Puts a Photoshop resource block into APP13 segments of an encoded JPEG file, after its header.
bool InsertJpegIrb(std::vector<uint8_t>& jpeg, std::span<const uint8_t> irb);

}  // namespace kv

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/ByteReader.h"
#include "imageio/CarriedMetadata.h"
#include "imageio/ImagingTypes.h"

namespace kv {

// Prepares the metadata library for use from several threads. Safe to call from any thread and
// any number of times; the reading and writing functions below call it themselves.
void InitialiseMetadata();

// The property items of a JPEG, TIFF or PNG file, numbered as the platform imaging library numbers
// them: IFD0, Exif and GPS tags under their own numbers, the Exif and GPS IFD pointers as LONG
// items, the first IFD's JPEG thumbnail and its tags in the 0x5000 range (ThumbnailData 0x501B
// holds the JPEG bytes) and the embedded colour profile as 0x8773. Values are little-endian; ASCII
// values end with a zero. Maker notes stay one raw 0x927C item. Interoperability tags are left out,
// as their numbers would collide with the GPS tags; TIFF's XMP, IPTC and Photoshop blocks are no
// items. Other formats, and files whose metadata cannot be read, have no items. carried, when given,
// receives what the file holds beyond the items (maker note groups, interoperability, XMP, IPTC,
// Photoshop resources, comment), or null.
std::vector<PropertyItem> ReadPropertyItems(const ByteReader& file, ImageFormat format,
                                            std::shared_ptr<const CarriedMetadata>* carried = nullptr);

// True when an item's type is a TIFF field type and its length a whole, non-zero number of values.
bool IsConsistentPropertyItem(const PropertyItem& item);

// Writes items into an encoded JPEG, TIFF or PNG file held in memory: the Exif block (IFD0, Exif
// and GPS tags; for JPEG and PNG a JPEG thumbnail from 0x501B and the 0x5000 items) and the colour
// profile from 0x8773. Inconsistent items, the IFD pointers and tags that describe the old file's
// layout (strips, tiles, sample layout) are skipped. The Exif resolution is taken from the file's
// own density, so the two never disagree. A colour profile whose colour space is not the pixels' is
// left out. With carried metadata the Exif block keeps the source's maker note (written again with
// valid offsets) and interoperability directory, and XMP, IPTC, Photoshop resources and the comment
// go where the format holds them (JPEG: all; TIFF: all but the comment; PNG: text chunks). BMP and
// GIF files cannot carry items: they are left as they are. False with a message, the file
// unchanged, when the metadata could not be written.
bool EmbedPropertyItems(std::vector<uint8_t>& file, ImageFormat format, const std::vector<PropertyItem>& items,
                        std::string& error, const CarriedMetadata* carried = nullptr);

}  // namespace kv

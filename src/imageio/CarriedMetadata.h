#pragma once

namespace kv {

// What a source file holds beyond its property items, carried whole into a result: its Exif block
// as the metadata library parsed it (so that maker notes are written again with offsets that stay
// valid, and the interoperability directory is kept), XMP, IPTC, the Photoshop resource block and
// the JPEG comment. Read together with the property items, never changed afterwards, shared by the
// bitmaps that carry it. Its parts are known to the imaging layer only (CarriedMetadataParts.h).
struct CarriedMetadata;

}  // namespace kv

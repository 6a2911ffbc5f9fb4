#pragma once

#include <string>

namespace kv {

class Bitmap;

// A result made from a picture that was turned upright stands upright itself, and its metadata
// must say so, or every other program would turn it a second time. After the source's metadata
// was carried onto the result, this sets the Orientation item to 1, sets the orientation of the
// carried XMP packet to 1, and turns an embedded thumbnail taken over from the source the way the
// picture was turned (a thumbnail the save makes anew from the result is upright already).
// turnedBy: the orientation the source's pixels were turned by; 1 leaves everything as it is, so
// that pictures kept as stored keep their tag.
void MarkResultUpright(Bitmap& result, int turnedBy);

// An XMP packet whose tiff:Orientation (attribute or element) says 1; the packet is otherwise
// left byte for byte as it was.
std::string UprightXmpPacket(std::string packet);

}  // namespace kv

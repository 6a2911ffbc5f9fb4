#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Geometry.h"

namespace kv {

// Status of an imaging call, numbered as the platform imaging library numbers it; 0 is success.
enum class Status : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// Pixel format codes: bits 8 to 15 hold the bits per pixel, the high bits the kind.
using PixelFormat = int32_t;
inline constexpr PixelFormat PixelFormatIndexed = 0x00010000;
inline constexpr PixelFormat PixelFormatGDI = 0x00020000;
inline constexpr PixelFormat PixelFormatAlpha = 0x00040000;
inline constexpr PixelFormat PixelFormatPAlpha = 0x00080000;
inline constexpr PixelFormat PixelFormatExtended = 0x00100000;
inline constexpr PixelFormat PixelFormatCanonical = 0x00200000;

inline constexpr PixelFormat PixelFormatUndefined = 0;
inline constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
inline constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
inline constexpr PixelFormat PixelFormat16bppGrayScale = 0x00101004;
inline constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
inline constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021006;
inline constexpr PixelFormat PixelFormat16bppARGB1555 = 0x00061007;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
inline constexpr PixelFormat PixelFormat48bppRGB = 0x0010300C;
inline constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;
inline constexpr PixelFormat PixelFormat64bppPARGB = 0x001C400E;
inline constexpr PixelFormat PixelFormat32bppCMYK = 0x0000200F;

inline int32_t GetPixelFormatSize(PixelFormat format) { return (format >> 8) & 0xFF; }
inline bool IsIndexedPixelFormat(PixelFormat format) { return (format & PixelFormatIndexed) != 0; }
inline bool IsAlphaPixelFormat(PixelFormat format) { return (format & PixelFormatAlpha) != 0; }

// Image flags.
enum ImageFlags : uint32_t {
    ImageFlagsNone = 0,
    ImageFlagsScalable = 0x0001,
    ImageFlagsHasAlpha = 0x0002,
    ImageFlagsHasTranslucent = 0x0004,
    ImageFlagsPartiallyScalable = 0x0008,
    ImageFlagsColorSpaceRGB = 0x0010,
    ImageFlagsColorSpaceCMYK = 0x0020,
    ImageFlagsColorSpaceGRAY = 0x0040,
    ImageFlagsColorSpaceYCBCR = 0x0080,
    ImageFlagsColorSpaceYCCK = 0x0100,
    ImageFlagsHasRealDPI = 0x1000,
    ImageFlagsHasRealPixelSize = 0x2000,
    ImageFlagsReadOnly = 0x00010000,
    ImageFlagsCaching = 0x00020000,
};

enum class ImageType : int32_t { Unknown = 0, Bitmap = 1, Metafile = 2 };

// The file format a bitmap was decoded from (Memory for bitmaps made in memory).
enum class ImageFormat : int32_t { Unknown, Memory, Bmp, Jpeg, Png, Gif, Tiff };

enum class ImageLockMode : int32_t { Read = 1, Write = 2, ReadWrite = 3 };

// Property item types.
namespace PropertyTagType {
inline constexpr uint16_t Byte = 1;
inline constexpr uint16_t ASCII = 2;
inline constexpr uint16_t Short = 3;
inline constexpr uint16_t Long = 4;
inline constexpr uint16_t Rational = 5;
inline constexpr uint16_t Undefined = 7;
inline constexpr uint16_t SLONG = 9;
inline constexpr uint16_t SRational = 10;
}  // namespace PropertyTagType

// Property item tags that the program names. IFD0, Exif and GPS tags keep their own numbers; the
// first IFD's thumbnail tags live at 0x5000 and above.
namespace PropertyTag {
inline constexpr uint32_t GpsVer = 0x0000;
inline constexpr uint32_t ImageWidth = 0x0100;
inline constexpr uint32_t ImageHeight = 0x0101;
inline constexpr uint32_t Compression = 0x0103;
inline constexpr uint32_t EquipMake = 0x010F;
inline constexpr uint32_t EquipModel = 0x0110;
inline constexpr uint32_t Orientation = 0x0112;
inline constexpr uint32_t XResolution = 0x011A;
inline constexpr uint32_t YResolution = 0x011B;
inline constexpr uint32_t ResolutionUnit = 0x0128;
inline constexpr uint32_t SoftwareUsed = 0x0131;
inline constexpr uint32_t DateTime = 0x0132;
inline constexpr uint32_t JPEGInterFormat = 0x0201;
inline constexpr uint32_t JPEGInterLength = 0x0202;
inline constexpr uint32_t ResolutionXUnit = 0x5001;
inline constexpr uint32_t ResolutionYUnit = 0x5002;
inline constexpr uint32_t ResolutionXLengthUnit = 0x5003;
inline constexpr uint32_t ResolutionYLengthUnit = 0x5004;
inline constexpr uint32_t ThumbnailFormat = 0x5012;
inline constexpr uint32_t ThumbnailWidth = 0x5013;
inline constexpr uint32_t ThumbnailHeight = 0x5014;
inline constexpr uint32_t ThumbnailData = 0x501B;
inline constexpr uint32_t ThumbnailImageWidth = 0x5020;
inline constexpr uint32_t ThumbnailImageHeight = 0x5021;
inline constexpr uint32_t ThumbnailCompression = 0x5023;
inline constexpr uint32_t ThumbnailResolutionX = 0x502D;
inline constexpr uint32_t ThumbnailResolutionY = 0x502E;
inline constexpr uint32_t ThumbnailResolutionUnit = 0x5030;
inline constexpr uint32_t LuminanceTable = 0x5090;
inline constexpr uint32_t ChrominanceTable = 0x5091;
inline constexpr uint32_t ExifIFD = 0x8769;
inline constexpr uint32_t ICCProfile = 0x8773;  // InterColorProfile
inline constexpr uint32_t GpsIFD = 0x8825;
inline constexpr uint32_t ExifDTOrig = 0x9003;
inline constexpr uint32_t ExifDTDigitized = 0x9004;
inline constexpr uint32_t ExifMakerNote = 0x927C;
inline constexpr uint32_t ExifPixXDim = 0xA002;
inline constexpr uint32_t ExifPixYDim = 0xA003;
}  // namespace PropertyTag

// One metadata item of an image: its tag, its TIFF type and its value bytes in the byte order of
// this machine (little-endian), as the platform imaging library hands them out.
struct PropertyItem {
    uint32_t id = 0;
    uint16_t type = 0;
    std::vector<uint8_t> value;

    uint32_t length() const { return static_cast<uint32_t>(value.size()); }
    bool operator==(const PropertyItem&) const = default;
};

}  // namespace kv

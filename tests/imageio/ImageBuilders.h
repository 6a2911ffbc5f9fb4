#pragma once

// Small image files made in memory with the format libraries themselves, so that each decoder
// test states the exact layout it reads (bit depth, palette, transparency, interlacing, tiles).

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/TestFiles.h"

namespace kv::test {

using Bytes = std::vector<uint8_t>;

// ---- PNG -------------------------------------------------------------------------------------

struct PngImage {
    int width = 1, height = 1, bitDepth = 8, colourType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha;           // palette alpha
    std::optional<png_color_16> trnsColour;  // grey or RGB key
    uint32_t pixelsPerMetre = 0;
    Bytes rows;  // packed rows as the file stores them (16-bit samples big-endian)
};

inline Bytes EncodePng(const PngImage& image) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty())
        png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
    if (!image.trnsAlpha.empty() || image.trnsColour) {
        png_color_16 key = image.trnsColour.value_or(png_color_16{});
        png_set_tRNS(png, info, image.trnsAlpha.empty() ? nullptr : image.trnsAlpha.data(),
                     static_cast<int>(image.trnsAlpha.size()), image.trnsColour ? &key : nullptr);
    }
    if (image.pixelsPerMetre)
        png_set_pHYs(png, info, image.pixelsPerMetre, image.pixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const size_t rowBytes = image.rows.size() / static_cast<size_t>(image.height);
    const int passes = image.interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < image.height; ++y)
            png_write_row(png, image.rows.data() + static_cast<size_t>(y) * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- JPEG ------------------------------------------------------------------------------------

struct JpegImage {
    int width = 8, height = 8, components = 3;
    J_COLOR_SPACE colourSpace = JCS_RGB;  // of the samples given
    bool progressive = false;
    int densityUnit = 0;  // 0: no JFIF density
    int density = 0;
    int quality = 95;
    Bytes samples;  // width * components bytes a row
};

inline Bytes EncodeJpeg(const JpegImage& image) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(image.width);
    c.image_height = static_cast<JDIMENSION>(image.height);
    c.input_components = image.components;
    c.in_color_space = image.colourSpace;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, image.quality, TRUE);
    if (image.progressive) jpeg_simple_progression(&c);
    if (image.densityUnit) {
        c.write_JFIF_header = TRUE;
        c.density_unit = static_cast<UINT8>(image.densityUnit);
        c.X_density = c.Y_density = static_cast<UINT16>(image.density);
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.samples.data() +
                                            static_cast<size_t>(c.next_scanline) * image.width * image.components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// ---- TIFF ------------------------------------------------------------------------------------

struct TiffImage {
    uint32_t width = 1, height = 1;
    uint16_t bitsPerSample = 8, samplesPerPixel = 3, photometric = PHOTOMETRIC_RGB;
    uint16_t planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    std::optional<uint16_t> extraSample;  // EXTRASAMPLE_ASSOCALPHA or _UNASSALPHA
    std::vector<uint16_t> colourMap;      // red, green then blue entries
    uint32_t tileSize = 0;                // 0: strips
    float xResolution = 0;
    uint16_t resolutionUnit = RESUNIT_INCH;
    Bytes rows;  // contiguous rows as the file stores them (native byte order)
};

inline Bytes EncodeTiff(const TiffImage& image) {
    TempDir dir;
    const auto path = dir / "image.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, image.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, image.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, image.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, image.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, image.compression);
    if (image.extraSample) {
        uint16_t extra = *image.extraSample;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!image.colourMap.empty()) {
        const size_t n = image.colourMap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, image.colourMap.data(), image.colourMap.data() + n,
                     image.colourMap.data() + 2 * n);
    }
    if (image.xResolution > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, image.xResolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, image.xResolution);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, image.resolutionUnit);
    }
    if (image.compression == COMPRESSION_JPEG) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    const size_t rowBytes = image.rows.size() / image.height;
    if (image.tileSize) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, image.tileSize);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, image.tileSize);
        const size_t pixelBytes = rowBytes / image.width;
        Bytes tile(static_cast<size_t>(TIFFTileSize(tif)));
        for (uint32_t ty = 0; ty < image.height; ty += image.tileSize)
            for (uint32_t tx = 0; tx < image.width; tx += image.tileSize) {
                std::fill(tile.begin(), tile.end(), 0);
                for (uint32_t y = 0; y < image.tileSize && ty + y < image.height; ++y)
                    for (uint32_t x = 0; x < image.tileSize && tx + x < image.width; ++x)
                        std::memcpy(&tile[(y * image.tileSize + x) * pixelBytes],
                                    &image.rows[(ty + y) * rowBytes + (tx + x) * pixelBytes], pixelBytes);
                TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, image.compression == COMPRESSION_JPEG ? 16u : 2u);
        for (uint32_t y = 0; y < image.height; ++y)
            TIFFWriteScanline(tif, const_cast<uint8_t*>(image.rows.data() + y * rowBytes), y, 0);
    }
    TIFFClose(tif);
    return ReadBytes(path);
}

// ---- GIF -------------------------------------------------------------------------------------

struct GifImage {
    int screenWidth = 1, screenHeight = 1, background = 0;
    int left = 0, top = 0, width = 1, height = 1;
    bool interlaced = false;
    int transparent = -1;
    std::vector<GifColorType> colours;  // global table, a power of two in size
    Bytes indices;                      // width * height, rows top to bottom
};

inline Bytes EncodeGif(const GifImage& image) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out,
                                [](GifFileType* g, const GifByteType* data, int n) {
                                    auto* o = static_cast<Bytes*>(g->UserData);
                                    o->insert(o->end(), data, data + n);
                                    return n;
                                },
                                &error);
    if (!gif) return {};
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(image.colours.size()), image.colours.data());
    EGifPutScreenDesc(gif, image.screenWidth, image.screenHeight, 8, image.background, map);
    if (image.transparent >= 0) {
        const GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(image.transparent)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    }
    EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlaced, nullptr);
    auto put = [&](int y) {
        EGifPutLine(gif, const_cast<GifPixelType*>(image.indices.data() + static_cast<size_t>(y) * image.width),
                    image.width);
    };
    if (image.interlaced) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < image.height; y += step[pass]) put(y);
    } else {
        for (int y = 0; y < image.height; ++y) put(y);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// ---- BMP -------------------------------------------------------------------------------------

inline void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct BmpImage {
    int32_t width = 1, height = 1;  // negative height: top-down
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t headerSize = 40;                  // 12 for the OS/2 core header
    std::vector<uint32_t> masks;               // bit fields after a 40-byte header, or inside a larger one
    std::vector<uint32_t> palette;             // 0x00RRGGBB
    int32_t pelsPerMetre = 0;
    Bytes data;                                // pixel data exactly as stored (rows padded by the caller)
};

inline Bytes EncodeBmp(const BmpImage& image) {
    const bool core = image.headerSize == 12;
    const size_t maskBytes = image.headerSize == 40 ? image.masks.size() * 4 : 0;
    const size_t entry = core ? 3 : 4;
    const size_t offset = 14 + image.headerSize + maskBytes + image.palette.size() * entry;
    Bytes b(offset + image.data.size(), 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, image.headerSize);
    if (core) {
        Put16(b, 18, static_cast<uint32_t>(image.width));
        Put16(b, 20, static_cast<uint32_t>(image.height));
        Put16(b, 22, 1);
        Put16(b, 24, image.bitCount);
    } else {
        Put32(b, 18, static_cast<uint32_t>(image.width));
        Put32(b, 22, static_cast<uint32_t>(image.height));
        Put16(b, 26, 1);
        Put16(b, 28, image.bitCount);
        Put32(b, 30, image.compression);
        Put32(b, 34, static_cast<uint32_t>(image.data.size()));
        Put32(b, 38, static_cast<uint32_t>(image.pelsPerMetre));
        Put32(b, 42, static_cast<uint32_t>(image.pelsPerMetre));
        Put32(b, 46, static_cast<uint32_t>(image.palette.size()));
        for (size_t i = 0; i < image.masks.size(); ++i)
            Put32(b, image.headerSize == 40 ? 54 + 4 * i : 14 + 40 + 4 * i, image.masks[i]);
    }
    size_t at = 14 + image.headerSize + maskBytes;
    for (uint32_t c : image.palette) {
        b[at] = static_cast<uint8_t>(c);
        b[at + 1] = static_cast<uint8_t>(c >> 8);
        b[at + 2] = static_cast<uint8_t>(c >> 16);
        at += entry;
    }
    std::memcpy(b.data() + offset, image.data.data(), image.data.size());
    return b;
}

}  // namespace kv::test

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr int32_t kDefaultQuality = 75;
constexpr size_t kOutputChunk = 64 * 1024;

// Everything libjpeg's callbacks touch lives here, outside the frame that calls setjmp, so that a
// jump back from an error leaves no C++ object half-alive.
struct JpegWriter {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errorManager{};
    jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    jpeg_destination_mgr destination{};
    std::vector<uint8_t>* out = nullptr;
    bool outOfMemory = false;
    std::vector<uint8_t> row;      // one converted row, when the pixels need converting
    std::vector<uint8_t> greyMap;  // palette index to grey level, for grey-palette images
};

JpegWriter& WriterOf(j_common_ptr cinfo) { return *static_cast<JpegWriter*>(cinfo->client_data); }

void OnError(j_common_ptr cinfo) {
    JpegWriter& writer = WriterOf(cinfo);
    (*cinfo->err->format_message)(cinfo, writer.message);
    std::longjmp(writer.jump, 1);
}

void OnMessage(j_common_ptr, int) {}

void InitDestination(j_compress_ptr cinfo) {
    JpegWriter& writer = WriterOf(reinterpret_cast<j_common_ptr>(cinfo));
    writer.out->resize(kOutputChunk);
    cinfo->dest->next_output_byte = writer.out->data();
    cinfo->dest->free_in_buffer = writer.out->size();
}

boolean GrowDestination(j_compress_ptr cinfo) {
    JpegWriter& writer = WriterOf(reinterpret_cast<j_common_ptr>(cinfo));
    const size_t used = writer.out->size();
    try {
        writer.out->resize(used + std::max(kOutputChunk, used / 2));
    } catch (const std::bad_alloc&) {
        writer.outOfMemory = true;
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    cinfo->dest->next_output_byte = writer.out->data() + used;
    cinfo->dest->free_in_buffer = writer.out->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    JpegWriter& writer = WriterOf(reinterpret_cast<j_common_ptr>(cinfo));
    writer.out->resize(writer.out->size() - cinfo->dest->free_in_buffer);
}

uint16_t Density(float dpi) { return dpi >= 65535 ? 65535 : static_cast<uint16_t>(dpi + 0.5f); }

// How the rows reach libjpeg: handed over as they are, or converted one at a time.
enum class Feed { Direct, Grey, Convert, OnWhite };

// Runs the compression; false after a libjpeg error. Only plain values live in this frame.
bool Compress(JpegWriter& w, const PixelBuffer& pixels, int32_t quality, float dpiX, float dpiY, Feed feed,
              J_COLOR_SPACE inputSpace, int components) {
    if (setjmp(w.jump)) return false;
    jpeg_create_compress(&w.cinfo);
    w.cinfo.dest = &w.destination;
    w.cinfo.image_width = static_cast<JDIMENSION>(pixels.width);
    w.cinfo.image_height = static_cast<JDIMENSION>(pixels.height);
    w.cinfo.input_components = components;
    w.cinfo.in_color_space = inputSpace;
    jpeg_set_defaults(&w.cinfo);
    jpeg_set_quality(&w.cinfo, quality, TRUE);
    // 4:2:0 chroma, as jpeg_set_defaults chooses for colour; said here so that it stays so.
    if (components != 1) {
        w.cinfo.comp_info[0].h_samp_factor = 2;
        w.cinfo.comp_info[0].v_samp_factor = 2;
    }
    w.cinfo.write_JFIF_header = TRUE;
    if (dpiX >= 1 && dpiY >= 1) {
        w.cinfo.density_unit = 1;  // dots per inch
        w.cinfo.X_density = Density(dpiX);
        w.cinfo.Y_density = Density(dpiY);
    } else {
        w.cinfo.density_unit = 0;  // no resolution, square pixels
        w.cinfo.X_density = 1;
        w.cinfo.Y_density = 1;
    }
    jpeg_start_compress(&w.cinfo, TRUE);
    const int32_t bits = GetPixelFormatSize(pixels.format);
    while (w.cinfo.next_scanline < w.cinfo.image_height) {
        const int32_t y = static_cast<int32_t>(w.cinfo.next_scanline);
        const uint8_t* src = pixels.Row(y);
        JSAMPROW row;
        switch (feed) {
            case Feed::Direct:
                row = const_cast<JSAMPROW>(src);
                break;
            case Feed::Grey:
                for (int32_t x = 0; x < pixels.width; ++x) w.row[static_cast<size_t>(x)] = w.greyMap[IndexAt(src, x, bits)];
                row = w.row.data();
                break;
            case Feed::OnWhite:
                RowToBgr24OnWhite(pixels.format, src, 0, pixels.width, pixels.palette, w.row.data());
                row = w.row.data();
                break;
            default:
                RowToBgr24(pixels.format, src, 0, pixels.width, pixels.palette, w.row.data());
                row = w.row.data();
                break;
        }
        jpeg_write_scanlines(&w.cinfo, &row, 1);
    }
    jpeg_finish_compress(&w.cinfo);
    return true;
}

}  // namespace

bool EncodeJpeg(const PixelBuffer& pixels, int32_t quality, float dpiX, float dpiY, std::vector<uint8_t>& out,
                std::string& error) {
    if (pixels.width > JPEG_MAX_DIMENSION || pixels.height > JPEG_MAX_DIMENSION) {
        error = "The image is too large for a JPEG file.";
        return false;
    }
    if (quality < 0) quality = kDefaultQuality;
    if (quality > 100) quality = 100;

    auto writer = std::make_unique<JpegWriter>();
    JpegWriter& w = *writer;
    w.out = &out;
    w.cinfo.err = jpeg_std_error(&w.errorManager);
    w.errorManager.error_exit = OnError;
    w.errorManager.emit_message = OnMessage;
    w.cinfo.client_data = &w;
    w.destination.init_destination = InitDestination;
    w.destination.empty_output_buffer = GrowDestination;
    w.destination.term_destination = TermDestination;

    Feed feed = Feed::Convert;
    J_COLOR_SPACE space = JCS_EXT_BGR;
    int components = 3;
    // A JPEG file holds no alpha: a picture with transparent pixels is shown on white, not with the
    // colour stored under them.
    const bool translucent = HasTranslucentPixels(pixels);
    switch (translucent ? PixelFormatUndefined : pixels.format) {
        case PixelFormat24bppRGB:
            feed = Feed::Direct;
            break;
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            // The fourth byte is skipped: alpha has no place in a JPEG file.
            feed = Feed::Direct;
            space = JCS_EXT_BGRX;
            components = 4;
            break;
        default:
            if (IsIndexedPixelFormat(pixels.format)) {
                const std::vector<int32_t> levels = GreyLevels(pixels.palette);
                if (!levels.empty()) {
                    // A grey picture stays grey (a transparent entry on white); indices past the
                    // palette read as black.
                    w.greyMap.assign(256, 0);
                    for (size_t i = 0; i < levels.size() && i < 256; ++i)
                        w.greyMap[i] = OnWhite(static_cast<uint32_t>(levels[i]), pixels.palette[i] >> 24);
                    feed = Feed::Grey;
                    space = JCS_GRAYSCALE;
                    components = 1;
                }
            }
            if (feed == Feed::Convert && translucent) feed = Feed::OnWhite;
            break;
    }
    if (feed != Feed::Direct) w.row.resize(static_cast<size_t>(pixels.width) * 3);

    const bool ok = Compress(w, pixels, quality, dpiX, dpiY, feed, space, components);
    jpeg_destroy_compress(&w.cinfo);
    if (!ok) {
        if (w.outOfMemory) throw std::bad_alloc();
        error = std::string("The JPEG file could not be written: ") + w.message;
        return false;
    }
    return true;
}

}  // namespace kv

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <tiffio.h>

#include "imageio/EncoderParts.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

// A growable file in memory that libtiff writes through its client procedures.
struct TiffSink {
    std::vector<uint8_t>* data = nullptr;
    uint64_t pos = 0;
    std::string message;
    bool outOfMemory = false;
};

TiffSink& SinkOf(thandle_t handle) { return *static_cast<TiffSink*>(handle); }

tmsize_t OnRead(thandle_t handle, void* buffer, tmsize_t size) {
    TiffSink& s = SinkOf(handle);
    if (size < 0 || s.pos >= s.data->size()) return 0;
    const size_t n = std::min<uint64_t>(static_cast<uint64_t>(size), s.data->size() - s.pos);
    std::memcpy(buffer, s.data->data() + s.pos, n);
    s.pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t OnWrite(thandle_t handle, void* buffer, tmsize_t size) {
    TiffSink& s = SinkOf(handle);
    if (size < 0) return -1;
    const uint64_t end = s.pos + static_cast<uint64_t>(size);
    try {
        if (end > s.data->size()) s.data->resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
        s.outOfMemory = true;
        return -1;
    }
    std::memcpy(s.data->data() + s.pos, buffer, static_cast<size_t>(size));
    s.pos = end;
    return size;
}

toff_t OnSeek(thandle_t handle, toff_t offset, int whence) {
    TiffSink& s = SinkOf(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = s.pos;
    if (whence == SEEK_END) base = s.data->size();
    s.pos = base + offset;
    return s.pos;
}

int OnClose(thandle_t) { return 0; }
toff_t OnSize(thandle_t handle) { return SinkOf(handle).data->size(); }
int OnMap(thandle_t, void**, toff_t*) { return 0; }
void OnUnmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    auto* s = static_cast<TiffSink*>(user);
    if (s->message.empty()) s->message = text;
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// How a pixel format is stored in the file.
struct TiffLayout {
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t bitsPerSample = 8;
    uint16_t samples = 3;
    bool alpha = false;
    // Rows reach the file as they are (palette, grey, CMYK), with red and blue swapped (8- and
    // 16-bit colour), or through a conversion to 8-bit B,G,R(,A) first.
    enum class Feed { Direct, SwapRedBlue, Bgr24, Bgra32 } feed = Feed::SwapRedBlue;
};

TiffLayout LayoutOf(PixelFormat format) {
    TiffLayout l;
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            l = {PHOTOMETRIC_PALETTE, static_cast<uint16_t>(GetPixelFormatSize(format)), 1, false, TiffLayout::Feed::Direct};
            break;
        case PixelFormat16bppGrayScale:
            l = {PHOTOMETRIC_MINISBLACK, 16, 1, false, TiffLayout::Feed::Direct};
            break;
        case PixelFormat32bppCMYK:
            l = {PHOTOMETRIC_SEPARATED, 8, 4, false, TiffLayout::Feed::Direct};
            break;
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
            break;
        case PixelFormat32bppARGB:
            l = {PHOTOMETRIC_RGB, 8, 4, true, TiffLayout::Feed::SwapRedBlue};
            break;
        case PixelFormat32bppPARGB:
        case PixelFormat16bppARGB1555:
            l = {PHOTOMETRIC_RGB, 8, 4, true, TiffLayout::Feed::Bgra32};
            break;
        case PixelFormat48bppRGB:
            l = {PHOTOMETRIC_RGB, 16, 3, false, TiffLayout::Feed::SwapRedBlue};
            break;
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:  // converted to straight alpha before it gets here
            l = {PHOTOMETRIC_RGB, 16, 4, true, TiffLayout::Feed::SwapRedBlue};
            break;
        default:  // 16-bit RGB
            l.feed = TiffLayout::Feed::Bgr24;
            break;
    }
    return l;
}

// Turns B,G,R(,X/A) pixels of 8 or 16 bits a sample into R,G,B(,A) as the file stores them.
template <typename Sample>
void SwapRedBlue(const uint8_t* src, int32_t width, int32_t srcSamples, int32_t dstSamples, uint8_t* dst) {
    Sample in[4];
    Sample out[4];
    for (int32_t x = 0; x < width; ++x) {
        std::memcpy(in, src + static_cast<size_t>(x) * srcSamples * sizeof(Sample), srcSamples * sizeof(Sample));
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        if (dstSamples == 4) out[3] = in[3];
        std::memcpy(dst + static_cast<size_t>(x) * dstSamples * sizeof(Sample), out, dstSamples * sizeof(Sample));
    }
}

struct TiffFile {
    TIFF* tif = nullptr;
    TIFFOpenOptions* options = nullptr;
    ~TiffFile() {
        if (tif) TIFFClose(tif);
        if (options) TIFFOpenOptionsFree(options);
    }
};

bool WriteImage(TIFF* tif, const PixelBuffer& pixels, const TiffLayout& layout, float dpiX, float dpiY) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(pixels.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(pixels.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (layout.photometric != PHOTOMETRIC_PALETTE) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (layout.alpha) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (layout.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    if (layout.photometric == PHOTOMETRIC_PALETTE) {
        const size_t entries = size_t{1} << layout.bitsPerSample;
        std::vector<uint16_t> red(entries), green(entries), blue(entries);
        for (size_t i = 0; i < entries && i < pixels.palette.size(); ++i) {
            red[i] = static_cast<uint16_t>(((pixels.palette[i] >> 16) & 0xFF) * 257);
            green[i] = static_cast<uint16_t>(((pixels.palette[i] >> 8) & 0xFF) * 257);
            blue[i] = static_cast<uint16_t>((pixels.palette[i] & 0xFF) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    // The resolution fields are required; without a resolution they say square pixels.
    const bool dpi = dpiX > 0 && dpiY > 0 && std::isfinite(dpiX) && std::isfinite(dpiY);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, dpi ? dpiX : 1.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, dpi ? dpiY : 1.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, dpi ? RESUNIT_INCH : RESUNIT_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));

    // Every row goes through a buffer of our own: the predictor may work in place on what it gets.
    const tmsize_t rowBytes = TIFFScanlineSize(tif);
    if (rowBytes <= 0) return false;
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes) + 16);
    std::vector<uint8_t> converted(layout.feed == TiffLayout::Feed::Bgr24 || layout.feed == TiffLayout::Feed::Bgra32
                                       ? static_cast<size_t>(pixels.width) * 4
                                       : 0);
    const int32_t srcBits = GetPixelFormatSize(pixels.format);
    for (int32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* src = pixels.Row(y);
        switch (layout.feed) {
            case TiffLayout::Feed::Direct:
                std::memcpy(row.data(), src, static_cast<size_t>(rowBytes));
                break;
            case TiffLayout::Feed::SwapRedBlue:
                if (layout.bitsPerSample == 16)
                    SwapRedBlue<uint16_t>(src, pixels.width, srcBits / 16, layout.samples, row.data());
                else
                    SwapRedBlue<uint8_t>(src, pixels.width, srcBits / 8, layout.samples, row.data());
                break;
            case TiffLayout::Feed::Bgr24:
                RowToBgr24(pixels.format, src, 0, pixels.width, pixels.palette, converted.data());
                SwapRedBlue<uint8_t>(converted.data(), pixels.width, 3, 3, row.data());
                break;
            case TiffLayout::Feed::Bgra32:
                RowToBgra32(pixels.format, src, 0, pixels.width, pixels.palette, converted.data());
                SwapRedBlue<uint8_t>(converted.data(), pixels.width, 4, 4, row.data());
                break;
        }
        if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
    }
    return TIFFWriteDirectory(tif) == 1;
}

}  // namespace

bool EncodeTiff(const PixelBuffer& source, float dpiX, float dpiY, std::vector<uint8_t>& out, std::string& error) {
    PixelBuffer straight;
    const PixelBuffer* pixels = &StraightAlpha16(source, straight);
    const TiffLayout layout = LayoutOf(pixels->format);

    TiffSink sink;
    sink.data = &out;
    TiffFile file;
    file.options = TIFFOpenOptionsAlloc();
    if (!file.options) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(file.options, OnError, &sink);
    TIFFOpenOptionsSetWarningHandlerExtR(file.options, OnWarning, nullptr);
    file.tif = TIFFClientOpenExt("image", "w", &sink, OnRead, OnWrite, OnSeek, OnClose, OnSize, OnMap, OnUnmap,
                                 file.options);
    bool ok = file.tif && WriteImage(file.tif, *pixels, layout, dpiX, dpiY);
    if (file.tif) {
        TIFFClose(file.tif);  // flushes; its errors land in the sink
        file.tif = nullptr;
    }
    if (sink.outOfMemory) throw std::bad_alloc();
    if (!ok || !sink.message.empty()) {
        error = "The TIFF file could not be written: " + (sink.message.empty() ? std::string("unknown error") : sink.message);
        return false;
    }
    return true;
}

}  // namespace kv

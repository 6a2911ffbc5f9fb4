// GIF files through giflib: the first frame, placed on the logical screen, as an 8-bit indexed
// bitmap with the frame's colour table. A transparent colour stays an index whose palette entry has
// alpha 0, and the screen outside the frame takes that index (else the background index). Later
// frames are never read.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imageio/Decoders.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

struct GifContext {
    const ByteReader* file;
    uint64_t offset = 0;
    GifFileType* gif = nullptr;
    int error = 0;
    int transparent = -1;  // from the graphic control extension before the first frame

    explicit GifContext(const ByteReader& reader) : file(&reader) {}
    ~GifContext() {
        if (gif) DGifCloseFile(gif, nullptr);
    }
    GifContext(const GifContext&) = delete;
    GifContext& operator=(const GifContext&) = delete;
};

int Read(GifFileType* gif, GifByteType* buffer, int length) {
    auto* ctx = static_cast<GifContext*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t n = ctx->file->ReadAt(ctx->offset, buffer, static_cast<size_t>(length));
    ctx->offset += n;
    return static_cast<int>(n);
}

DecodeResult Failure(int code) {
    const char* text = GifErrorString(code);
    return DecodeResult::Failure(Status::InvalidParameter,
                                 std::string("The GIF file cannot be read: ") + (text ? text : "unknown error"));
}

// Opens the file and reads every record up to the first frame's descriptor.
DecodeResult OpenFirstFrame(GifContext& ctx) {
    ctx.gif = DGifOpen(&ctx, Read, &ctx.error);
    if (!ctx.gif) return Failure(ctx.error);
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(ctx.gif, &type) != GIF_OK) return Failure(ctx.gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(ctx.gif) != GIF_OK) return Failure(ctx.gif->Error);
            return DecodeResult::Success();
        }
        if (type == TERMINATE_RECORD_TYPE)
            return DecodeResult::Failure(Status::InvalidParameter, "The GIF file holds no image");
        if (type != EXTENSION_RECORD_TYPE) return Failure(D_GIF_ERR_WRONG_RECORD);
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(ctx.gif, &code, &block) != GIF_OK) return Failure(ctx.gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
            ctx.transparent = (block[1] & 1) ? block[4] : -1;
        while (block) {
            if (DGifGetExtensionNext(ctx.gif, &block) != GIF_OK) return Failure(ctx.gif->Error);
        }
    }
}

struct Screen {
    int32_t width, height;
};

// The logical screen; a file that gives none shows its first frame whole.
Screen ScreenOf(const GifFileType* gif) {
    if (gif->SWidth > 0 && gif->SHeight > 0) return {gif->SWidth, gif->SHeight};
    const GifImageDesc& d = gif->Image;
    return {d.Left + d.Width, d.Top + d.Height};
}

std::vector<uint32_t> PaletteOf(const GifContext& ctx) {
    const ColorMapObject* map = ctx.gif->Image.ColorMap ? ctx.gif->Image.ColorMap : ctx.gif->SColorMap;
    std::vector<uint32_t> palette;
    if (map && map->Colors && map->ColorCount > 0) {
        const int count = std::min(map->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            const GifColorType& c = map->Colors[i];
            palette.push_back(0xFF000000u | uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue);
        }
    } else {
        palette = GreyPalette(PixelFormat8bppIndexed);
    }
    if (ctx.transparent >= 0 && static_cast<size_t>(ctx.transparent) < palette.size())
        palette[static_cast<size_t>(ctx.transparent)] &= 0x00FFFFFFu;
    return palette;
}

}  // namespace

DecodeResult ProbeGif(const ByteReader& file, ImageHeader& header) {
    GifContext ctx(file);
    if (auto opened = OpenFirstFrame(ctx); !opened.ok()) return opened;
    const Screen screen = ScreenOf(ctx.gif);
    if (auto limit = CheckDecodeMemory(screen.width, screen.height, PixelFormat8bppIndexed, 0,
                                       static_cast<uint64_t>(std::max(ctx.gif->Image.Width, 0)), &header.decodeBytes);
        !limit.ok())
        return limit;
    header.format = ImageFormat::Gif;
    header.width = screen.width;
    header.height = screen.height;
    header.pixelFormat = PixelFormat8bppIndexed;
    header.flags = ImageFlagsColorSpaceRGB | ImageFlagsHasRealPixelSize | (ctx.transparent >= 0 ? uint32_t{ImageFlagsHasAlpha} : 0u);
    return DecodeResult::Success();
}

DecodeResult DecodeGif(const ByteReader& file, PixelBuffer& pixels) {
    pixels = PixelBuffer{};
    GifContext ctx(file);
    if (auto opened = OpenFirstFrame(ctx); !opened.ok()) return opened;
    const Screen screen = ScreenOf(ctx.gif);
    const GifImageDesc frame = ctx.gif->Image;
    if (auto limit = CheckDecodeMemory(screen.width, screen.height, PixelFormat8bppIndexed, 0,
                                       static_cast<uint64_t>(std::max(frame.Width, 0)));
        !limit.ok())
        return limit;
    // The frame's own area bounds the work of decoding it, even where it lies off screen.
    if (auto limit = CheckPixelLimit(frame.Width, frame.Height); !limit.ok()) return limit;
    if (!AllocatePixels(pixels, screen.width, screen.height, PixelFormat8bppIndexed))
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the GIF image");
    pixels.palette = PaletteOf(ctx);
    const int background = ctx.transparent >= 0 ? ctx.transparent : ctx.gif->SBackGroundColor;
    // The new pixels are index 0 already; another background is painted in.
    if ((background & 0xFF) != 0)
        for (int32_t y = 0; y < screen.height; ++y) std::memset(pixels.Row(y), background & 0xFF, static_cast<size_t>(screen.width));

    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[static_cast<size_t>(frame.Width)]);
    if (!line) {
        pixels = PixelBuffer{};
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the GIF image");
    }
    // Columns of the frame that fall on the screen.
    const int32_t left = std::clamp(frame.Left, 0, screen.width);
    const int32_t right = std::clamp(frame.Left + frame.Width, 0, screen.width);
    auto store = [&](int32_t frameRow) {
        const int32_t y = frame.Top + frameRow;
        if (y < 0 || y >= screen.height || right <= left) return;
        std::memcpy(pixels.Row(y) + left, line.get() + (left - frame.Left), static_cast<size_t>(right - left));
    };
    static constexpr int kPassStart[] = {0, 4, 2, 1};
    static constexpr int kPassStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int32_t row = start; row < frame.Height; row += step) {
            // Rows below the screen are never shown; a plain frame stops reading there.
            if (!frame.Interlace && frame.Top + row >= screen.height) return DecodeResult::Success();
            if (DGifGetLine(ctx.gif, line.get(), frame.Width) != GIF_OK) {
                pixels = PixelBuffer{};
                return Failure(ctx.gif->Error);
            }
            store(row);
        }
    }
    return DecodeResult::Success();
}

}  // namespace kv

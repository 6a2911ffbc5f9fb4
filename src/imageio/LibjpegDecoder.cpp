// JPEG files through libjpeg-turbo. Errors leave libjpeg through a setjmp error manager that lives
// with each decode (never a global one). Warnings are sorted: data that runs out before the picture
// is complete, or entropy-coded data that is corrupt, fails the decode (a picture libjpeg filled in
// with grey is not the photo); harmless irregularities (a missing end marker after complete data,
// stray bytes between segments, an unknown Adobe transform) stay warnings. A progress monitor stops
// files with an absurd number of progressive scans, each of which would otherwise cost a pass over
// the picture. CMYK files with an embedded CMYK profile are converted to sRGB through it.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "imageio/ColourProfile.h"
#include "imageio/Decoders.h"
#include "imageio/JpegQuality.h"
#include "imageio/Orientation.h"
#include "imageio/PixelConvert.h"

namespace kv {
namespace {

constexpr int kMaxScans = 100;
constexpr size_t kFileChunk = 64 * 1024;
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
    bool tooManyScans;
    bool ranOut;          // the data ended where libjpeg still needed bits of a scan
    bool endOfFile;       // the file ended before its end marker
    bool corrupt;         // entropy-coded data that does not decode
    char damage[JMSG_LENGTH_MAX];  // the first warning that made the picture incomplete
    uint32_t scannedComponents;    // components that a scan of the file has carried, one bit each
};

// Whether a warning means the picture came out incomplete or wrong, rather than a harmless
// irregularity of a complete file.
void SortWarning(j_common_ptr cinfo, ErrorManager& err) {
    bool damaging = false;
    switch (cinfo->err->msg_code) {
        case JWRN_HIT_MARKER: err.ranOut = damaging = true; break;
        case JWRN_JPEG_EOF: err.endOfFile = true; break;
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_NOT_SEQUENTIAL: err.corrupt = damaging = true; break;
        default: break;
    }
    if (damaging && err.damage[0] == 0) (*cinfo->err->format_message)(cinfo, err.damage);
}

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (!err->tooManyScans) (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    // Negative levels are warnings about damaged data; trace messages are ignored.
    if (level >= 0) return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->warnings++;
    SortWarning(cinfo, *err);
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i)
        if (d->cur_comp_info[i] && d->cur_comp_info[i]->component_index < 32)
            err->scannedComponents |= 1u << d->cur_comp_info[i]->component_index;
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->tooManyScans = true;
        std::snprintf(err->message, sizeof err->message, "The JPEG file has more than %d scans", kMaxScans);
        OnError(cinfo);
    }
}

// A libjpeg source over a ByteReader: the memory block directly, or a file in chunks. Past the
// end it hands out an end-of-image marker, so a truncated file ends as libjpeg recovers it.
struct ReaderSource {
    jpeg_source_mgr pub;
    const ByteReader* file;
    uint64_t offset;  // of the next chunk (file mode)
    JOCTET* chunk;    // file mode only
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<ReaderSource*>(cinfo->src);
    size_t n = 0;
    if (src->chunk) {
        n = src->file->ReadAt(src->offset, src->chunk, kFileChunk);
        src->offset += n;
    }
    if (n == 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kFakeEoi;
        src->pub.bytes_in_buffer = 2;
    } else {
        src->pub.next_input_byte = src->chunk;
        src->pub.bytes_in_buffer = n;
    }
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<ReaderSource*>(cinfo->src);
    if (count <= 0) return;
    const size_t skip = static_cast<size_t>(count);
    if (skip <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += skip;
        src->pub.bytes_in_buffer -= skip;
        return;
    }
    const size_t beyond = skip - src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
    if (src->chunk) {
        src->offset += beyond;
    } else {
        src->pub.next_input_byte = kFakeEoi;  // memory mode: nothing beyond the block
    }
}

// Everything one decode needs, created before the setjmp point and destroyed after it, so that a
// longjmp never skips a destructor.
struct JpegContext {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    ReaderSource source;
    std::vector<JOCTET> chunk;
    bool created = false;

    explicit JpegContext(const ByteReader& file) {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&err, 0, sizeof err);
        std::memset(&progress, 0, sizeof progress);
        std::memset(&source, 0, sizeof source);
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = OnError;
        err.pub.emit_message = OnMessage;
        err.pub.output_message = OnOutputMessage;
        progress.progress_monitor = OnProgress;
        source.pub.init_source = InitSource;
        source.pub.fill_input_buffer = FillInputBuffer;
        source.pub.skip_input_data = SkipInputData;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = TermSource;
        source.file = &file;
        if (const auto* memory = file.Memory()) {
            source.pub.next_input_byte = memory->data();
            source.pub.bytes_in_buffer = memory->size();
        } else {
            chunk.resize(kFileChunk);
            source.chunk = chunk.data();
        }
    }
    ~JpegContext() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
    JpegContext(const JpegContext&) = delete;
    JpegContext& operator=(const JpegContext&) = delete;
};

// Creates the decompressor and reads the header; false after a libjpeg error (message in ctx).
// No C++ object with a destructor lives in this frame.
bool ReadHeader(JpegContext& ctx, bool keepExif) {
    if (setjmp(ctx.err.jump)) return false;
    jpeg_create_decompress(&ctx.cinfo);
    ctx.created = true;
    ctx.cinfo.src = &ctx.source.pub;
    ctx.cinfo.progress = &ctx.progress;
    if (keepExif) jpeg_save_markers(&ctx.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&ctx.cinfo, JPEG_APP0 + 2, 0xFFFF);  // the colour profile
    if (jpeg_read_header(&ctx.cinfo, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(ctx.err.message, sizeof ctx.err.message, "The JPEG file holds no image");
        return false;
    }
    return true;
}

struct Layout {
    PixelFormat format;
    uint32_t colourFlag;
    J_COLOR_SPACE output;
};

bool LayoutOf(const jpeg_decompress_struct& cinfo, Layout& layout) {
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: layout = {PixelFormat8bppIndexed, ImageFlagsColorSpaceGRAY, JCS_GRAYSCALE}; return true;
    case JCS_YCbCr: layout = {PixelFormat24bppRGB, ImageFlagsColorSpaceYCBCR, JCS_EXT_BGR}; return true;
    case JCS_RGB: layout = {PixelFormat24bppRGB, ImageFlagsColorSpaceRGB, JCS_EXT_BGR}; return true;
    case JCS_CMYK: layout = {PixelFormat32bppCMYK, ImageFlagsColorSpaceCMYK, JCS_CMYK}; return true;
    case JCS_YCCK: layout = {PixelFormat32bppCMYK, ImageFlagsColorSpaceYCCK, JCS_CMYK}; return true;
    default: return false;
    }
}

// Reads from the first IFD of an EXIF block: the resolution from XResolution, YResolution and
// ResolutionUnit (inches unless it says centimetres), and the orientation.
class ExifFirstIfd {
public:
    ExifFirstIfd(const uint8_t* data, size_t size) {
        if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return;
        data_ = data + 6;
        size_ = size - 6;
        if (data_[0] == 'I' && data_[1] == 'I') little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M') little_ = false;
        else return;
        if (U16(2) != 42) return;
        const uint32_t ifd = U32(4);
        if (ifd != 0 && ifd <= size_ - 2) ifd_ = ifd;
    }

    // Whether the block is an Exif block with a readable TIFF header.
    bool IsExif() const { return ifd_ != 0; }

    // False when the block does not state a resolution.
    bool Read(float& dpiX, float& dpiY) const {
        double x = 0, y = 0;
        uint32_t unit = 2;
        ForEachEntry([&](uint32_t at, uint16_t tag, uint16_t type) {
            if ((tag == PropertyTag::XResolution || tag == PropertyTag::YResolution) && type == PropertyTagType::Rational) {
                const uint32_t offset = U32(at + 8);
                if (uint64_t{offset} + 8 > size_) return;
                const uint32_t num = U32(offset), den = U32(offset + 4);
                if (num == 0 || den == 0) return;
                (tag == PropertyTag::XResolution ? x : y) = static_cast<double>(num) / den;
            } else if (tag == PropertyTag::ResolutionUnit && type == PropertyTagType::Short) {
                unit = U16(at + 8);
            }
        });
        if (x <= 0 || y <= 0 || (unit != 2 && unit != 3)) return false;
        const double factor = unit == 3 ? 2.54 : 1.0;
        dpiX = static_cast<float>(x * factor);
        dpiY = static_cast<float>(y * factor);
        return true;
    }

    // The Orientation tag's value, 1 when the block has none.
    int Orientation() const {
        int orientation = kUprightOrientation;
        ForEachEntry([&](uint32_t at, uint16_t tag, uint16_t type) {
            if (tag == PropertyTag::Orientation && type == PropertyTagType::Short && U32(at + 4) >= 1)
                orientation = ValidOrientation(U16(at + 8));
        });
        return orientation;
    }

private:
    // Calls visit(entry offset, tag, type) for each entry of the first IFD that lies in the block.
    template <class Visit>
    void ForEachEntry(const Visit& visit) const {
        if (ifd_ == 0) return;
        const uint32_t count = U16(ifd_);
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t entry = uint64_t{ifd_} + 2 + 12ull * i;
            if (entry + 12 > size_) break;
            const uint32_t at = static_cast<uint32_t>(entry);
            visit(at, U16(at), U16(at + 2));
        }
    }

    uint16_t U16(uint32_t at) const {
        if (uint64_t{at} + 2 > size_) return 0;
        return little_ ? static_cast<uint16_t>(data_[at] | data_[at + 1] << 8)
                       : static_cast<uint16_t>(data_[at] << 8 | data_[at + 1]);
    }
    uint32_t U32(uint32_t at) const {
        if (uint64_t{at} + 4 > size_) return 0;
        const uint32_t a = data_[at], b = data_[at + 1], c = data_[at + 2], d = data_[at + 3];
        return little_ ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
    }

    const uint8_t* data_ = nullptr;  // the TIFF header
    size_t size_ = 0;
    uint32_t ifd_ = 0;  // offset of the first IFD; 0 when the block is no readable Exif block
    bool little_ = true;
};

// A file of several scans (progressive, or components in separate scans) is gathered whole before any
// row comes out: libjpeg keeps every coefficient block of the picture, 128 bytes a block, in each
// component's block grid rounded up to its sampling factors.
uint64_t WholeImageCoefficientBytes(j_decompress_ptr cinfo) {
    if (!jpeg_has_multiple_scans(cinfo)) return 0;
    uint64_t bytes = 0;
    for (int c = 0; c < cinfo->num_components; ++c) {
        const jpeg_component_info& comp = cinfo->comp_info[c];
        const auto roundUp = [](uint64_t n, int factor) {
            const uint64_t f = factor > 0 ? static_cast<uint64_t>(factor) : 1;
            return (n + f - 1) / f * f;
        };
        bytes += roundUp(comp.width_in_blocks, comp.h_samp_factor) * roundUp(comp.height_in_blocks, comp.v_samp_factor) *
                 sizeof(JBLOCK);
    }
    return bytes;
}

// libjpeg's working memory beside the coefficients (row groups, tables) stays below this.
constexpr uint64_t kLibraryWorkingBytes = uint64_t{64} << 20;

DecodeResult LibraryFailure(const JpegContext& ctx) {
    return DecodeResult::Failure(ctx.err.tooManyScans ? Status::Aborted : Status::InvalidParameter,
                                 std::string("The JPEG file cannot be read: ") + ctx.err.message);
}

// Decodes every row into pixels, which the caller has allocated at the output size. With a profile
// converter the CMYK rows arrive in cmykRow first (inverted back when the file is Adobe's) and are
// converted into the pixels.
bool ReadRows(JpegContext& ctx, PixelBuffer& pixels, const CmykToSrgb* converter, JSAMPROW cmykRow) {
    if (setjmp(ctx.err.jump)) return false;
    jpeg_start_decompress(&ctx.cinfo);
    JSAMPROW rows[16];
    while (ctx.cinfo.output_scanline < ctx.cinfo.output_height) {
        const JDIMENSION first = ctx.cinfo.output_scanline;
        if (converter) {
            rows[0] = cmykRow;
            if (jpeg_read_scanlines(&ctx.cinfo, rows, 1) == 0) break;
            if (ctx.cinfo.saw_Adobe_marker)
                for (JDIMENSION i = 0; i < 4 * ctx.cinfo.output_width; ++i) cmykRow[i] = static_cast<JSAMPLE>(255 - cmykRow[i]);
            converter->Convert(cmykRow, pixels.Row(static_cast<int32_t>(first)), static_cast<int32_t>(ctx.cinfo.output_width));
            continue;
        }
        const JDIMENSION n = std::min<JDIMENSION>(16, ctx.cinfo.output_height - first);
        for (JDIMENSION i = 0; i < n; ++i) rows[i] = pixels.Row(static_cast<int32_t>(first + i));
        if (jpeg_read_scanlines(&ctx.cinfo, rows, n) == 0) break;
    }
    // Rows libjpeg did not deliver (it never stops early with this source) are cleared, and so is
    // the padding at the end of every row, which no sample fills.
    const size_t used = static_cast<size_t>(pixels.width) * (GetPixelFormatSize(pixels.format) / 8);
    for (int32_t y = 0; y < pixels.height; ++y) {
        const bool delivered = static_cast<JDIMENSION>(y) < ctx.cinfo.output_scanline;
        const size_t from = delivered ? used : 0;
        std::memset(pixels.Row(y) + from, 0, static_cast<size_t>(pixels.stride) - from);
    }
    return true;
}

// Whether the decoded picture is incomplete: data ran out inside a scan, the entropy-coded data was
// corrupt, or the file ended before every scan the picture needs had arrived. A file that lacks only
// its end marker after complete data is whole.
bool Incomplete(const JpegContext& ctx) {
    const ErrorManager& e = ctx.err;
    if (e.ranOut || e.corrupt) return true;
    if (!e.endOfFile || !jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&ctx.cinfo))) return false;
    const jpeg_decompress_struct& c = ctx.cinfo;
    if (c.progressive_mode && c.coef_bits) {
        // Every coefficient of every component must have reached its full precision.
        for (int comp = 0; comp < c.num_components; ++comp)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (c.coef_bits[comp][k] != 0) return true;
        return false;
    }
    const uint32_t all = c.num_components >= 32 ? ~0u : (1u << c.num_components) - 1;
    return (e.scannedComponents & all) != all;
}

DecodeResult DamageFailure(const JpegContext& ctx) {
    const char* why = ctx.err.damage[0] ? ctx.err.damage : "Premature end of JPEG file";
    return DecodeResult::Failure(Status::InvalidParameter, std::string("The JPEG file cannot be read: ") + why);
}

// The embedded colour profile of a CMYK file, as a converter to sRGB; nothing for other files or
// profiles that are not CMYK. No C++ object with a destructor lives in this frame.
bool ReadIccProfile(JpegContext& ctx, JOCTET** icc, unsigned int* size) {
    if (setjmp(ctx.err.jump)) return false;
    return jpeg_read_icc_profile(&ctx.cinfo, icc, size) && *icc;
}

std::unique_ptr<CmykToSrgb> ProfileConverter(JpegContext& ctx, const Layout& layout) {
    if (layout.format != PixelFormat32bppCMYK) return nullptr;
    JOCTET* icc = nullptr;
    unsigned int size = 0;
    const bool read = ReadIccProfile(ctx, &icc, &size);
    std::unique_ptr<CmykToSrgb> converter = read ? CmykToSrgb::Create({icc, size}) : nullptr;
    std::free(icc);
    return converter;
}

}  // namespace

DecodeResult ProbeJpeg(const ByteReader& file, ImageHeader& header) {
    JpegContext ctx(file);
    if (!ReadHeader(ctx, true)) return LibraryFailure(ctx);
    Layout layout;
    if (!LayoutOf(ctx.cinfo, layout))
        return DecodeResult::Failure(Status::InvalidParameter, "The JPEG file has an unsupported colour layout");
    const bool converted = ProfileConverter(ctx, layout) != nullptr;
    if (converted) layout.format = PixelFormat24bppRGB;
    if (auto limit = CheckDecodeMemory(ctx.cinfo.image_width, ctx.cinfo.image_height, layout.format,
                                       0, WholeImageCoefficientBytes(&ctx.cinfo) +
                                           (converted ? 4 * uint64_t{ctx.cinfo.image_width} : 0),
                                       &header.decodeBytes);
        !limit.ok())
        return limit;

    header.format = ImageFormat::Jpeg;
    header.width = static_cast<int32_t>(ctx.cinfo.image_width);
    header.height = static_cast<int32_t>(ctx.cinfo.image_height);
    header.pixelFormat = layout.format;
    header.flags = layout.colourFlag | ImageFlagsHasRealPixelSize;
    header.dpiX = header.dpiY = kDefaultDpi;

    const auto& c = ctx.cinfo;
    const bool jfifDensity =
        c.saw_JFIF_marker && (c.density_unit == 1 || c.density_unit == 2) && c.X_density > 0 && c.Y_density > 0;
    if (jfifDensity) {
        const float factor = c.density_unit == 2 ? 2.54f : 1.0f;
        header.dpiX = c.X_density * factor;
        header.dpiY = c.Y_density * factor;
        header.flags |= ImageFlagsHasRealDPI;
    }
    bool resolutionRead = jfifDensity, orientationRead = false;
    for (jpeg_saved_marker_ptr m = c.marker_list; m && !(resolutionRead && orientationRead); m = m->next) {
        if (m->marker != JPEG_APP0 + 1) continue;
        ExifFirstIfd ifd(m->data, m->data_length);
        float x = 0, y = 0;
        if (!resolutionRead && ifd.Read(x, y)) {
            header.dpiX = x;
            header.dpiY = y;
            header.flags |= ImageFlagsHasRealDPI;
            resolutionRead = true;
        }
        // The first Exif block says how the picture stands, as every other reader takes it.
        if (!orientationRead && ifd.IsExif()) {
            header.orientation = ifd.Orientation();
            orientationRead = true;
        }
    }
    return DecodeResult::Success();
}

DecodeResult ReadJpegQuantTables(const ByteReader& file, JpegQuantTables& tables) {
    tables = {};
    JpegContext ctx(file);
    if (!ReadHeader(ctx, false)) return LibraryFailure(ctx);
    for (size_t t = 0; t < tables.size(); ++t) {
        const JQUANT_TBL* table = ctx.cinfo.quant_tbl_ptrs[t];
        if (!table) continue;
        JpegQuantTable& values = tables[t].emplace();
        for (size_t i = 0; i < values.size(); ++i) values[i] = table->quantval[i];
    }
    return DecodeResult::Success();
}

DecodeResult DecodeJpeg(const ByteReader& file, int32_t scaleEighths, PixelBuffer& pixels) {
    pixels = PixelBuffer{};
    JpegContext ctx(file);
    if (!ReadHeader(ctx, false)) return LibraryFailure(ctx);
    Layout layout;
    if (!LayoutOf(ctx.cinfo, layout))
        return DecodeResult::Failure(Status::InvalidParameter, "The JPEG file has an unsupported colour layout");
    if (auto limit = CheckPixelLimit(ctx.cinfo.image_width, ctx.cinfo.image_height); !limit.ok()) return limit;
    const std::unique_ptr<CmykToSrgb> converter = ProfileConverter(ctx, layout);
    if (converter) layout.format = PixelFormat24bppRGB;

    ctx.cinfo.out_color_space = converter ? JCS_CMYK : layout.output;
    ctx.cinfo.scale_num = static_cast<unsigned>(std::clamp(scaleEighths, 1, 8));
    ctx.cinfo.scale_denom = 8;
    ctx.cinfo.dct_method = JDCT_ISLOW;
    jpeg_calc_output_dimensions(&ctx.cinfo);
    const uint64_t coefficients = WholeImageCoefficientBytes(&ctx.cinfo);
    if (auto limit = CheckDecodeMemory(ctx.cinfo.output_width, ctx.cinfo.output_height, layout.format, 0, coefficients);
        !limit.ok())
        return limit;
    // libjpeg may use no more than that: a file whose scans would need more fails instead of
    // allocating it.
    ctx.cinfo.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(coefficients + kLibraryWorkingBytes, LONG_MAX));
    // Every row is written below (missing data reads as grey), so the memory is not cleared first.
    if (!AllocatePixels(pixels, static_cast<int32_t>(ctx.cinfo.output_width),
                        static_cast<int32_t>(ctx.cinfo.output_height), layout.format, false))
        return DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to decode the JPEG image");
    std::vector<JSAMPLE> cmykRow(converter ? 4 * static_cast<size_t>(ctx.cinfo.output_width) : 0);
    if (!ReadRows(ctx, pixels, converter.get(), cmykRow.data())) {
        pixels = PixelBuffer{};
        return LibraryFailure(ctx);
    }
    if (Incomplete(ctx)) {
        pixels = PixelBuffer{};
        return DamageFailure(ctx);
    }
    // Adobe's CMYK files store the inks inverted (255 is no ink); bitmaps hold 0 as no ink.
    if (layout.format == PixelFormat32bppCMYK && ctx.cinfo.saw_Adobe_marker) {
        for (int32_t y = 0; y < pixels.height; ++y) {
            uint8_t* row = pixels.Row(y);
            for (int32_t i = 0; i < 4 * pixels.width; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
        }
    }
    return DecodeResult::Success();
}

}  // namespace kv

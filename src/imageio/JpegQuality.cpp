#include "imageio/JpegQuality.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>

#include <jpeglib.h>

#include "imageio/Bitmap.h"
#include "imageio/BitmapState.h"

namespace kv {

namespace {

// The JPEG standard's example tables for luminance and chrominance, taken from the library: at
// quality 50 it scales them by exactly 100 %.
struct StandardTables {
    JpegQuantTable luminance{};
    JpegQuantTable chrominance{};
    bool valid = false;
};

struct QuietErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void JumpOnError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<QuietErrors*>(cinfo->err)->jump, 1); }

// Fills the tables from a compressor set to quality 50; false after a library error. Only plain
// values live in this frame.
bool ReadStandardTables(jpeg_compress_struct& cinfo, QuietErrors& errors, StandardTables& tables) {
    if (setjmp(errors.jump)) return false;
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 50, FALSE);
    if (!cinfo.quant_tbl_ptrs[0] || !cinfo.quant_tbl_ptrs[1]) return false;
    for (int i = 0; i < DCTSIZE2; ++i) {
        tables.luminance[static_cast<size_t>(i)] = cinfo.quant_tbl_ptrs[0]->quantval[i];
        tables.chrominance[static_cast<size_t>(i)] = cinfo.quant_tbl_ptrs[1]->quantval[i];
    }
    return true;
}

const StandardTables& Standard() {
    static StandardTables tables;
    static std::once_flag once;
    std::call_once(once, [] {
        jpeg_compress_struct cinfo{};
        QuietErrors errors{};
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = JumpOnError;
        tables.valid = ReadStandardTables(cinfo, errors, tables);
        jpeg_destroy_compress(&cinfo);
    });
    return tables;
}

// How far a file's table lies from a standard table scaled as the library scales it for a quality:
// the percentage of jpeg_quality_scaling, rounded, at least 1, and held at 255 where the writer
// kept to baseline files or at 32767 where it did not (the nearer of the two counts).
uint64_t Distance(const JpegQuantTable& file, const JpegQuantTable& standard, int scale) {
    uint64_t baseline = 0, extended = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        const long scaled = std::clamp<long>((static_cast<long>(standard[i]) * scale + 50) / 100, 1, 32767);
        const long value = file[i];
        baseline += static_cast<uint64_t>(std::labs(value - std::min<long>(scaled, 255)));
        extended += static_cast<uint64_t>(std::labs(value - scaled));
    }
    return std::min(baseline, extended);
}

}  // namespace

std::optional<int32_t> EstimateJpegQuality(const JpegQuantTables& tables) {
    const StandardTables& standard = Standard();
    if (!standard.valid || !tables[0]) return std::nullopt;
    int32_t best = 0;
    uint64_t bestDistance = std::numeric_limits<uint64_t>::max();
    // From the highest quality down: of two qualities that fit equally (the lowest ones, where
    // every entry is held at its limit), the higher one is the one a writer would be asked for.
    for (int32_t quality = 100; quality >= 1; --quality) {
        const int scale = jpeg_quality_scaling(quality);
        uint64_t distance = Distance(*tables[0], standard.luminance, scale);
        if (tables[1]) distance += Distance(*tables[1], standard.chrominance, scale);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = quality;
        }
    }
    return best;
}

std::optional<int32_t> EstimateJpegQuality(Bitmap& bitmap) {
    BitmapState& state = bitmap.state();
    if (!state.source || state.header.format != ImageFormat::Jpeg) return std::nullopt;
    JpegQuantTables tables;
    if (!ReadJpegQuantTables(*state.source, tables).ok()) return std::nullopt;
    return EstimateJpegQuality(tables);
}

}  // namespace kv

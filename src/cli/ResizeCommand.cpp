#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "engine/Progress.h"
#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"

namespace kv::cli {

namespace {

enum class Correction { Keep, Crop, None };

struct ResizeRequest {
    std::filesystem::path input;
    std::filesystem::path output;
    int32_t width = 0;  // 0: the image's own size
    int32_t height = 0;
    ResizeAlgorithm algorithm = kDefaultResizeAlgorithm;
    Correction correction = Correction::Keep;
    double dpi = 0;  // 0: the image's own resolution
    int32_t quality = 75;
};

// The encoder of an output path, chosen by its extension as the save command chooses it.
std::string_view MimeTypeForPath(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    if (ext == ".JPG") return "image/jpeg";
    if (ext == ".BMP") return "image/bmp";
    if (ext == ".GIF") return "image/gif";
    if (ext == ".TIF") return "image/tiff";
    if (ext == ".PNG") return "image/png";
    return {};
}

ResizeRequest ParseResize(Arguments& args) {
    ResizeRequest r;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (word == "-o" || word == "--output") {
            r.output = std::string(args.TakeValue(word));
        } else if (word == "--size") {
            std::tie(r.width, r.height) = ParseSize(args.TakeValue(word), word);
        } else if (word == "--algorithm") {
            r.algorithm = ParseInt(args.TakeValue(word), word, 0, kResizeAlgorithmCount - 1);
        } else if (word == "--correction") {
            const std::string_view v = args.TakeValue(word);
            if (v == "keep") r.correction = Correction::Keep;
            else if (v == "crop") r.correction = Correction::Crop;
            else if (v == "none") r.correction = Correction::None;
            else throw UsageError{"--correction takes keep, crop or none"};
        } else if (word == "--dpi") {
            r.dpi = ParseDouble(args.TakeValue(word), word, 1, 65535);
        } else if (word == "--quality") {
            r.quality = ParseInt(args.TakeValue(word), word, 0, 100);
        } else if (!word.empty() && word[0] == '-' && word.size() > 1) {
            throw UsageError{"unknown option " + std::string(word)};
        } else if (r.input.empty()) {
            r.input = std::string(word);
        } else {
            throw UsageError{"more than one input image"};
        }
    }
    if (r.input.empty()) throw UsageError{"resize needs an input image"};
    if (r.output.empty()) throw UsageError{"resize needs -o OUT"};
    if (MimeTypeForPath(r.output).empty())
        throw UsageError{"the output " + r.output.string() + " has no image extension (.jpg, .tif, .bmp, .gif, .png)"};
    return r;
}

// The box of --size honoured with Keep aspect: the largest size of the image's aspect inside it.
std::pair<int32_t, int32_t> FitInside(int32_t boxWidth, int32_t boxHeight, int32_t width, int32_t height) {
    const double scale = std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
    return {std::max(1, static_cast<int32_t>(std::lround(width * scale))),
            std::max(1, static_cast<int32_t>(std::lround(height * scale)))};
}

bool IsResolutionTag(uint32_t id) {
    switch (id) {
        case PropertyTag::XResolution:
        case PropertyTag::YResolution:
        case PropertyTag::ResolutionUnit:
        case PropertyTag::ResolutionXUnit:
        case PropertyTag::ResolutionYUnit:
        case PropertyTag::ResolutionXLengthUnit:
        case PropertyTag::ResolutionYLengthUnit:
            return true;
        default:
            return false;
    }
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kvscale: %s\n", message.c_str());
    return kExitFailed;
}

}  // namespace

int RunResize(Arguments& args) {
    const ResizeRequest request = ParseResize(args);
    std::unique_ptr<Bitmap> source = Bitmap::FromFile(request.input);
    if (source->GetLastStatus() != Status::Ok || source->GetPixelFormat() == PixelFormatUndefined)
        return Fail("cannot open " + request.input.string() + ": " + source->GetLastErrorMessage());

    const int32_t imageWidth = source->GetWidth();
    const int32_t imageHeight = source->GetHeight();
    int32_t width = request.width ? request.width : imageWidth;
    int32_t height = request.height ? request.height : imageHeight;
    if (request.width && request.correction == Correction::Keep)
        std::tie(width, height) = FitInside(request.width, request.height, imageWidth, imageHeight);

    std::unique_ptr<Bitmap> result;
    if (width == imageWidth && height == imageHeight) {
        result = source->Clone(source->GetPixelFormat());
        if (!result) return Fail("cannot read " + request.input.string() + ": " + source->GetLastErrorMessage());
    } else {
        result = std::make_unique<Bitmap>(width, height, PixelFormat24bppRGB);
        if (result->GetLastStatus() != Status::Ok) return Fail("not enough memory for a " + std::to_string(width) + "x" + std::to_string(height) + " image");
        CancelRequested.store(0);
        TerminalProgress progress;
        if (!ResizeBitmap(*source, *result, request.algorithm, request.correction == Correction::Crop, &progress)) {
            const std::string reason = OutOfMemoryFlag.load() ? "not enough memory" : source->GetLastErrorMessage();
            return Fail("cannot resize " + request.input.string() + (reason.empty() ? "" : ": " + reason));
        }
    }

    for (const PropertyItem& item : source->GetAllPropertyItems())
        if (!IsResolutionTag(item.id)) result->SetPropertyItem(item);
    const float dpi = request.dpi > 0 ? static_cast<float>(request.dpi) : source->GetHorizontalResolution();
    result->SetResolution(dpi, dpi);
    if (result->Save(request.output, MimeTypeForPath(request.output), request.quality) != Status::Ok)
        return Fail("cannot save " + request.output.string() + ": " + result->GetLastErrorMessage());
    return kExitOk;
}

}  // namespace kv::cli

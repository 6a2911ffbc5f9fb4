#include "app/OutputSizeRules.h"

#include "app/ImageFactsReader.h"
#include "app/SizeArithmetic.h"

namespace kv {

namespace {

// A size in percent of the image, rounded to whole pixels. Like every other size the bar makes, it
// is held to at least 3 pixels: a tiny percentage of a small image would otherwise ask for an
// output of one pixel or none, which no resize can produce.
int32_t PercentOf(int32_t imageSide, double percent) { return TruncPixels(imageSide * percent / 100.0 + 0.5); }

}  // namespace

void ApplyOpenRule(ResizeSettings& settings, const ImageFacts& image) {
    if (!image.HasPixels()) return;
    if (settings.batchMode && settings.openingFromBatchList) return;
    const bool keep = settings.batchMode ? settings.applyToNew : settings.lockSettings;
    if (!keep) {
        settings.width = image.width;
        settings.height = image.height;
        // A file without a usable resolution leaves the current one in force.
        if (IsUsableDpi(image.dpiX)) settings.dpi = image.dpiX;
        return;
    }
    if (settings.correction == SizeCorrection::KeepAspect) settings.correction = SizeCorrection::Crop;
    if (settings.inPercents && settings.percentWidth > 0 && settings.percentHeight > 0) {
        settings.width = PercentOf(image.width, settings.percentWidth);
        settings.height = PercentOf(image.height, settings.percentHeight);
    }
}

void StampSize(const ResizeSettings& settings, const std::optional<ImageFacts>& image, StampSource source,
               StampedSettings& item) {
    const bool opened = image && image->HasPixels();
    if (source == StampSource::ImageOwnSize) {
        if (opened) {
            item.width = image->width;
            item.height = image->height;
            if (IsUsableDpi(image->dpiX)) item.dpi = image->dpiX;
        }
    } else {
        if (settings.inPercents && settings.percentWidth > 0 && settings.percentHeight > 0) {
            // A file that did not open has no size to take a percentage of; its item keeps 0 x 0,
            // which the batch run reports as an output it cannot create.
            item.width = opened ? PercentOf(image->width, settings.percentWidth) : 0;
            item.height = opened ? PercentOf(image->height, settings.percentHeight) : 0;
        } else if (!opened || settings.correction != SizeCorrection::KeepAspect) {
            item.width = settings.width;
            item.height = settings.height;
        } else {
            const PixelSize fitted = FitToImage(PixelSize{settings.width, settings.height}, image->width, image->height);
            item.width = ClampPixels(fitted.width);
            item.height = ClampPixels(fitted.height);
        }
        item.dpi = settings.dpi;
    }
    item.algorithm = settings.algorithm;
    item.correction = settings.correction;
}

void StampSize(const ResizeSettings& settings, const std::filesystem::path& image, StampSource source,
               StampedSettings& item) {
    StampSize(settings, ReadImageFacts(image), source, item);
}

}  // namespace kv

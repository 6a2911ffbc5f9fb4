// The settings bar's three preset menus: the screen and device sizes, the papers and the
// resolutions, and what choosing an entry does.
#include "app/ResizeBarPresenter.h"

namespace kv {

std::vector<MenuItem> ResizeBarPresenter::MenuItems(PresetMenu menu) const {
    std::vector<MenuItem> items;
    const auto add = [&](std::string_view label, bool enabled) {
        items.push_back({std::string(label), label.empty(), enabled});
    };
    switch (menu) {
        case PresetMenu::Sizes:
            for (const SizePreset& preset : kSizePresets) add(preset.label, true);
            break;
        case PresetMenu::Papers:
            for (std::string_view label : kPaperPresets) add(label, true);
            break;
        case PresetMenu::Resolutions: {
            const std::optional<int> printerDpi = printer_ ? printer_->DefaultPrinterDpi() : std::nullopt;
            for (std::string_view label : kResolutionPresets) {
                bool enabled = true;
                if (label == kDefaultPrinterLabel) enabled = printerDpi && IsUsableDpi(*printerDpi);
                if (label == kOriginalResolutionLabel) enabled = imageOpen_;
                add(label, enabled);
            }
            break;
        }
    }
    for (MenuItem& item : items)
        if (item.separator) item.enabled = false;
    return items;
}

void ResizeBarPresenter::OnMenuItem(PresetMenu menu, size_t position) {
    EndTyping();
    switch (menu) {
        case PresetMenu::Sizes: {
            if (position >= kSizePresets.size() || kSizePresets[position].label.empty()) return;
            const SizePreset& preset = kSizePresets[position];
            if (preset.label == kOriginalSizeLabel) ChooseOriginalSize();
            else ChooseSizePreset({preset.width, preset.height});
            return;
        }
        case PresetMenu::Papers: {
            if (position >= kPaperPresets.size()) return;
            if (const std::optional<PaperSize> paper = ParsePaperLabel(kPaperPresets[position])) ChoosePaper(*paper);
            return;
        }
        case PresetMenu::Resolutions: {
            if (position >= kResolutionPresets.size() || kResolutionPresets[position].empty()) return;
            const std::string_view label = kResolutionPresets[position];
            std::optional<double> dpi;
            if (label == kDefaultPrinterLabel) {
                // Without a reachable printer the entry does nothing at all.
                const std::optional<int> printerDpi = printer_ ? printer_->DefaultPrinterDpi() : std::nullopt;
                if (!printerDpi || !IsUsableDpi(*printerDpi)) return;
                dpi = *printerDpi;
            } else if (label == kOriginalResolutionLabel) {
                // Without an image, or with an image that names no usable resolution, the
                // resolution stays and the pixel size is worked out again all the same.
                dpi = imageOpen_ && IsUsableDpi(image_.dpiX) ? image_.dpiX : settings_.dpi;
            } else {
                dpi = ParseResolutionLabel(label);
                if (!dpi) return;
            }
            SetResolution(static_cast<float>(*dpi), true);
            Notify();
            return;
        }
    }
}

void ResizeBarPresenter::ChooseSizePreset(PixelSize box) {
    EndTyping();
    if (imageOpen_ && settings_.correction == SizeCorrection::KeepAspect)
        box = FitToImage(box, image_.width, image_.height);
    settings_.width = ClampPixels(box.width);
    settings_.height = ClampPixels(box.height);
    CommitSize();
}

void ResizeBarPresenter::ChooseOriginalSize() {
    EndTyping();
    if (!imageOpen_) return;
    settings_.width = image_.width;
    settings_.height = image_.height;
    CommitSize();
}

void ResizeBarPresenter::ChoosePaper(const PaperSize& label) {
    EndTyping();
    PrintSize paper{label.width, label.height};
    // The paper turns to the image open, or else to the image last shown. Before any image was
    // shown it stays as its label writes it.
    if (imageShown_) {
        const bool portrait = image_.height >= image_.width;
        if (portrait ? paper.width > paper.height : paper.width < paper.height) std::swap(paper.width, paper.height);
    }
    if (imageOpen_ && settings_.correction == SizeCorrection::KeepAspect)
        paper = FitToImage(paper, image_.width, image_.height);
    const PaperSize chosen{paper.width, paper.height, label.unit};
    const double inchWidth = chosen.WidthInches();
    const double inchHeight = chosen.HeightInches();
    // Held to 3 pixels like every other size of the bar: a narrow paper fitted to a wide image at
    // a low resolution would otherwise ask for an output no resize can make.
    settings_.width = TruncPixels(inchWidth * settings_.dpi);
    settings_.height = TruncPixels(inchHeight * settings_.dpi);
    // The print fields show the paper as chosen, not rounded to the pixels.
    const double perInch = Info(settings_.printUnit).perInch;
    CommitSize(PrintSize{inchWidth * perInch, inchHeight * perInch});
}

}  // namespace kv

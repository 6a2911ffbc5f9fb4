#include "app/ResizeBarPresenter.h"

#include <cmath>

namespace kv {

using namespace ResizeBarControl;

namespace {

bool IsPixelField(int id) { return id == IDC_OUT_WIDTH || id == IDC_OUT_HEIGHT; }
bool IsPrintField(int id) { return id == IDC_OUT_PRNWIDTH || id == IDC_OUT_PRNHEIGHT; }
bool IsField(int id) { return IsPixelField(id) || IsPrintField(id) || id == IDC_OUT_RES; }

std::string RawSizeText(int64_t bytes) { return "Raw size: " + FormatByteSize(bytes > 0 ? bytes : 0); }

std::string Pair(double a, double b, int precision, std::string_view unit) {
    return FormatFixed(a, precision) + "x" + FormatFixed(b, precision) + " " + std::string(unit);
}

}  // namespace

class ResizeBarPresenter::Updating {
public:
    explicit Updating(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~Updating() { flag_ = old_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    bool& flag_;
    bool old_;
};

ResizeBarPresenter::ResizeBarPresenter(ResizeSettings& settings) : settings_(settings) { Refresh(); }

// ---- Operations of the rest of the program ----

void ResizeBarPresenter::SetDocument(IResizeDocument* document) {
    document_ = document;
    Refresh();
    Notify();
}

void ResizeBarPresenter::OnBatchModeChanged() {
    // The check box text, its check and the visibility of "Apply to All" follow the record's mode.
    Refresh();
    Notify();
}

void ResizeBarPresenter::ApplyToAll() {
    if (stamping_) stamping_->StampAll();
}

void ResizeBarPresenter::Refresh() {
    const std::optional<ImageFacts> facts = document_ ? document_->OpenImageFacts() : std::nullopt;
    imageOpen_ = facts && facts->HasPixels();
    if (imageOpen_) {
        image_ = *facts;
        imageShown_ = true;
    }
    WriteOriginalTexts();
    WriteText(IDC_PRNWIDTH_UNIT, std::string(Info(settings_.printUnit).label));
    WriteText(IDC_PRNHEIGHT_UNIT, std::string(Info(settings_.printUnit).label));
    WriteText(IDC_RES_UNIT, std::string(Info(settings_.resolutionUnit).label));
    {
        Updating updating(updating_);
        WritePixelFields();
        WritePrintFields();
        WriteResolutionField();
    }
    if (listener_) listener_->RefreshNavigator();
    WriteText(IDC_NEW_RAWSIZE,
              imageOpen_ ? RawSizeText(int64_t{settings_.width} * settings_.height * 3) : std::string{});
}

void ResizeBarPresenter::WriteOriginalTexts() {
    if (!imageOpen_) {
        for (int id : {IDC_ORIG_PIXELS, IDC_ORIG_BITS, IDC_ORIG_RAWSIZE, IDC_ORIG_PRINTSIZE, IDC_ORIG_RES})
            WriteText(id, {});
        return;
    }
    const int32_t bits = image_.BitsPerPixel();
    WriteText(IDC_ORIG_PIXELS, std::to_string(image_.width) + "x" + std::to_string(image_.height) + " pixels");
    WriteText(IDC_ORIG_BITS, std::to_string(bits) + " bits per pixel");
    WriteText(IDC_ORIG_RAWSIZE, RawSizeText(int64_t{bits} * image_.width * image_.height / 8));

    const double r = image_.dpiX;
    if (!(std::isfinite(r) && r > 0)) {
        WriteText(IDC_ORIG_PRINTSIZE, {});
        WriteText(IDC_ORIG_RES, {});
        return;
    }
    const PrintUnitInfo& print = Info(settings_.printUnit);
    WriteText(IDC_ORIG_PRINTSIZE, Pair(image_.width * print.perInch / r, image_.height * print.perInch / r,
                                       print.imageSizeDecimals, print.imageSizeWord));
    const ResolutionUnitInfo& resolution = Info(settings_.resolutionUnit);
    WriteText(IDC_ORIG_RES,
              FormatFixed(r / resolution.dpiFactor, resolution.imageDecimals) + " " + std::string(resolution.label));
}

void ResizeBarPresenter::SettingsChanged() {
    WriteText(IDC_NEW_RAWSIZE, RawSizeText(int64_t{settings_.width} * settings_.height * 3));
    if (settings_.batchMode && stamping_) stamping_->StampSelected();
    if (document_) document_->OnSettingsChanged();
}

void ResizeBarPresenter::Notify() {
    if (!listener_) return;
    // The window writes the texts into its controls now; it must not feed them back as edits.
    Updating updating(updating_);
    listener_->OnBarStateChanged();
}

// ---- Field edits ----

bool ResizeBarPresenter::OnTextChanged(int fieldId, std::string_view text) {
    if (!IsField(fieldId) || updating_ || !IsEnabled(fieldId)) return false;
    texts_[fieldId] = std::string(text);
    bool accepted = false;
    if (IsPixelField(fieldId)) accepted = OnPixelFieldChanged(fieldId == IDC_OUT_WIDTH);
    else if (IsPrintField(fieldId)) accepted = OnPrintFieldChanged(fieldId == IDC_OUT_PRNWIDTH);
    else accepted = OnResolutionChanged();
    Notify();
    return accepted;
}

bool ResizeBarPresenter::OnPixelFieldChanged(bool widthEdited) {
    bool accepted = false;
    const auto read = [&](int id, int32_t imageSide, int32_t& pixels, double& percent) {
        const std::string& text = texts_[id];
        bool ok = false;
        if (!settings_.inPercents) {
            const std::optional<uint32_t> value = ParseUnsigned(text);
            if (value && PixelRange().Contains(*value)) {
                pixels = static_cast<int32_t>(*value);
                ok = true;
            }
        } else if (imageOpen_) {
            const std::optional<double> value = ParseDecimal(text);
            if (value && PercentRange(imageSide).Contains(*value)) {
                percent = *value;
                pixels = TruncPixels(*value * imageSide / 100.0);
                ok = true;
            }
        }
        if (ok && (id == IDC_OUT_WIDTH) == widthEdited) accepted = true;
    };
    read(IDC_OUT_WIDTH, image_.width, settings_.width, settings_.percentWidth);
    read(IDC_OUT_HEIGHT, image_.height, settings_.height, settings_.percentHeight);

    LinkAspect(widthEdited);
    {
        Updating updating(updating_);
        WritePrintFields();
        if (settings_.inPercents && settings_.correction == SizeCorrection::KeepAspect) {
            const int edited = widthEdited ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT;
            texts_[widthEdited ? IDC_OUT_HEIGHT : IDC_OUT_WIDTH] = texts_[edited];
        }
    }
    SettingsChanged();
    return accepted;
}

bool ResizeBarPresenter::OnPrintFieldChanged(bool widthEdited) {
    if (!imageOpen_) return false;
    const ValueRange range = PrintRange(settings_.dpi, settings_.printUnit);
    const double perInch = Info(settings_.printUnit).perInch;
    bool accepted = false;
    for (const bool width : {true, false}) {
        const std::optional<double> value = ParseDecimal(texts_[width ? IDC_OUT_PRNWIDTH : IDC_OUT_PRNHEIGHT]);
        if (!value || !range.Contains(*value)) continue;
        (width ? settings_.width : settings_.height) = TruncPixels(settings_.dpi * *value / perInch);
        if (width == widthEdited) accepted = true;
    }
    LinkAspect(widthEdited);
    {
        Updating updating(updating_);
        WritePixelFields();
    }
    SettingsChanged();
    return accepted;
}

void ResizeBarPresenter::LinkAspect(bool fromWidth) {
    if (settings_.correction != SizeCorrection::KeepAspect || !imageOpen_) return;
    Updating updating(updating_);
    if (fromWidth) {
        settings_.height = LinkedSide(settings_.width, image_.width, image_.height);
    } else {
        settings_.width = LinkedSide(settings_.height, image_.height, image_.width);
    }
    WritePixelField(!fromWidth);
    WritePrintField(!fromWidth);
}

bool ResizeBarPresenter::OnResolutionChanged() {
    const std::optional<double> value = ParseDecimal(texts_[IDC_OUT_RES]);
    if (!value || !ResolutionRange(settings_.resolutionUnit).Contains(*value)) return false;
    // The field keeps what the user is typing.
    SetResolution(static_cast<float>(*value * Info(settings_.resolutionUnit).dpiFactor), false);
    return true;
}

void ResizeBarPresenter::SetResolution(float dpi, bool showInField) {
    const float old = settings_.dpi;
    settings_.dpi = dpi;
    {
        Updating updating(updating_);
        if (showInField) WriteResolutionField();
        if (settings_.editPrints) {
            WritePrintFields();
        } else {
            // The print size stays: the pixel size follows the resolution.
            const double ratio = static_cast<double>(dpi) / old;
            settings_.width = TruncPixels(settings_.width * ratio + 0.5);
            settings_.height = TruncPixels(settings_.height * ratio + 0.5);
            WritePixelFields();
        }
    }
    // The resolution is part of what a batch item carries, so the selected items are stamped
    // again even when only the print size moved.
    SettingsChanged();
}

void ResizeBarPresenter::OnFieldLeft(int fieldId) {
    if (!IsPixelField(fieldId) && !IsPrintField(fieldId)) return;
    {
        Updating updating(updating_);
        if (IsPixelField(fieldId)) WritePixelField(fieldId == IDC_OUT_WIDTH);
        else WritePrintField(fieldId == IDC_OUT_PRNWIDTH);
    }
    Notify();
}

// ---- Spin buttons ----

std::optional<ValueRange> ResizeBarPresenter::FieldRange(int fieldId) const {
    if (IsPixelField(fieldId)) {
        if (!settings_.inPercents) return PixelRange();
        if (!imageOpen_) return PercentRange(std::nullopt);
        return PercentRange(fieldId == IDC_OUT_WIDTH ? image_.width : image_.height);
    }
    if (IsPrintField(fieldId)) return PrintRange(settings_.dpi, settings_.printUnit);
    if (fieldId == IDC_OUT_RES) return ResolutionRange(settings_.resolutionUnit);
    return std::nullopt;
}

void ResizeBarPresenter::OnSpin(int controlId, int steps) {
    const int fieldId = SpinButtonField(controlId).value_or(controlId);
    const std::optional<ValueRange> range = FieldRange(fieldId);
    if (!range || updating_ || !IsEnabled(fieldId)) return;
    const double value = range->Clamp(LeadingNumber(texts_[fieldId]) + steps);
    // Keeps the preview from restarting on every step; the release or the timer runs the change.
    if (document_) document_->SetAdjusting(true);
    OnTextChanged(fieldId, FormatG(value));
}

void ResizeBarPresenter::OnSpinReleased() {
    if (document_) document_->SetAdjusting(false);
    SettingsChanged();
    Notify();
}

void ResizeBarPresenter::OnTimer(bool keyOrButtonDown) {
    if (!document_ || keyOrButtonDown || !document_->IsAdjusting()) return;
    document_->SetAdjusting(false);
    SettingsChanged();
    Notify();
}

// ---- Selectors, radio buttons, check box ----

void ResizeBarPresenter::OnSelect(int selectorId, int index) {
    const std::vector<std::string_view> items = SelectorItems(selectorId);
    if (index < 0 || static_cast<size_t>(index) >= items.size()) return;
    switch (selectorId) {
        case IDC_OUT_UNIT: {
            settings_.inPercents = index == 1;
            Updating updating(updating_);
            WritePixelFields();
            break;
        }
        case IDC_UNITS_SIZE:
        case IDC_UNITS_RES:
            // Without an image the units stay as they are, and so does the selector.
            if (!imageOpen_) break;
            if (selectorId == IDC_UNITS_SIZE) settings_.printUnit = ValidPrintUnit(index);
            else settings_.resolutionUnit = ValidResolutionUnit(index);
            Refresh();
            break;
        case IDC_CORRECTION: {
            settings_.correction = ValidSizeCorrection(index);
            if (settings_.correction == SizeCorrection::KeepAspect && imageOpen_) {
                const PixelSize fitted = FitToImage(PixelSize{settings_.width, settings_.height}, image_.width, image_.height);
                settings_.width = ClampPixels(fitted.width);
                settings_.height = ClampPixels(fitted.height);
            }
            {
                Updating updating(updating_);
                WritePixelFields();
                WritePrintFields();
            }
            SettingsChanged();
            break;
        }
        case IDC_ALGORITHM:
            settings_.algorithm = ValidResizeAlgorithm(index);
            SettingsChanged();
            break;
        default: return;
    }
    Notify();
}

void ResizeBarPresenter::OnEditPrints(bool editPrints) {
    settings_.editPrints = editPrints;
    Notify();
}

void ResizeBarPresenter::OnCheckBox(bool checked) {
    (settings_.batchMode ? settings_.applyToNew : settings_.lockSettings) = checked;
    Notify();
}

// ---- Preset menus ----

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
    if (imageOpen_ && settings_.correction == SizeCorrection::KeepAspect)
        box = FitToImage(box, image_.width, image_.height);
    settings_.width = ClampPixels(box.width);
    settings_.height = ClampPixels(box.height);
    {
        Updating updating(updating_);
        WritePixelFields();
        WritePrintFields();
    }
    SettingsChanged();
    Notify();
}

void ResizeBarPresenter::ChooseOriginalSize() {
    if (!imageOpen_) return;
    settings_.width = image_.width;
    settings_.height = image_.height;
    {
        Updating updating(updating_);
        WritePixelFields();
        WritePrintFields();
    }
    SettingsChanged();
    Notify();
}

void ResizeBarPresenter::ChoosePaper(const PaperSize& label) {
    PrintSize paper{label.width, label.height};
    // The paper turns to the image open, or else to the image last shown. Before any image was
    // shown it stays as its label writes it.
    if (imageShown_) {
        const bool portrait = image_.height >= image_.width;
        if (portrait ? paper.width > paper.height : paper.width < paper.height) std::swap(paper.width, paper.height);
    }
    if (imageOpen_ && settings_.correction == SizeCorrection::KeepAspect)
        paper = FitToImage(paper, image_.width, image_.height);
    const PaperSize chosen{paper.width, paper.height, label.millimetres};
    const double inchWidth = chosen.WidthInches();
    const double inchHeight = chosen.HeightInches();
    // Held to 3 pixels like every other size of the bar: a narrow paper fitted to a wide image at
    // a low resolution would otherwise ask for an output no resize can make.
    settings_.width = TruncPixels(inchWidth * settings_.dpi);
    settings_.height = TruncPixels(inchHeight * settings_.dpi);
    {
        Updating updating(updating_);
        WritePixelFields();
        const double perInch = Info(settings_.printUnit).perInch;
        WriteText(IDC_OUT_PRNWIDTH, FormatG(inchWidth * perInch));
        WriteText(IDC_OUT_PRNHEIGHT, FormatG(inchHeight * perInch));
    }
    SettingsChanged();
    Notify();
}

// ---- Field texts ----

void ResizeBarPresenter::WriteText(int controlId, std::string text) { texts_[controlId] = std::move(text); }

void ResizeBarPresenter::WritePixelField(bool width) {
    const int id = width ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT;
    const int32_t pixels = width ? settings_.width : settings_.height;
    double& percent = width ? settings_.percentWidth : settings_.percentHeight;
    if (!settings_.inPercents) {
        WriteText(id, std::to_string(pixels));
        return;
    }
    if (imageOpen_) {
        // The percent shown is the one stored, so that the field and the record agree.
        const int32_t imageSide = width ? image_.width : image_.height;
        percent = RoundToDecimals(pixels * 100.0 / imageSide, 2);
    }
    WriteText(id, FormatG(percent));
}

void ResizeBarPresenter::WritePixelFields() {
    WritePixelField(true);
    WritePixelField(false);
}

std::string ResizeBarPresenter::PrintFieldText(int32_t pixels) const {
    const double value = pixels * Info(settings_.printUnit).perInch / static_cast<double>(settings_.dpi);
    return FormatG(RoundToDecimals(value, 4));
}

void ResizeBarPresenter::WritePrintField(bool width) {
    const int id = width ? IDC_OUT_PRNWIDTH : IDC_OUT_PRNHEIGHT;
    WriteText(id, imageOpen_ ? PrintFieldText(width ? settings_.width : settings_.height) : std::string{});
}

void ResizeBarPresenter::WritePrintFields() {
    const bool empty = !imageOpen_ && settings_.inPercents;
    WriteText(IDC_OUT_PRNWIDTH, empty ? std::string{} : PrintFieldText(settings_.width));
    WriteText(IDC_OUT_PRNHEIGHT, empty ? std::string{} : PrintFieldText(settings_.height));
}

void ResizeBarPresenter::WriteResolutionField() {
    WriteText(IDC_OUT_RES, FormatG(RoundToDecimals(settings_.dpi / Info(settings_.resolutionUnit).dpiFactor, 2)));
}

// ---- What the window shows ----

std::string ResizeBarPresenter::Text(int controlId) const {
    if (controlId == IDC_LOCK_SETTINGS) return std::string(LockCheckBoxText(settings_.batchMode));
    if (const auto it = texts_.find(controlId); it != texts_.end()) return it->second;
    return std::string(ControlLabel(controlId));
}

bool ResizeBarPresenter::IsEnabled(int controlId) const {
    const int id = SpinButtonField(controlId).value_or(controlId);
    const bool followsImage =
        IsField(id) || id == IDC_OUT_UNIT || id == IDC_OUT_PREDIFINED || id == IDC_OUT_PRN_PREDIFINED;
    if (!followsImage) return true;
    if (!imageOpen_ && !settings_.batchMode) return false;
    // With an image open only one pair of size fields is editable; their spin buttons go with them.
    if (imageOpen_ && IsPixelField(id)) return !settings_.editPrints;
    if (imageOpen_ && IsPrintField(id)) return settings_.editPrints;
    return true;
}

bool ResizeBarPresenter::IsVisible(int controlId) const {
    return controlId != IDC_APPLY_TO_ALL || settings_.batchMode;
}

int ResizeBarPresenter::Selection(int selectorId) const {
    switch (selectorId) {
        case IDC_OUT_UNIT: return settings_.inPercents ? 1 : 0;
        case IDC_CORRECTION: return static_cast<int>(settings_.correction);
        case IDC_ALGORITHM: return settings_.algorithm;
        case IDC_UNITS_SIZE: return static_cast<int>(settings_.printUnit);
        case IDC_UNITS_RES: return static_cast<int>(settings_.resolutionUnit);
        default: return -1;
    }
}

bool ResizeBarPresenter::IsChecked(int controlId) const {
    switch (controlId) {
        case IDC_EDIT_PIXEL: return !settings_.editPrints;
        case IDC_EDIT_PRINT: return settings_.editPrints;
        case IDC_LOCK_SETTINGS: return settings_.batchMode ? settings_.applyToNew : settings_.lockSettings;
        default: return false;
    }
}

std::vector<std::string_view> ResizeBarPresenter::SelectorItems(int selectorId) const {
    std::vector<std::string_view> items;
    switch (selectorId) {
        case IDC_OUT_UNIT: items.assign(kOutputUnitTexts.begin(), kOutputUnitTexts.end()); break;
        case IDC_CORRECTION: items.assign(kSizeCorrectionTexts.begin(), kSizeCorrectionTexts.end()); break;
        case IDC_ALGORITHM:
            for (const ResizeAlgorithmInfo& algorithm : kResizeAlgorithms) items.push_back(algorithm.selectorText);
            break;
        case IDC_UNITS_SIZE:
            for (const PrintUnitInfo& unit : kPrintUnits) items.push_back(unit.selectorText);
            break;
        case IDC_UNITS_RES:
            for (const ResolutionUnitInfo& unit : kResolutionUnits) items.push_back(unit.selectorText);
            break;
        default: break;
    }
    return items;
}

std::string ResizeBarPresenter::Tooltip(int controlId) const { return ControlTooltip(controlId, settings_.batchMode); }

}  // namespace kv

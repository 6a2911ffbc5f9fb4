#include "app/ResizeBarPresenter.h"

#include "app/OriginalImageTexts.h"

namespace kv {

using namespace ResizeBarControl;

ResizeBarPresenter::ResizeBarPresenter(ResizeSettings& settings) : settings_(settings) { Refresh(); }

// ---- Operations of the rest of the program ----

void ResizeBarPresenter::SetDocument(IResizeDocument* document) {
    EndTyping();
    document_ = document;
    Refresh();
    Notify();
}

void ResizeBarPresenter::OnBatchModeChanged() {
    EndTyping();
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
    OriginalImageTexts original = DescribeOriginalImage(imageOpen_ ? std::optional(image_) : std::nullopt,
                                                        settings_.printUnit, settings_.resolutionUnit);
    WriteText(IDC_ORIG_PIXELS, std::move(original.pixels));
    WriteText(IDC_ORIG_BITS, std::move(original.bits));
    WriteText(IDC_ORIG_RAWSIZE, std::move(original.rawSize));
    WriteText(IDC_ORIG_PRINTSIZE, std::move(original.printSize));
    WriteText(IDC_ORIG_RES, std::move(original.resolution));
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

void ResizeBarPresenter::CommitSize(const std::optional<PrintSize>& printShown) {
    {
        Updating updating(updating_);
        WritePixelFields();
        if (printShown) {
            WriteText(IDC_OUT_PRNWIDTH, FormatG(printShown->width));
            WriteText(IDC_OUT_PRNHEIGHT, FormatG(printShown->height));
        } else {
            WritePrintFields();
        }
    }
    SettingsChanged();
    Notify();
}

void ResizeBarPresenter::WriteText(int controlId, std::string text) { texts_[controlId] = std::move(text); }

// ---- Selectors, radio buttons, check box ----

void ResizeBarPresenter::OnSelect(int selectorId, int index) {
    EndTyping();
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
        case IDC_CORRECTION:
            settings_.correction = ValidSizeCorrection(index);
            if (settings_.correction == SizeCorrection::KeepAspect && imageOpen_) {
                const PixelSize fitted =
                    FitToImage(PixelSize{settings_.width, settings_.height}, image_.width, image_.height);
                settings_.width = ClampPixels(fitted.width);
                settings_.height = ClampPixels(fitted.height);
            }
            CommitSize();
            return;
        case IDC_ALGORITHM:
            settings_.algorithm = ValidResizeAlgorithm(index);
            SettingsChanged();
            break;
        default: return;
    }
    Notify();
}

void ResizeBarPresenter::OnEditPrints(bool editPrints) {
    EndTyping();
    settings_.editPrints = editPrints;
    Notify();
}

void ResizeBarPresenter::OnCheckBox(bool checked) {
    EndTyping();
    (settings_.batchMode ? settings_.applyToNew : settings_.lockSettings) = checked;
    Notify();
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
        IsEditField(id) || id == IDC_OUT_UNIT || id == IDC_OUT_PREDIFINED || id == IDC_OUT_PRN_PREDIFINED;
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

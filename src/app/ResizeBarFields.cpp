// The settings bar's five fields: what typing into them and leaving them does to the record, and
// how each shows the record in its own form.
#include "app/ResizeBarPresenter.h"

namespace kv {

using namespace ResizeBarControl;

// ---- Typing ----

bool ResizeBarPresenter::OnTextChanged(int fieldId, std::string_view text) {
    if (!IsEditField(fieldId) || updating_ || !IsEnabled(fieldId)) return false;
    if (typing_ && typing_->fieldId == fieldId && typing_->after == settings_) {
        // The next key of the same value: the bar goes back to where the typing began, and the
        // field's whole text is applied from there.
        settings_ = typing_->before;
        texts_ = typing_->textsBefore;
    } else {
        typing_ = Typing{fieldId, settings_, texts_, {}};
    }
    const bool accepted = ApplyText(fieldId, text);
    if (typing_) typing_->after = settings_;
    return accepted;
}

bool ResizeBarPresenter::ApplyText(int fieldId, std::string_view text) {
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
        if ((id == IDC_OUT_WIDTH) != widthEdited && ShowsRecord(id)) return;
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
        } else if (id == (widthEdited ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT)) {
            // Without an open photo (batch mode) the percent is kept on its own: each photo stamped
            // with it takes its size from it, so the batch gets the percent the field shows.
            const std::optional<double> value = ParseDecimal(text);
            if (value && PercentRange(std::nullopt).Contains(*value)) {
                percent = *value;
                ok = true;
            }
        }
        if (ok && (id == IDC_OUT_WIDTH) == widthEdited) accepted = true;
    };
    read(IDC_OUT_WIDTH, image_.width, settings_.width, settings_.percentWidth);
    read(IDC_OUT_HEIGHT, image_.height, settings_.height, settings_.percentHeight);
    if (accepted && !imageOpen_ && settings_.correction == SizeCorrection::KeepAspect) {
        if (widthEdited) settings_.percentHeight = settings_.percentWidth;
        else settings_.percentWidth = settings_.percentHeight;
    }

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
        const int id = width ? IDC_OUT_PRNWIDTH : IDC_OUT_PRNHEIGHT;
        if (width != widthEdited && ShowsRecord(id)) continue;
        const std::optional<double> value = ParseDecimal(texts_[id]);
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
    EndTyping();
    if (!IsPixelField(fieldId) && !IsPrintField(fieldId)) return;
    {
        Updating updating(updating_);
        if (IsPixelField(fieldId)) WritePixelField(fieldId == IDC_OUT_WIDTH);
        else WritePrintField(fieldId == IDC_OUT_PRNWIDTH);
    }
    Notify();
}

// ---- What the fields show ----

bool ResizeBarPresenter::ShowsRecord(int fieldId) const {
    const auto it = texts_.find(fieldId);
    if (it == texts_.end()) return false;
    const bool width = fieldId == IDC_OUT_WIDTH || fieldId == IDC_OUT_PRNWIDTH;
    const int32_t pixels = width ? settings_.width : settings_.height;
    if (IsPrintField(fieldId)) return imageOpen_ && it->second == PrintFieldText(pixels);
    if (!settings_.inPercents) return it->second == std::to_string(pixels);
    if (!imageOpen_) return it->second == FormatG(width ? settings_.percentWidth : settings_.percentHeight);
    const int32_t imageSide = width ? image_.width : image_.height;
    return it->second == FormatG(RoundToDecimals(pixels * 100.0 / imageSide, 2));
}

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

}  // namespace kv

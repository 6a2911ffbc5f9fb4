// The settings bar's spin buttons. A step changes its field by one unit as if typed; while the
// user keeps stepping, the document's adjusting flag holds the preview back, and the release (or
// the bar's timer, should the release never arrive) runs the change once.
#include "app/ResizeBarPresenter.h"

namespace kv {

using namespace ResizeBarControl;

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
    // A step acts on the value the field shows now, whatever was typed before it.
    EndTyping();
    // Keeps the preview from restarting on every step; the release or the timer runs the change.
    if (document_) document_->SetAdjusting(true);
    ApplyText(fieldId, FormatG(value));
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

}  // namespace kv

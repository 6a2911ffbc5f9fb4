#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/IBatchStamping.h"
#include "app/IDefaultPrinter.h"
#include "app/IResizeBarListener.h"
#include "app/IResizeDocument.h"
#include "app/ImageFacts.h"
#include "app/PresetMenus.h"
#include "app/ResizeBarControls.h"
#include "app/ResizeSettings.h"
#include "app/SizeArithmetic.h"

namespace kv {

enum class PresetMenu { Sizes, Papers, Resolutions };

struct MenuItem {
    std::string label;
    bool separator = false;
    bool enabled = true;
    bool operator==(const MenuItem&) const = default;
};

// The resize settings bar without its window: it keeps the output size model's record and the
// bar's fields in step. The window forwards what the user does (texts typed, fields left, spin
// steps, choices, menu entries) and shows what the presenter holds whenever it is told that the
// state changed. The command-line tool drives it the same way, as a user acting on the bar.
//
// Every field shows the record in its own form: pixels or percent, print size in a print unit,
// resolution in a resolution unit. An accepted edit in one form is converted into the others at
// once; a rejected one is left as typed until the field is left, which shows the record again.
// Every completed change of the size, correction or algorithm runs "settings changed": the output
// raw size is shown again, in batch mode the selected batch items are stamped, and the document is
// told (it restarts its preview unless its adjusting flag is set by a spin button).
class ResizeBarPresenter {
public:
    explicit ResizeBarPresenter(ResizeSettings& settings);
    ResizeBarPresenter(const ResizeBarPresenter&) = delete;
    ResizeBarPresenter& operator=(const ResizeBarPresenter&) = delete;

    void SetListener(IResizeBarListener* listener) { listener_ = listener; }
    void SetBatchStamping(IBatchStamping* stamping) { stamping_ = stamping; }
    void SetDefaultPrinter(const IDefaultPrinter* printer) { printer_ = printer; }

    // The document whose image the bar shows, or none. Re-reads the image's facts and refreshes
    // every text of the bar.
    void SetDocument(IResizeDocument* document);
    IResizeDocument* Document() const { return document_; }
    // After the main frame switched the record's batch mode.
    void OnBatchModeChanged();
    // "Apply to All": stamps the settings onto every batch item.
    void ApplyToAll();

    // The user changed the text of one of the five fields. Returns whether that field's value was
    // accepted into the record. While the user goes on typing into the same field, each change is
    // worked out from the bar as it was before the typing began, so that a value typed key by key
    // ends exactly where the same value entered at once does (the keys on the way, such as the "1"
    // of "150", leave no trace). Any other action ends the typing.
    bool OnTextChanged(int fieldId, std::string_view text);
    // The user left a field: a size field shows the record again, the resolution keeps its text.
    void OnFieldLeft(int fieldId);
    // The user pressed Enter in a field: its value is entered, and the next key begins another.
    void OnFieldEntered() { EndTyping(); }
    // A spin button stepped its field (by field or spin button id) by steps units, +1 up, -1 down.
    void OnSpin(int controlId, int steps);
    // The user let go of a spin button.
    void OnSpinReleased();
    // The bar's 500 ms timer, in case a spin button's release never arrived.
    void OnTimer(bool keyOrButtonDown);
    // A selector's choice: IDC_OUT_UNIT, IDC_CORRECTION, IDC_ALGORITHM, IDC_UNITS_SIZE, IDC_UNITS_RES.
    void OnSelect(int selectorId, int index);
    // IDC_EDIT_PIXEL (false) or IDC_EDIT_PRINT (true).
    void OnEditPrints(bool editPrints);
    // The check box: "apply to new" in batch mode, "lock settings" otherwise.
    void OnCheckBox(bool checked);

    // The entries of a preset menu as it opens, with its separators and enabled states.
    std::vector<MenuItem> MenuItems(PresetMenu menu) const;
    // The user chose the entry at a position of the menu (separators count as positions).
    void OnMenuItem(PresetMenu menu, size_t position);
    // The actions behind the entries, also for a box or paper that no entry lists.
    void ChooseSizePreset(PixelSize box);
    void ChooseOriginalSize();
    void ChoosePaper(const PaperSize& paper);

    // What the window shows. Text is a field's content, a read-only text, the check box's text or
    // else the control's fixed label (a field's own label is ControlLabel's); Selection is a
    // selector's entry; IsChecked covers the radio buttons and the check box.
    std::string Text(int controlId) const;
    bool IsEnabled(int controlId) const;
    bool IsVisible(int controlId) const;
    int Selection(int selectorId) const;
    bool IsChecked(int controlId) const;
    std::vector<std::string_view> SelectorItems(int selectorId) const;
    std::string Tooltip(int controlId) const;

    bool ImageOpen() const { return imageOpen_; }
    const ResizeSettings& Settings() const { return settings_; }

private:
    // Set for as long as it lives: the bar is writing its own fields (or the window is showing
    // them), so the change notices those writes cause are not taken for edits.
    class Updating {
    public:
        explicit Updating(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
        ~Updating() { flag_ = old_; }
        Updating(const Updating&) = delete;
        Updating& operator=(const Updating&) = delete;

    private:
        bool& flag_;
        bool old_;
    };

    // The bar as a whole (ResizeBarPresenter.cpp).
    void Refresh();
    void SettingsChanged();
    void Notify();
    // The end of a change of the output size from a menu or selector: the pixel fields show the
    // new size, the print fields show it too (or the given print size as it stands), settings
    // changed runs and the window is told.
    void CommitSize(const std::optional<PrintSize>& printShown = std::nullopt);
    void WriteText(int controlId, std::string text);

    // Typing into and leaving the fields, and how the fields show the record (ResizeBarFields.cpp).
    bool ApplyText(int fieldId, std::string_view text);
    void EndTyping() { typing_.reset(); }
    bool OnPixelFieldChanged(bool widthEdited);
    bool OnPrintFieldChanged(bool widthEdited);
    bool OnResolutionChanged();
    void LinkAspect(bool fromWidth);
    void SetResolution(float dpi, bool showInField);
    // Whether a size field still shows the record as the bar wrote it. Such a text is not read
    // back when the other field of its pair is edited: the rounding of what is shown (a percent to
    // two decimals, a print size to four) would move a side the user did not touch by a pixel.
    bool ShowsRecord(int fieldId) const;
    void WritePixelField(bool width);
    void WritePixelFields();
    void WritePrintField(bool width);
    void WritePrintFields();
    void WriteResolutionField();
    std::string PrintFieldText(int32_t pixels) const;

    // The spin buttons and the preview they hold back (ResizeBarSpins.cpp).
    std::optional<ValueRange> FieldRange(int fieldId) const;

    ResizeSettings& settings_;
    IResizeDocument* document_ = nullptr;
    IResizeBarListener* listener_ = nullptr;
    IBatchStamping* stamping_ = nullptr;
    const IDefaultPrinter* printer_ = nullptr;

    // The image the bar last took from a document; its numbers stay when the document goes, so
    // that the paper orientation can follow the image last shown.
    ImageFacts image_;
    bool imageOpen_ = false;
    bool imageShown_ = false;
    bool updating_ = false;  // see Updating
    std::map<int, std::string> texts_;

    // The field the user is typing into, with the bar as it was before the first key and the record
    // as the last key left it (a record changed since by anyone else ends the typing).
    struct Typing {
        int fieldId = 0;
        ResizeSettings before;
        std::map<int, std::string> textsBefore;
        ResizeSettings after;
    };
    std::optional<Typing> typing_;
};

}  // namespace kv

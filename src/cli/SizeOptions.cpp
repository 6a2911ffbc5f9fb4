#include "cli/SizeOptions.h"

#include <tuple>

#include "app/ResizeBarControls.h"
#include "app/SettingsFile.h"

namespace kv::cli {

namespace {

using namespace ResizeBarControl;

PrintUnit ParseUnit(std::string_view text) {
    // The words beside the bar's print fields.
    for (size_t unit = 0; unit < kPrintUnits.size(); ++unit)
        if (text == kPrintUnits[unit].label) return static_cast<PrintUnit>(unit);
    throw UsageError{"--unit takes in, mm, cm, picas or pt, not \"" + std::string(text) + "\""};
}

// "WxH" split at its x; each side must be a number.
std::pair<std::string, std::string> SplitSides(std::string_view text, std::string_view option) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) throw UsageError{std::string(option) + " takes WIDTHxHEIGHT, not \"" + std::string(text) + "\""};
    return {std::string(text.substr(0, x)), std::string(text.substr(x + 1))};
}

void SetForm(SizeOptions& r, SizeForm form, std::string_view option) {
    if (r.form != SizeForm::Own)
        throw UsageError{"give one size: " + r.option + " and " + std::string(option) + " both ask for one"};
    r.form = form;
    r.option = std::string(option);
}

// Types a value into a field of the bar; a value the bar refuses is a usage error.
void Type(ResizeBarPresenter& bar, int field, const std::string& text, const std::string& option) {
    if (!bar.OnTextChanged(field, text))
        throw UsageError{option + " " + text + " is outside what the settings allow for this image"};
}

}  // namespace

bool TakeSizeOption(Arguments& args, std::string_view word, SizeOptions& r) {
    if (word == "--size") {
        SetForm(r, SizeForm::Box, word);
        const std::string_view value = args.TakeValue(word);
        const auto [w, h] = SplitSides(value, word);
        r.first = std::to_string(ParseInt(w, word, 1, 100000));
        r.second = std::to_string(ParseInt(h, word, 1, 100000));
    } else if (word == "--width" || word == "--height") {
        SetForm(r, word == "--width" ? SizeForm::Width : SizeForm::Height, word);
        r.first = std::to_string(ParseInt(args.TakeValue(word), word, 3, 100000));
    } else if (word == "--percent") {
        SetForm(r, SizeForm::Percent, word);
        r.first = std::string(args.TakeValue(word));
        ParseDouble(r.first, word, 1e-9, 1e9);
    } else if (word == "--print") {
        SetForm(r, SizeForm::Print, word);
        std::tie(r.first, r.second) = SplitSides(args.TakeValue(word), word);
        ParseDouble(r.first, word, 1e-9, 1e9);
        ParseDouble(r.second, word, 1e-9, 1e9);
    } else if (word == "--unit") {
        r.unit = ParseUnit(args.TakeValue(word));
    } else if (word == "--algorithm") {
        r.algorithm = ParseInt(args.TakeValue(word), word, 0, kResizeAlgorithmCount - 1);
    } else if (word == "--correction") {
        const std::string_view v = args.TakeValue(word);
        if (v == "keep") r.correction = SizeCorrection::KeepAspect;
        else if (v == "crop") r.correction = SizeCorrection::Crop;
        else if (v == "none") r.correction = SizeCorrection::None;
        else throw UsageError{"--correction takes keep, crop or none"};
    } else if (word == "--dpi") {
        r.dpi = std::string(args.TakeValue(word));
        ParseDouble(*r.dpi, word, 1, 100000);
    } else if (word == "--settings") {
        r.settingsFile = std::filesystem::path(std::string(args.TakeValue(word)));
    } else {
        return false;
    }
    return true;
}

void CheckSizeOptions(const SizeOptions& r) {
    if (r.form == SizeForm::Print && !r.unit) throw UsageError{"--print needs --unit in|mm|cm|picas|pt"};
    if (r.unit && r.form != SizeForm::Print) throw UsageError{"--unit goes with --print"};
}

bool LoadSettingsOption(const SizeOptions& options, IUserPrompt& prompt, std::optional<ResizeSettings>& loaded) {
    loaded.reset();
    if (!options.settingsFile) return true;
    ResizeSettings settings;
    if (!LoadSettingsFile(*options.settingsFile, settings, prompt)) return false;
    loaded = settings;
    return true;
}

void ApplyNamedSettings(ResizeSettings& record, const ResizeSettings& loaded) {
    record.width = loaded.width;
    record.height = loaded.height;
    record.dpi = loaded.dpi;
    record.resolutionUnit = loaded.resolutionUnit;
    record.printUnit = loaded.printUnit;
    record.correction = loaded.correction;
    record.algorithm = loaded.algorithm;
    record.inPercents = loaded.inPercents;
    record.editPrints = loaded.editPrints;
    record.lockSettings = loaded.lockSettings;
}

void ApplySizeOptions(ResizeBarPresenter& bar, const SizeOptions& r) {
    if (r.correction) bar.OnSelect(IDC_CORRECTION, static_cast<int>(*r.correction));
    if (r.dpi) {
        bar.OnEditPrints(false);
        Type(bar, IDC_OUT_RES, *r.dpi, "--dpi");
    }
    switch (r.form) {
        case SizeForm::Own:
            break;
        case SizeForm::Box:
            bar.ChooseSizePreset({std::stoi(r.first), std::stoi(r.second)});
            break;
        case SizeForm::Width:
        case SizeForm::Height:
            bar.OnSelect(IDC_OUT_UNIT, 0);
            bar.OnEditPrints(false);
            Type(bar, r.form == SizeForm::Width ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT, r.first, r.option);
            break;
        case SizeForm::Percent:
            bar.OnSelect(IDC_OUT_UNIT, 1);
            bar.OnEditPrints(false);
            Type(bar, IDC_OUT_WIDTH, r.first, r.option);
            Type(bar, IDC_OUT_HEIGHT, r.first, r.option);
            break;
        case SizeForm::Print:
            bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(*r.unit));
            bar.OnEditPrints(true);
            Type(bar, IDC_OUT_PRNWIDTH, r.first, r.option);
            Type(bar, IDC_OUT_PRNHEIGHT, r.second, r.option);
            break;
    }
    if (r.algorithm) bar.OnSelect(IDC_ALGORITHM, *r.algorithm);
}

}  // namespace kv::cli

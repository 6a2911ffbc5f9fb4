#include "cli/SizeOptions.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>

#include "app/ResizeBarControls.h"
#include "app/SettingsFile.h"
#include "app/SizeArithmetic.h"

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
        r.first = std::to_string(ParseInt(w, word, kMinPixels, kMaxPixels));
        r.second = std::to_string(ParseInt(h, word, kMinPixels, kMaxPixels));
    } else if (word == "--width" || word == "--height") {
        SetForm(r, word == "--width" ? SizeForm::Width : SizeForm::Height, word);
        r.first = std::to_string(ParseInt(args.TakeValue(word), word, kMinPixels, kMaxPixels));
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

bool LoadSettingsOption(const SizeOptions& options, IUserPrompt& prompt, std::optional<ResizeSettings>& loaded,
                        bool& whole) {
    loaded.reset();
    whole = true;
    if (!options.settingsFile) return true;
    ResizeSettings settings;
    if (!LoadSettingsFile(*options.settingsFile, settings, prompt, &whole)) return false;
    if (!whole)
        prompt.ShowMessage("the settings file " + options.settingsFile->string() +
                           " ends early; the settings after its end keep their defaults");
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

namespace {

// The bar holds a size it works out at its limits: a side below 3 pixels becomes 3. Asked for on
// the command line, that would be a silent change of what was asked: it is a usage error instead.
void RequirePixels(double width, double height, const std::string& asked) {
    constexpr double kLargest = std::numeric_limits<int32_t>::max();
    const auto text = [](double v) { return std::to_string(static_cast<int64_t>(v < 0 ? 0 : v)); };
    const std::string gives = asked + " gives " + text(width) + " x " + text(height) + " pixels for this image; ";
    if (width < kMinPixels || height < kMinPixels)
        throw UsageError{gives + "the smallest side is " + std::to_string(kMinPixels) + " pixels"};
    if (width > kLargest || height > kLargest) throw UsageError{gives + "a side can have at most 2147483647 pixels"};
}

// The other side of the aspect link, before the bar holds it to its limits.
double Linked(double side, int32_t imageSide, int32_t otherImageSide) {
    return imageSide > 0 ? std::trunc(static_cast<double>(otherImageSide) * side / imageSide) : side;
}

}  // namespace

void ApplySizeOptions(ResizeBarPresenter& bar, const SizeOptions& r, const ImageFacts& image) {
    const ResizeSettings& s = bar.Settings();
    if (r.correction) bar.OnSelect(IDC_CORRECTION, static_cast<int>(*r.correction));
    const bool keepAspect = s.correction == SizeCorrection::KeepAspect;
    // What the resolution alone makes of the pixel size (pixel-edit mode: the print size stays).
    double width = s.width;
    double height = s.height;
    if (r.dpi) {
        const double ratio = std::strtod(r.dpi->c_str(), nullptr) / s.dpi;
        width = std::trunc(s.width * ratio + 0.5);
        height = std::trunc(s.height * ratio + 0.5);
        bar.OnEditPrints(false);
        Type(bar, IDC_OUT_RES, *r.dpi, "--dpi");
    }
    const std::string dpiText = r.dpi ? "--dpi " + *r.dpi : std::string();
    switch (r.form) {
        case SizeForm::Own:
            if (r.dpi) RequirePixels(width, height, dpiText);
            break;
        case SizeForm::Box: {
            PixelSize box{std::stoi(r.first), std::stoi(r.second)};
            if (keepAspect && image.HasPixels()) box = FitToImage(box, image.width, image.height);
            RequirePixels(box.width, box.height, r.option + " " + r.first + "x" + r.second);
            bar.ChooseSizePreset({std::stoi(r.first), std::stoi(r.second)});
            break;
        }
        case SizeForm::Width:
        case SizeForm::Height: {
            const bool isWidth = r.form == SizeForm::Width;
            bar.OnSelect(IDC_OUT_UNIT, 0);
            bar.OnEditPrints(false);
            Type(bar, isWidth ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT, r.first, r.option);
            const double typed = std::stod(r.first);
            // The other side: linked to the image's aspect, or left as the resolution made it.
            if (isWidth)
                RequirePixels(typed, keepAspect ? Linked(typed, image.width, image.height) : height,
                              r.option + " " + r.first + (keepAspect || !r.dpi ? "" : " with " + dpiText));
            else
                RequirePixels(keepAspect ? Linked(typed, image.height, image.width) : width, typed,
                              r.option + " " + r.first + (keepAspect || !r.dpi ? "" : " with " + dpiText));
            break;
        }
        case SizeForm::Percent:
            bar.OnSelect(IDC_OUT_UNIT, 1);
            bar.OnEditPrints(false);
            Type(bar, IDC_OUT_WIDTH, r.first, r.option);
            Type(bar, IDC_OUT_HEIGHT, r.first, r.option);
            break;
        case SizeForm::Print: {
            bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(*r.unit));
            bar.OnEditPrints(true);
            const double perInch = Info(*r.unit).perInch;
            const double printedWidth = std::trunc(s.dpi * std::stod(r.first) / perInch);
            const double printedHeight = std::trunc(s.dpi * std::stod(r.second) / perInch);
            // Under Keep aspect the height, typed last, decides the width.
            const double linkedWidth = keepAspect ? Linked(printedHeight, image.height, image.width) : printedWidth;
            RequirePixels(std::min(printedWidth, linkedWidth), printedHeight, r.option + " " + r.first + "x" + r.second);
            Type(bar, IDC_OUT_PRNWIDTH, r.first, r.option);
            Type(bar, IDC_OUT_PRNHEIGHT, r.second, r.option);
            break;
        }
    }
    if (r.algorithm) bar.OnSelect(IDC_ALGORITHM, *r.algorithm);
}

}  // namespace kv::cli

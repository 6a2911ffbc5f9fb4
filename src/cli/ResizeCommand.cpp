#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/ResizeBarControls.h"
#include "app/ResizeBarPresenter.h"
#include "app/ResizeSettings.h"
#include "cli/Commands.h"
#include "document/IDocumentHost.h"
#include "document/KVScaleCrafterDoc.h"
#include "document/SaveImage.h"

namespace kv::cli {

namespace {

using namespace ResizeBarControl;

// The ways to give the output size; at most one per run.
enum class SizeForm { Own, Box, Width, Height, Percent, Print };

struct ResizeRequest {
    std::filesystem::path input;
    std::filesystem::path output;
    SizeForm form = SizeForm::Own;
    std::string option;  // the size option as given, for messages
    // The texts typed into the bar: the value of --width, --height or --percent in first; the two
    // sides of --size and --print in first and second.
    std::string first;
    std::string second;
    std::optional<PrintUnit> unit;
    std::optional<SizeCorrection> correction;
    std::optional<std::string> dpi;
    std::optional<ResizeAlgorithm> algorithm;
    int32_t quality = ResizeSettings::kDefaultJpegQuality;
};

PrintUnit ParseUnit(std::string_view text) {
    if (text == "in") return PrintUnit::Inches;
    if (text == "mm") return PrintUnit::Millimeters;
    if (text == "cm") return PrintUnit::Centimeters;
    if (text == "picas") return PrintUnit::Picas;
    if (text == "pt") return PrintUnit::Points;
    throw UsageError{"--unit takes in, mm, cm, picas or pt, not \"" + std::string(text) + "\""};
}

// "WxH" split at its x; each side must be a number.
std::pair<std::string, std::string> SplitSides(std::string_view text, std::string_view option) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) throw UsageError{std::string(option) + " takes WIDTHxHEIGHT, not \"" + std::string(text) + "\""};
    return {std::string(text.substr(0, x)), std::string(text.substr(x + 1))};
}

void SetForm(ResizeRequest& r, SizeForm form, std::string_view option) {
    if (r.form != SizeForm::Own)
        throw UsageError{"give one size: " + r.option + " and " + std::string(option) + " both ask for one"};
    r.form = form;
    r.option = std::string(option);
}

ResizeRequest ParseResize(Arguments& args) {
    ResizeRequest r;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (word == "-o" || word == "--output") {
            r.output = std::string(args.TakeValue(word));
        } else if (word == "--size") {
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
    if (OutputMimeType(r.output).empty())
        throw UsageError{"the output " + r.output.string() + " has no image extension (.jpg, .tif, .bmp, .gif, .png)"};
    if (r.form == SizeForm::Print && !r.unit) throw UsageError{"--print needs --unit in|mm|cm|picas|pt"};
    if (r.unit && r.form != SizeForm::Print) throw UsageError{"--unit goes with --print"};
    return r;
}

// The document's messages on stderr, one line each.
class LinePrompt final : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override {
        std::string line;
        for (const char c : text) {
            if (c == '\r') continue;
            if (c == '\n') {
                if (!line.empty() && line.back() != ' ') line += ' ';
                continue;
            }
            line += c;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::fprintf(stderr, "kvscale: %s\n", line.c_str());
    }
    bool AskYesNo(const std::string&) override { return false; }
    void Beep() override {}
};

// The frame as kvscale has it: the opened document goes to the settings bar, views there are none.
class BarHost final : public IDocumentHost {
public:
    explicit BarHost(ResizeBarPresenter& bar) : bar_(bar) {}
    void UpdateAllViews() override {}
    void ShowInSettingsBar(IResizeDocument& document) override { bar_.SetDocument(&document); }

private:
    ResizeBarPresenter& bar_;
};

// Types a value into a field of the bar; a value the bar refuses is a usage error.
void Type(ResizeBarPresenter& bar, int field, const std::string& text, const std::string& option) {
    if (!bar.OnTextChanged(field, text))
        throw UsageError{option + " " + text + " is outside what the settings allow for this image"};
}

}  // namespace

int RunResize(Arguments& args) {
    const ResizeRequest request = ParseResize(args);

    ResizeSettings settings;
    settings.jpegQuality = request.quality;
    LinePrompt prompt;
    ResizeBarPresenter bar(settings);
    BarHost host(bar);
    CKVScaleCrafterDoc document(settings, &prompt, nullptr);
    document.SetHost(&host);
    // Opening applies the rule for a newly opened image: its own size and resolution.
    if (!document.OnOpenDocument(request.input)) return kExitFailed;

    // Then what the user does on the bar, in this order.
    if (request.correction) bar.OnSelect(IDC_CORRECTION, static_cast<int>(*request.correction));
    if (request.dpi) {
        bar.OnEditPrints(false);
        Type(bar, IDC_OUT_RES, *request.dpi, "--dpi");
    }
    switch (request.form) {
        case SizeForm::Own:
            break;
        case SizeForm::Box:
            bar.ChooseSizePreset({std::stoi(request.first), std::stoi(request.second)});
            break;
        case SizeForm::Width:
        case SizeForm::Height:
            bar.OnSelect(IDC_OUT_UNIT, 0);
            bar.OnEditPrints(false);
            Type(bar, request.form == SizeForm::Width ? IDC_OUT_WIDTH : IDC_OUT_HEIGHT, request.first, request.option);
            break;
        case SizeForm::Percent:
            bar.OnSelect(IDC_OUT_UNIT, 1);
            bar.OnEditPrints(false);
            Type(bar, IDC_OUT_WIDTH, request.first, request.option);
            Type(bar, IDC_OUT_HEIGHT, request.first, request.option);
            break;
        case SizeForm::Print:
            bar.OnSelect(IDC_UNITS_SIZE, static_cast<int>(*request.unit));
            bar.OnEditPrints(true);
            Type(bar, IDC_OUT_PRNWIDTH, request.first, request.option);
            Type(bar, IDC_OUT_PRNHEIGHT, request.second, request.option);
            break;
    }
    if (request.algorithm) bar.OnSelect(IDC_ALGORITHM, *request.algorithm);

    TerminalProgress progress;
    return document.OnResizeAndSave(request.output, &progress) ? kExitOk : kExitFailed;
}

}  // namespace kv::cli

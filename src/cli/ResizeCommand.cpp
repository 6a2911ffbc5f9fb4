#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/ResizeBarPresenter.h"
#include "app/ResizeSettings.h"
#include "cli/Commands.h"
#include "cli/SizeOptions.h"
#include "document/IDocumentHost.h"
#include "document/KVScaleCrafterDoc.h"
#include "document/SaveImage.h"
#include "imageio/ImageFiles.h"
#include "imageio/Orientation.h"

namespace kv::cli {

namespace {

struct ResizeRequest {
    std::filesystem::path input;
    std::filesystem::path output;
    SizeOptions size;
    int32_t quality = ResizeSettings::kDefaultJpegQuality;
    bool keepOrientation = false;
};

ResizeRequest ParseResize(Arguments& args) {
    ResizeRequest r;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (!args.IsOption(word)) {
            if (!r.input.empty()) throw UsageError{"more than one input image"};
            if (word.empty()) throw UsageError{"the input image has an empty name"};
            r.input = std::string(word);
        } else if (TakeSizeOption(args, word, r.size)) {
            continue;
        } else if (word == "-o" || word == "--output") {
            r.output = std::string(args.TakeValue(word));
            if (r.output.empty()) throw UsageError{std::string(word) + " needs a file name, not an empty one"};
        } else if (word == "--quality") {
            r.quality = ParseQuality(args.TakeValue(word), word);
        } else if (word == "--max-memory") {
            SetMemoryBudgetOption(args.TakeValue(word), word);
        } else if (word == "--keep-orientation") {
            r.keepOrientation = true;
        } else {
            throw UsageError{"unknown option " + std::string(word)};
        }
    }
    if (r.input.empty()) throw UsageError{"resize needs an input image"};
    if (r.output.empty()) throw UsageError{"resize needs -o OUT"};
    if (const std::string unwritable = UnwritableExtensionText(r.output); !unwritable.empty()) throw UsageError{unwritable};
    CheckSizeOptions(r.size);
    return r;
}

// The document's messages on stderr, one line each. The closing "Can't create output image!" keeps
// its guess "Maybe not enough memory!" only where memory was the cause: otherwise the lines before
// it already said what failed, with the system's reason and the file.
class LinePrompt final : public IUserPrompt {
public:
    void SetDocument(const CKVScaleCrafterDoc* document) { document_ = document; }

    void ShowMessage(const std::string& message) override {
        std::string text = message;
        if (text == DocumentText::kCantCreateOutput && document_ && !document_->LastFailureWasMemory())
            text = "Can't create output image!";
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

private:
    const CKVScaleCrafterDoc* document_ = nullptr;
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

// The file system's or the imaging layer's sentence behind a failure whose message named the file
// only.
void SayReason(const CKVScaleCrafterDoc& document) {
    if (!document.LastFailureReason().empty()) std::fprintf(stderr, "kvscale: %s\n", document.LastFailureReason().c_str());
}

}  // namespace

int RunResize(Arguments& args) {
    const ResizeRequest request = ParseResize(args);
    const InterruptGuard interrupts;
    const TurnPicturesUprightScope orientation(!request.keepOrientation);

    ResizeSettings settings;
    settings.jpegQuality = request.quality;
    LinePrompt prompt;
    std::optional<ResizeSettings> loaded;
    bool settingsWhole = true;
    if (!LoadSettingsOption(request.size, prompt, loaded, settingsWhole)) return kExitFailed;
    ResizeBarPresenter bar(settings);
    BarHost host(bar);
    CKVScaleCrafterDoc document(settings, &prompt, nullptr);
    prompt.SetDocument(&document);
    document.SetHost(&host);
    // Opening applies the rule for a newly opened image: its own size and resolution.
    if (!document.OnOpenDocument(request.input)) {
        SayReason(document);
        return kExitFailed;
    }

    // A named settings file replaces the record as loading a preset does, with the image open.
    if (loaded) {
        ApplyNamedSettings(settings, *loaded);
        bar.SetDocument(&document);
    }
    // Then what the user does on the bar.
    ApplySizeOptions(bar, request.size, document.OpenImageFacts().value_or(ImageFacts{}));

    TerminalProgress progress;
    const bool saved = document.OnResizeAndSave(request.output, &progress);
    if (!saved && InterruptGuard::Received() != 0) {
        std::fprintf(stderr, "kvscale: interrupted; %s was not written\n", request.output.c_str());
        return kExitFailed;
    }
    if (!saved) {
        SayReason(document);
        return kExitFailed;
    }
    // What was asked was done, but from a damaged settings file: only as far as it could be read.
    return settingsWhole ? kExitOk : kExitFailed;
}

}  // namespace kv::cli

#include "document/KVScaleCrafterDoc.h"

#include <cstring>
#include <exception>
#include <string>

#include "app/OutputSizeRules.h"
#include "base/AtomicFile.h"
#include "document/NeighbourFiles.h"
#include "document/OutputCheck.h"
#include "document/SaveImage.h"
#include "imageio/ImageFiles.h"
#include "imageio/JpegQuality.h"
#include "imageio/Orientation.h"
#include "imageio/ResizeBitmap.h"
#include "imageio/ResizeJobMemory.h"

namespace kv {

namespace {

constexpr size_t kMaxSystemText = 512;

std::string Fill(std::string_view pattern, const std::string& value) {
    std::string text(pattern);
    if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
    return text;
}

// Why a resize failed, as far as the bitmaps and the routine tell: a drawing that failed records
// its status on the result, pixels that did not decode on the source.
// Decodes a bitmap's pixels and reads its property items: a copy of one pixel takes both.
bool DecodePixels(Bitmap& bitmap) { return bitmap.Clone(Rect{0, 0, 1, 1}, PixelFormatUndefined) != nullptr; }

struct Failure {
    std::string text;
    bool memory = false;  // memory running out was the cause
};

Failure ResizeFailure(Bitmap& result, Bitmap& source) {
    for (Bitmap* bitmap : {&result, &source})
        if (const Status status = bitmap->GetLastStatus(); status != Status::Ok)
            return {bitmap->GetLastErrorMessage(), status == Status::OutOfMemory};
    if (OutOfMemoryFlag.load()) return {"There was not enough memory to resize the image.", true};
    if (CancelRequested.load()) return {"The resize was stopped."};
    return {"The image could not be resized."};
}

}  // namespace

CKVScaleCrafterDoc::CKVScaleCrafterDoc(ResizeSettings& settings, IUserPrompt* prompt, ICommandTarget* frame,
                                       PreviewOptions previewOptions)
    : settings_(settings), prompt_(prompt), preview_(frame, std::move(previewOptions)) {}

CKVScaleCrafterDoc::~CKVScaleCrafterDoc() = default;

void CKVScaleCrafterDoc::Say(const std::string& text) {
    if (prompt_) prompt_->ShowMessage(text);
}

// ---- Opening ----

PreparedImage PrepareImage(const std::filesystem::path& path, bool decode) {
    PreparedImage prepared;
    prepared.upright = TurnPicturesUpright();
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    prepared.read = ReadWholeFile(path, *bytes);
    if (!prepared.read.ok()) return prepared;
    prepared.bytes = std::move(bytes);
    try {
        prepared.bitmap = Bitmap::FromMemory(prepared.bytes);
        if (decode && prepared.bitmap->GetPixelFormat() != PixelFormatUndefined) {
            BitmapData data;
            const Rect whole{0, 0, prepared.bitmap->GetWidth(), prepared.bitmap->GetHeight()};
            if (prepared.bitmap->LockBits(whole, ImageLockMode::Read, PixelFormat24bppRGB, &data) == Status::Ok)
                prepared.bitmap->UnlockBits(&data);
        }
    } catch (const std::exception&) {
        prepared.bitmap.reset();
    }
    return prepared;
}

bool CKVScaleCrafterDoc::OnOpenDocument(const std::filesystem::path& path) {
    return OnOpenDocument(path, PrepareImage(path, false));
}

bool CKVScaleCrafterDoc::OnOpenDocument(const std::filesystem::path& path, PreparedImage prepared) {
    failureReason_.clear();
    // The file must be readable before anything of the open image is given up.
    if (!prepared.read.ok()) {
        failureReason_ = prepared.read.message;
        Say(prepared.read.message);
        return false;
    }
    try {
        preview_.StopWorker();
        image_.reset();
        preview_.Reset(nullptr);
        width_ = height_ = 0;
        dpiX_ = 0;

        const uint64_t fileBytes = prepared.bytes->size();
        // Made ahead before the user's choice of how pictures stand was known, and the other way:
        // opened again from the same bytes.
        if (prepared.upright != TurnPicturesUpright()) prepared.bitmap.reset();
        std::unique_ptr<Bitmap> bitmap =
            prepared.bitmap ? std::move(prepared.bitmap) : Bitmap::FromMemory(std::move(prepared.bytes));
        if (bitmap->GetLastStatus() != Status::Ok || bitmap->GetPixelFormat() == PixelFormatUndefined) {
            failureReason_ = bitmap->GetLastErrorMessage();
            Say(Fill(DocumentText::kCantOpenFile, path.string()));
            return false;
        }
        // The pixels are decoded now, so that a damaged file (data that ends early or does not
        // decode) fails to open instead of failing later as a resize. A picture whose decoding
        // alone would not fit the memory budget stays undecoded: its resize is refused with the
        // numbers before anything is decoded.
        const ResizeJob decode = ResizeJobOf(*bitmap, fileBytes, bitmap->GetWidth(), bitmap->GetHeight(),
                                             kDefaultResizeAlgorithm, false, {});
        if (CheckDecodeJobMemory(decode).fits && !DecodePixels(*bitmap)) {
            failureReason_ = bitmap->GetLastErrorMessage();
            Say(Fill(DocumentText::kCantOpenFile, path.string()));
            return false;
        }
        fileBytes_ = fileBytes;
        image_ = std::move(bitmap);
        width_ = image_->GetWidth();
        height_ = image_->GetHeight();
        modified_ = false;
        path_ = path;
        dpiX_ = image_->GetHorizontalResolution();
        preview_.Reset(image_);
        ApplyOpenRule(settings_, *OpenImageFacts());
        if (host_) host_->ShowInSettingsBar(*this);
        return true;
    } catch (const std::exception&) {
        image_.reset();
        preview_.Reset(nullptr);
        width_ = height_ = 0;
        return false;
    }
}

std::optional<ImageFacts> CKVScaleCrafterDoc::OpenImageFacts() const {
    if (!image_) return std::nullopt;
    return ImageFacts{width_, height_, image_->GetPixelFormat(), dpiX_};
}

void CKVScaleCrafterDoc::OnSettingsChanged() {
    // While a spin button steps a field the preview waits for the user to let go.
    if (!adjusting_.load() && host_) host_->UpdateAllViews();
}

// ---- Saving ----

std::optional<int32_t> CKVScaleCrafterDoc::OriginalJpegQuality() const {
    return image_ ? EstimateJpegQuality(*image_) : std::nullopt;
}

int32_t CKVScaleCrafterDoc::SaveJpegQuality() const {
    if (settings_.sameJpegQuality)
        if (const std::optional<int32_t> original = OriginalJpegQuality()) return *original;
    return settings_.jpegQuality;
}

int CKVScaleCrafterDoc::SaveImage(Bitmap& result, std::filesystem::path path, int quiet, Bitmap& source,
                                  int32_t quality) {
    return kv::SaveImage(result, std::move(path), quiet, source, quality, settings_.dpi, prompt_);
}

bool CKVScaleCrafterDoc::OnResizeAndSave(const std::filesystem::path& output, CRSProgress* progress) {
    failureReason_.clear();
    failureFromMemory_ = false;
    if (!image_) return false;
    // A name the program cannot write says so and which names it can, before anything is made.
    if (const std::string unwritable = UnwritableExtensionText(output); !unwritable.empty()) {
        Say(unwritable);
        return false;
    }
    SaveOutcome outcome = SaveOutcome::Failed;
    try {
        outcome = ResizeAndSave(output, progress);
    } catch (const std::bad_alloc&) {
        failureFromMemory_ = true;
        outcome = SaveOutcome::Failed;
    } catch (const std::exception&) {
        outcome = SaveOutcome::Failed;
    }
    // An image whose pixels turned out not to decode was reported as a file that cannot be opened.
    if (outcome == SaveOutcome::Failed) Say(DocumentText::kCantCreateOutput);
    return outcome == SaveOutcome::Saved;
}

CKVScaleCrafterDoc::SaveOutcome CKVScaleCrafterDoc::ResizeAndSave(const std::filesystem::path& output,
                                                                   CRSProgress* progress) {
    // Asked without creating the file, so that a failure later leaves nothing behind.
    if (const IoResult writable = CheckOutputWritable(output); !writable.ok()) {
        std::string system = std::strerror(writable.error);
        if (system.size() > kMaxSystemText) system.resize(kMaxSystemText);
        Say(Fill(DocumentText::kCantSaveFile, output.string()) + "\n" + system);
        return SaveOutcome::Failed;
    }

    // A resize that cannot fit in memory is refused before it starts; one that runs out part way
    // would only fail later, with the machine swapping meanwhile.
    const ResizeJob job = ResizeJobOf(*image_, fileBytes_, settings_.width, settings_.height, settings_.algorithm,
                                      settings_.correction == SizeCorrection::Crop, OutputMimeType(output));
    if (const MemoryCheck memory = CheckResizeJobMemory(job); !memory.fits) {
        Say(NotEnoughMemoryText(job, memory.needed, memory.available));
        failureFromMemory_ = true;
        return SaveOutcome::Failed;
    }

    // Pixels that do not decode (a damaged file opened without its pixels) make a file that cannot
    // be opened, as the batch log and the open command say it.
    if (!DecodePixels(*image_)) {
        failureReason_ = image_->GetLastErrorMessage();
        Say(Fill(DocumentText::kCantOpenFile, path_.string()));
        return SaveOutcome::NotDecoded;
    }

    std::unique_ptr<Bitmap> result;
    if (settings_.width == width_ && settings_.height == height_) {
        // The image's own size: no resampling, and the pixel format stays (an indexed GIF stays
        // indexed).
        result = image_->Clone(image_->GetPixelFormat());
        if (!result) {
            failureFromMemory_ = image_->GetLastStatus() == Status::OutOfMemory;
            Say(image_->GetLastErrorMessage());
            return SaveOutcome::Failed;
        }
    } else {
        // 24-bit, or 32-bit with alpha when the image has transparent or translucent pixels.
        result = std::make_unique<Bitmap>(settings_.width, settings_.height, ResizeResultFormat(*image_));
        if (const Status made = result->GetLastStatus(); made != Status::Ok) {
            failureFromMemory_ = made == Status::OutOfMemory;
            Say(result->GetLastErrorMessage());
            return SaveOutcome::Failed;
        }
        if (progress) CancelRequested.store(0);
        // Read locks are shared, so the resize reads the image itself even while a preview job
        // reads it too.
        if (!ResizeBitmap(*image_, *result, settings_.algorithm, settings_.correction == SizeCorrection::Crop, progress)) {
            const Failure failure = ResizeFailure(*result, *image_);
            failureFromMemory_ = failure.memory;
            Say(failure.text);
            return SaveOutcome::Failed;
        }
    }
    if (SaveImage(*result, output, 0, *image_, SaveJpegQuality()) == 1) return SaveOutcome::Saved;
    failureReason_ = result->GetLastErrorMessage();
    return SaveOutcome::Failed;
}

// ---- Next and Previous ----

std::filesystem::path CKVScaleCrafterDoc::FindNeighbourFile(bool forward) const {
    if (path_.empty()) return {};
    return kv::FindNeighbourFile(path_, forward, failedCandidates_);
}

bool CKVScaleCrafterDoc::Open(const std::filesystem::path& path) {
    return opener_ ? opener_->OpenDocumentFile(path) : OnOpenDocument(path);
}

void CKVScaleCrafterDoc::Navigate(bool forward) {
    // The first candidate still skips what the previous command failed to open.
    std::filesystem::path candidate = FindNeighbourFile(forward);
    failedCandidates_.clear();
    while (!candidate.empty()) {
        if (Open(candidate)) return;
        failedCandidates_.push_back(candidate);
        candidate = FindNeighbourFile(forward);
    }
    // No other image, or every other one failed to open.
    if (prompt_) prompt_->Beep();
}

// ---- Previews ----

PreviewOutcome CKVScaleCrafterDoc::RequestPreview(const PixelRect& source, const PixelRect& destination) {
    const PreviewOutcome outcome = preview_.RequestPreview(source, destination, settings_.algorithm,
                                                           PixelSize{settings_.width, settings_.height});
    if (outcome == PreviewOutcome::FromCache && host_) host_->UpdateAllViews();
    return outcome;
}

void CKVScaleCrafterDoc::OnPreviewReady() {
    if (host_) host_->UpdateAllViews();
}

bool CKVScaleCrafterDoc::HandlesCommand(int id) const {
    return id == CommandId::ID_PREVIEW_READY || id == CommandId::ID_VIEW_NEXT || id == CommandId::ID_VIEW_PREVIOUS;
}

CommandState CKVScaleCrafterDoc::CommandStateOf(int id) const {
    // Without an image there is no folder to step through.
    if (id == CommandId::ID_VIEW_NEXT || id == CommandId::ID_VIEW_PREVIOUS) return {HasImage(), false};
    return {};
}

void CKVScaleCrafterDoc::OnCommand(int id) {
    switch (id) {
        case CommandId::ID_PREVIEW_READY: OnPreviewReady(); break;
        case CommandId::ID_VIEW_NEXT: OnNextFile(); break;
        case CommandId::ID_VIEW_PREVIOUS: OnPreviousFile(); break;
        default: break;
    }
}

}  // namespace kv

#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/IResizeDocument.h"
#include "app/ResizeSettings.h"
#include "base/AtomicFile.h"
#include "base/CommandRouter.h"
#include "base/CommandTarget.h"
#include "base/Geometry.h"
#include "base/UserPrompt.h"
#include "document/IDocumentHost.h"
#include "document/PreviewPipeline.h"
#include "imageio/Bitmap.h"

namespace kv {

// The texts the document shows the user.
namespace DocumentText {
inline constexpr const char* kCantOpenFile = "Can't open file\n%s!";                // string 23
inline constexpr const char* kCantSaveFile = "Can't save file %s.";                 // string 147
inline constexpr const char* kCantCreateOutput =
    "Can't create output image!\r\nMaybe not enough memory!\r\n\r\n";  // string 122
}  // namespace DocumentText

// An image file read, and possibly decoded, before the document takes it: start-up reads the photo
// named on the command line on another thread while the window is being built.
struct PreparedImage {
    IoResult read;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    std::unique_ptr<Bitmap> bitmap;  // made from the bytes; decoded when asked for
    bool upright = true;             // whether pictures were turned upright when it was made
};
// Reads a file whole and opens it from memory; with decode, its pixels are decoded too. Safe to run
// on any thread.
PreparedImage PrepareImage(const std::filesystem::path& path, bool decode);

// The one image the user works on: opening it, its previews, "Resize and Save" and stepping to the
// next or previous image of its folder. Lives on the user-interface thread; only the preview
// worker runs beside it. The output settings are the application's record, which the settings bar
// edits and the document reads.
class CKVScaleCrafterDoc final : public IResizeDocument, public ICommandHandler {
public:
    // frame receives the preview worker's posted commands; prompt shows messages and beeps. Either
    // may be absent.
    CKVScaleCrafterDoc(ResizeSettings& settings, IUserPrompt* prompt, ICommandTarget* frame,
                       PreviewOptions previewOptions = {});
    ~CKVScaleCrafterDoc();
    CKVScaleCrafterDoc(const CKVScaleCrafterDoc&) = delete;
    CKVScaleCrafterDoc& operator=(const CKVScaleCrafterDoc&) = delete;

    void SetHost(IDocumentHost* host) { host_ = host; }
    // Where the preview worker posts its commands; see PreviewPipeline::SetFrame.
    void SetFrame(ICommandTarget* frame) { preview_.SetFrame(frame); }
    void SetOpener(IDocumentOpener* opener) { opener_ = opener; }

    // Opens an image file as the document's image. The whole file is read into memory first, so
    // the file itself is free again at once (and may be overwritten by its own result), and its
    // pixels are decoded unless that alone would not fit the memory budget. A file that cannot be
    // read keeps the previous image; one that does not decode (damaged or cut short) leaves no
    // image and says "Can't open file".
    bool OnOpenDocument(const std::filesystem::path& path);
    // The same with the file already read (and perhaps decoded) by PrepareImage.
    bool OnOpenDocument(const std::filesystem::path& path, PreparedImage prepared);

    // "Resize and Save" once the user chose the output path: the image resized to the output
    // settings (a plain copy when the size is the image's own) and written with SaveImage. Nothing
    // is created at the path unless the whole result is written. A resize whose memory would not
    // fit the budget is refused before it starts. A path whose extension no format is written under
    // says so and names those that are. Pixels that do not decode say "Can't open file";
    // any other failure tells why (memory, a stop) and then "Can't create output image!". progress
    // may watch the resize.
    bool OnResizeAndSave(const std::filesystem::path& output, CRSProgress* progress = nullptr);

    // Why the last open or save failed, as the imaging layer or the file system put it, where the
    // message shown names the file only ("Can't open file", "Can't save file"); empty otherwise.
    const std::string& LastFailureReason() const { return failureReason_; }
    // Whether the last "Resize and Save" failed for want of memory (its "Maybe not enough memory!"
    // is then the cause, not a guess).
    bool LastFailureWasMemory() const { return failureFromMemory_; }

    // The quality the open image's JPEG file was written at, as far as its quantisation tables tell;
    // nothing when no JPEG is open.
    std::optional<int32_t> OriginalJpegQuality() const;
    // The quality "Resize and Save" writes a JPEG at: the original's when the settings ask for the
    // same quality and the original is a JPEG, else the settings' own.
    int32_t SaveJpegQuality() const;

    // Writes a resized image of this document's source with the output settings' resolution.
    int SaveImage(Bitmap& result, std::filesystem::path path, int quiet, Bitmap& source, int32_t quality);

    // Next and Previous: open the neighbouring image of the folder, skipping those that fail to
    // open (each with its message), or beep when there is none.
    void OnNextFile() { Navigate(true); }
    void OnPreviousFile() { Navigate(false); }
    std::filesystem::path FindNeighbourFile(bool forward) const;

    // A view asks for an own-algorithm preview of a visible part (image and output coordinates).
    PreviewOutcome RequestPreview(const PixelRect& source, const PixelRect& destination);
    std::unique_ptr<Bitmap> TakeCurrentPreview() { return preview_.TakeCurrentPreview(); }
    bool HasCachedPreview(ResizeAlgorithm algorithm) const { return preview_.HasCachedResult(algorithm); }
    // ID_PREVIEW_READY arrived on the user-interface thread.
    void OnPreviewReady();
    // The document's stop of the command routing: ID_PREVIEW_READY, always enabled, and Next and
    // Previous, enabled while an image is open ("Resize and Save" needs the window's file dialog
    // first, then OnResizeAndSave).
    bool HandlesCommand(int id) const override;
    CommandState CommandStateOf(int id) const override;
    void OnCommand(int id) override;

    bool HasImage() const { return image_ != nullptr; }
    Bitmap* Image() const { return image_.get(); }
    // The image for work that may outlive the document's hold on it (decoding ahead in the background).
    std::shared_ptr<Bitmap> SharedImage() const { return image_; }
    int32_t ImageWidth() const { return width_; }
    int32_t ImageHeight() const { return height_; }
    float HorizontalResolution() const { return dpiX_; }
    const std::filesystem::path& Path() const { return path_; }
    bool IsModified() const { return modified_; }

    // What the settings bar asks of the document.
    std::optional<ImageFacts> OpenImageFacts() const override;
    void OnSettingsChanged() override;
    bool IsAdjusting() const override { return adjusting_.load(); }
    void SetAdjusting(bool adjusting) override { adjusting_.store(adjusting); }

private:
    void Navigate(bool forward);
    bool Open(const std::filesystem::path& path);
    enum class SaveOutcome { Saved, Failed, NotDecoded };
    SaveOutcome ResizeAndSave(const std::filesystem::path& output, CRSProgress* progress);
    void Say(const std::string& text);

    ResizeSettings& settings_;
    IUserPrompt* prompt_;
    IDocumentHost* host_ = nullptr;
    IDocumentOpener* opener_ = nullptr;

    std::shared_ptr<Bitmap> image_;  // shared with a preview job that may still read it
    int32_t width_ = 0;
    int32_t height_ = 0;
    float dpiX_ = 0;
    std::filesystem::path path_;
    uint64_t fileBytes_ = 0;  // the open image's file, held in memory with it
    std::string failureReason_;
    bool failureFromMemory_ = false;
    bool modified_ = false;
    std::vector<std::filesystem::path> failedCandidates_;
    std::atomic<bool> adjusting_{false};

    // Declared last and so destroyed first: the worker stops before the image goes.
    PreviewPipeline preview_;
};

}  // namespace kv

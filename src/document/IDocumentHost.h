#pragma once

#include <filesystem>

#include "app/IResizeDocument.h"

namespace kv {

// The document's windows as the document sees them: the main frame with its settings bar, and the
// views that draw the image.
class IDocumentHost {
public:
    // The open image or the previews changed: every view draws again.
    virtual void UpdateAllViews() = 0;
    // A new image is open: the main frame hands the document to the resize settings bar.
    virtual void ShowInSettingsBar(IResizeDocument& document) = 0;

protected:
    ~IDocumentHost() = default;
};

// The application's open-document call, which Next and Previous go through so that the
// application sees every file the document opens (its recent files, its title).
class IDocumentOpener {
public:
    virtual bool OpenDocumentFile(const std::filesystem::path& path) = 0;

protected:
    ~IDocumentOpener() = default;
};

}  // namespace kv

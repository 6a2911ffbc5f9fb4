#pragma once

#include <optional>

#include "app/ImageFacts.h"

namespace kv {

// The document as the settings bar sees it: the open image's facts, the notice that the output
// settings changed, and the adjusting flag. The flag is set while a spin button steps a field so
// that the preview does not restart on every step; the preview worker reads it from its own
// thread, so an implementation keeps it atomic.
class IResizeDocument {
public:
    // The open image, or nothing when the document holds none.
    virtual std::optional<ImageFacts> OpenImageFacts() const = 0;
    // The output size, correction or algorithm changed. The document restarts its preview unless
    // its adjusting flag is set.
    virtual void OnSettingsChanged() = 0;
    virtual bool IsAdjusting() const = 0;
    virtual void SetAdjusting(bool adjusting) = 0;

protected:
    ~IResizeDocument() = default;
};

}  // namespace kv

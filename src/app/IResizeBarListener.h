#pragma once

namespace kv {

// Implemented by the settings bar's window, which shows what the presenter holds.
class IResizeBarListener {
public:
    // Texts, enabled states, selections or visibility changed: show them again.
    virtual void OnBarStateChanged() = 0;
    // The bar was refreshed for a document (or none): hand it to the navigator and repaint it.
    virtual void RefreshNavigator() = 0;

protected:
    ~IResizeBarListener() = default;
};

}  // namespace kv

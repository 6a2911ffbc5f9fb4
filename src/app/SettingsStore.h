#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/BatchSettings.h"
#include "app/DesktopSettings.h"
#include "app/ResizeSettings.h"
#include "platform/ProfileStore.h"

namespace kv {

// The browser's thumbnail zoom in percent: large or small icons.
inline constexpr int32_t kLargeIconsZoom = 100;
inline constexpr int32_t kSmallIconsZoom = 66;

// Everything the program keeps between runs in its settings file, besides what other parts keep
// there themselves (the splitter, the recent files, the tree's last folder).
struct StoredSettings {
    ResizeSettings resize;
    BatchSettings batch;
    int32_t iconsZoom = kLargeIconsZoom;
    std::string browseDefault;  // the folder the browser starts in; empty for none
    // Pictures are shown and resized as their files store them, not turned upright by their
    // orientation tag (the tag is then carried into results unchanged).
    bool keepOrientation = false;
    InternetSettings internet;
};

// Reads the settings once at start-up, section by section in the order start-up needs them, and
// writes them once at exit. Every value read is validated before anything uses it: a missing or
// unreadable value, or one out of range, takes its default.
class SettingsStore {
public:
    explicit SettingsStore(const std::filesystem::path& file) : profile_(file) {}

    void LoadMain(ResizeSettings& settings) const;
    // The interface section, and how pictures stand (kept in MAIN).
    void LoadInterface(StoredSettings& settings) const;
    void LoadBatch(BatchSettings& settings) const;
    void LoadBrowser(StoredSettings& settings) const;
    void LoadInternet(InternetSettings& settings) const;
    // All five sections, as start-up reads them.
    StoredSettings LoadAll() const;

    // After a run that ended early (register, unregister, automation) nothing may be written.
    void SkipSave() { skipSave_ = true; }
    bool skipsSave() const { return skipSave_; }
    // Writes MAIN, BROWSER, INTERFACE, BATCH and INTERNET; false when the file could not be
    // written. Does nothing (and succeeds) after SkipSave.
    bool Save(const StoredSettings& settings);

    // The same settings file, for the values other parts keep there (recent files, the splitter);
    // what they write reaches the disk with Save.
    ProfileStore& profile() { return profile_; }
    const ProfileStore& profile() const { return profile_; }

private:
    ProfileStore profile_;
    bool skipSave_ = false;
};

}  // namespace kv

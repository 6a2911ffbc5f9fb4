#include "app/SettingsStore.h"

#include <cfloat>
#include <cmath>

namespace kv {

namespace {

// Sections and value names of the settings file.
constexpr std::string_view kMain = "MAIN";
constexpr std::string_view kInterface = "INTERFACE";
constexpr std::string_view kBatch = "BATCH";
constexpr std::string_view kBrowser = "BROWSER";

constexpr std::string_view kInterpolMode = "INTERPOLMODE";
constexpr std::string_view kResUnits = "RESUNITS";
constexpr std::string_view kSizeUnits = "SIZEUNITS";
constexpr std::string_view kCorrectProp = "CORRECTPROP";
constexpr std::string_view kInPercents = "INPERCENTS";
constexpr std::string_view kEditPrints = "EDITPRINTS";
constexpr std::string_view kLockSettings = "LOCKSETTINGS";
constexpr std::string_view kJpegQuality = "JPEGQUALITY";
constexpr std::string_view kApplyToAll = "APPLYTOALL";
constexpr std::string_view kWidth = "WIDTH";
constexpr std::string_view kHeight = "HEIGHT";
constexpr std::string_view kDpi = "DPI";
constexpr std::string_view kPercentW = "PERCENTW";
constexpr std::string_view kPercentH = "PERCENTH";
constexpr std::string_view kIconsZoom = "ICONSZOOM";
constexpr std::string_view kDefault = "DEFAULT";
constexpr std::string_view kOverwriteMethod = "OVERWRITEMETHOD";
constexpr std::string_view kOutFormat = "OUTFORMAT";
constexpr std::string_view kOutFolder = "OUTFOLDER";
constexpr std::string_view kNewName = "NEWNAME";
constexpr std::string_view kSameFolder = "SAMEFOLDER";

// A resolution as a float; a number no float holds is left to validation as not a number.
float AsFloat(double value) { return std::fabs(value) <= FLT_MAX ? static_cast<float>(value) : NAN; }

}  // namespace

void SettingsStore::LoadMain(ResizeSettings& s) const {
    const ResizeSettings defaults;
    const auto flag = [&](std::string_view name, bool fallback) { return profile_.ReadInt(kMain, name, fallback) != 0; };
    s.algorithm = ValidResizeAlgorithm(profile_.ReadInt(kMain, kInterpolMode, defaults.algorithm));
    s.resolutionUnit = ValidResolutionUnit(profile_.ReadInt(kMain, kResUnits, static_cast<int32_t>(defaults.resolutionUnit)));
    s.printUnit = ValidPrintUnit(profile_.ReadInt(kMain, kSizeUnits, static_cast<int32_t>(defaults.printUnit)));
    s.correction = ValidSizeCorrection(profile_.ReadInt(kMain, kCorrectProp, static_cast<int32_t>(defaults.correction)));
    s.inPercents = flag(kInPercents, defaults.inPercents);
    s.editPrints = flag(kEditPrints, defaults.editPrints);
    s.lockSettings = flag(kLockSettings, defaults.lockSettings);
    s.jpegQuality = profile_.ReadInt(kMain, kJpegQuality, defaults.jpegQuality);
    s.applyToNew = flag(kApplyToAll, defaults.applyToNew);
    s.width = profile_.ReadInt(kMain, kWidth, defaults.width);
    s.height = profile_.ReadInt(kMain, kHeight, defaults.height);
    s.dpi = AsFloat(profile_.ReadDecimal(kMain, kDpi, defaults.dpi));
    s.percentWidth = profile_.ReadDecimal(kMain, kPercentW, defaults.percentWidth);
    s.percentHeight = profile_.ReadDecimal(kMain, kPercentH, defaults.percentHeight);
    s.Validate();
}

void SettingsStore::LoadInterface(StoredSettings& s) const {
    // The menus offer exactly two zooms; any other number would size the cells oddly.
    const int32_t zoom = profile_.ReadInt(kInterface, kIconsZoom, kLargeIconsZoom);
    s.iconsZoom = zoom == kSmallIconsZoom ? kSmallIconsZoom : kLargeIconsZoom;
}

void SettingsStore::LoadBatch(BatchSettings& s) const {
    const BatchSettings defaults;
    s.policy = ValidCollisionPolicy(profile_.ReadInt(kBatch, kOverwriteMethod, static_cast<int32_t>(defaults.policy)));
    s.format = ValidOutputFormat(profile_.ReadInt(kBatch, kOutFormat, static_cast<int32_t>(defaults.format)));
    s.outputFolder = profile_.ReadText(kBatch, kOutFolder, defaults.outputFolder);
    s.newName = profile_.ReadInt(kBatch, kNewName, defaults.newName) != 0;
    s.jpegQuality = profile_.ReadInt(kBatch, kJpegQuality, defaults.jpegQuality);
    s.sameFolder = profile_.ReadInt(kBatch, kSameFolder, defaults.sameFolder) != 0;
    s.Validate();
}

void SettingsStore::LoadBrowser(StoredSettings& s) const { s.browseDefault = profile_.ReadText(kBrowser, kDefault, ""); }

StoredSettings SettingsStore::LoadAll() const {
    StoredSettings s;
    LoadMain(s.resize);
    LoadInterface(s);
    LoadBatch(s.batch);
    LoadBrowser(s);
    return s;
}

bool SettingsStore::Save(const StoredSettings& s) {
    if (skipSave_) return true;
    const ResizeSettings& r = s.resize;
    profile_.WriteInt(kMain, kInterpolMode, r.algorithm);
    profile_.WriteInt(kMain, kResUnits, static_cast<int32_t>(r.resolutionUnit));
    profile_.WriteInt(kMain, kSizeUnits, static_cast<int32_t>(r.printUnit));
    profile_.WriteInt(kMain, kCorrectProp, static_cast<int32_t>(r.correction));
    profile_.WriteInt(kMain, kInPercents, r.inPercents);
    profile_.WriteInt(kMain, kEditPrints, r.editPrints);
    profile_.WriteInt(kMain, kLockSettings, r.lockSettings);
    profile_.WriteInt(kMain, kJpegQuality, r.jpegQuality);
    profile_.WriteInt(kMain, kApplyToAll, r.applyToNew);
    profile_.WriteInt(kMain, kWidth, r.width);
    profile_.WriteInt(kMain, kHeight, r.height);
    profile_.WriteDecimal(kMain, kDpi, r.dpi);
    profile_.WriteDecimal(kMain, kPercentW, r.percentWidth);
    profile_.WriteDecimal(kMain, kPercentH, r.percentHeight);

    profile_.WriteText(kBrowser, kDefault, s.browseDefault);
    profile_.WriteInt(kInterface, kIconsZoom, s.iconsZoom);

    const BatchSettings& b = s.batch;
    profile_.WriteInt(kBatch, kOverwriteMethod, static_cast<int32_t>(b.policy));
    profile_.WriteInt(kBatch, kOutFormat, static_cast<int32_t>(b.format));
    profile_.WriteText(kBatch, kOutFolder, b.outputFolder);
    profile_.WriteInt(kBatch, kNewName, b.newName);
    profile_.WriteInt(kBatch, kJpegQuality, b.jpegQuality);
    profile_.WriteInt(kBatch, kSameFolder, b.sameFolder);
    return profile_.Flush();
}

}  // namespace kv

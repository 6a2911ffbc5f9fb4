#include "app/SettingsStore.h"

#include <cfloat>
#include <cmath>
#include <tuple>
#include <type_traits>

namespace kv {

namespace {

// Sections of the settings file.
constexpr std::string_view kMain = "MAIN";
constexpr std::string_view kInterface = "INTERFACE";
constexpr std::string_view kBatch = "BATCH";
constexpr std::string_view kBrowser = "BROWSER";
constexpr std::string_view kInternet = "INTERNET";

// One persisted value: where it is stored and the field of its record that holds it. The field's
// type says how it is stored (whole numbers, flags and enumerations as numbers, resolutions and
// percentages as decimal text, folders as text), and the record's default is the value a missing
// or unreadable entry takes.
template <class Record, class T>
struct Setting {
    std::string_view section;
    std::string_view name;
    T Record::*field;
};

// clang-format off
constexpr auto kMainSettings = std::make_tuple(
    Setting{kMain, "INTERPOLMODE", &ResizeSettings::algorithm},
    Setting{kMain, "RESUNITS", &ResizeSettings::resolutionUnit},
    Setting{kMain, "SIZEUNITS", &ResizeSettings::printUnit},
    Setting{kMain, "CORRECTPROP", &ResizeSettings::correction},
    Setting{kMain, "INPERCENTS", &ResizeSettings::inPercents},
    Setting{kMain, "EDITPRINTS", &ResizeSettings::editPrints},
    Setting{kMain, "LOCKSETTINGS", &ResizeSettings::lockSettings},
    Setting{kMain, "JPEGQUALITY", &ResizeSettings::jpegQuality},
    Setting{kMain, "SAMEJPEGQUALITY", &ResizeSettings::sameJpegQuality},
    Setting{kMain, "APPLYTOALL", &ResizeSettings::applyToNew},
    Setting{kMain, "WIDTH", &ResizeSettings::width},
    Setting{kMain, "HEIGHT", &ResizeSettings::height},
    Setting{kMain, "DPI", &ResizeSettings::dpi},
    Setting{kMain, "PERCENTW", &ResizeSettings::percentWidth},
    Setting{kMain, "PERCENTH", &ResizeSettings::percentHeight});

constexpr auto kPictureSettings = std::make_tuple(
    Setting{kMain, "KEEPORIENTATION", &StoredSettings::keepOrientation});

constexpr auto kBrowserSettings = std::make_tuple(
    Setting{kBrowser, "DEFAULT", &StoredSettings::browseDefault});

constexpr auto kInterfaceSettings = std::make_tuple(
    Setting{kInterface, "ICONSZOOM", &StoredSettings::iconsZoom});

constexpr auto kBatchSettings = std::make_tuple(
    Setting{kBatch, "OVERWRITEMETHOD", &BatchSettings::policy},
    Setting{kBatch, "OUTFORMAT", &BatchSettings::format},
    Setting{kBatch, "OUTFOLDER", &BatchSettings::outputFolder},
    Setting{kBatch, "NEWNAME", &BatchSettings::newName},
    Setting{kBatch, "JPEGQUALITY", &BatchSettings::jpegQuality},
    Setting{kBatch, "SAMEFOLDER", &BatchSettings::sameFolder});

constexpr auto kInternetSettings = std::make_tuple(
    Setting{kInternet, "HOMEPAGE", &InternetSettings::homePage},
    Setting{kInternet, "UPDATEADDRESS", &InternetSettings::updateAddress},
    Setting{kInternet, "CHECKATSTART", &InternetSettings::checkAtStart});
// clang-format on

// A resolution as a float; a number no float holds is left to validation as not a number.
float AsFloat(double value) { return std::fabs(value) <= FLT_MAX ? static_cast<float>(value) : NAN; }

template <class Record, class T>
void ReadSetting(const ProfileStore& profile, const Setting<Record, T>& s, Record& record) {
    static const Record defaults;
    const T& fallback = defaults.*s.field;
    T& value = record.*s.field;
    if constexpr (std::is_same_v<T, bool>) {
        value = profile.ReadInt(s.section, s.name, fallback) != 0;
    } else if constexpr (std::is_enum_v<T>) {
        value = static_cast<T>(profile.ReadInt(s.section, s.name, static_cast<int32_t>(fallback)));
    } else if constexpr (std::is_same_v<T, int32_t>) {
        value = profile.ReadInt(s.section, s.name, fallback);
    } else if constexpr (std::is_same_v<T, float>) {
        value = AsFloat(profile.ReadDecimal(s.section, s.name, fallback));
    } else if constexpr (std::is_same_v<T, double>) {
        value = profile.ReadDecimal(s.section, s.name, fallback);
    } else {
        static_assert(std::is_same_v<T, std::string>);
        value = profile.ReadText(s.section, s.name, fallback);
    }
}

template <class Record, class T>
void WriteSetting(ProfileStore& profile, const Setting<Record, T>& s, const Record& record) {
    const T& value = record.*s.field;
    if constexpr (std::is_same_v<T, bool> || std::is_enum_v<T> || std::is_same_v<T, int32_t>) {
        profile.WriteInt(s.section, s.name, static_cast<int32_t>(value));
    } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
        profile.WriteDecimal(s.section, s.name, value);
    } else {
        profile.WriteText(s.section, s.name, value);
    }
}

template <class Record, class... T>
void ReadSettings(const ProfileStore& profile, const std::tuple<Setting<Record, T>...>& settings, Record& record) {
    std::apply([&](const auto&... s) { (ReadSetting(profile, s, record), ...); }, settings);
}

template <class Record, class... T>
void WriteSettings(ProfileStore& profile, const std::tuple<Setting<Record, T>...>& settings, const Record& record) {
    std::apply([&](const auto&... s) { (WriteSetting(profile, s, record), ...); }, settings);
}

}  // namespace

void SettingsStore::LoadMain(ResizeSettings& s) const {
    ReadSettings(profile_, kMainSettings, s);
    s.Validate();
}

void SettingsStore::LoadInterface(StoredSettings& s) const {
    ReadSettings(profile_, kInterfaceSettings, s);
    ReadSettings(profile_, kPictureSettings, s);
    // The menus offer exactly two zooms; any other number would size the cells oddly.
    if (s.iconsZoom != kSmallIconsZoom) s.iconsZoom = kLargeIconsZoom;
}

void SettingsStore::LoadBatch(BatchSettings& s) const {
    ReadSettings(profile_, kBatchSettings, s);
    s.Validate();
}

void SettingsStore::LoadBrowser(StoredSettings& s) const { ReadSettings(profile_, kBrowserSettings, s); }

void SettingsStore::LoadInternet(InternetSettings& s) const {
    ReadSettings(profile_, kInternetSettings, s);
    s.Validate();
}

StoredSettings SettingsStore::LoadAll() const {
    StoredSettings s;
    LoadMain(s.resize);
    LoadInterface(s);
    LoadBatch(s.batch);
    LoadBrowser(s);
    LoadInternet(s.internet);
    return s;
}

bool SettingsStore::Save(const StoredSettings& s) {
    if (skipSave_) return true;
    WriteSettings(profile_, kMainSettings, s.resize);
    WriteSettings(profile_, kPictureSettings, s);
    WriteSettings(profile_, kBrowserSettings, s);
    WriteSettings(profile_, kInterfaceSettings, s);
    WriteSettings(profile_, kBatchSettings, s.batch);
    WriteSettings(profile_, kInternetSettings, s.internet);
    return profile_.Flush();
}

}  // namespace kv

#include "app/DesktopSettings.h"

#include <charconv>
#include <tuple>
#include <cstdio>
#include <vector>

#include "platform/ProfileStore.h"

namespace kv {

namespace {
constexpr std::string_view kSplitter = "SPLITTER";
constexpr std::string_view kRightHeight = "RIGHTHEIGHT";

bool IsWebAddress(std::string_view text) { return text.starts_with("https://") || text.starts_with("http://"); }
}  // namespace

void InternetSettings::Validate() {
    if (!IsWebAddress(homePage)) homePage = kDefaultHomePage;
    if (!IsWebAddress(updateAddress)) updateAddress.clear();
}

std::optional<int> ReadRightHeight(const ProfileStore& profile) {
    if (!profile.Contains(kSplitter, kRightHeight)) return std::nullopt;
    return profile.ReadInt(kSplitter, kRightHeight, 0);
}

void WriteRightHeight(ProfileStore& profile, int height) { profile.WriteInt(kSplitter, kRightHeight, height); }

std::optional<ProgramVersion> ParseVersionText(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    std::vector<uint16_t> parts;
    while (!text.empty()) {
        uint16_t part = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), part);
        if (error != std::errc() || end == text.data()) return std::nullopt;
        parts.push_back(part);
        text.remove_prefix(static_cast<size_t>(end - text.data()));
        if (text.empty()) break;
        if (text.front() != '.' || text.size() == 1) return std::nullopt;
        text.remove_prefix(1);
    }
    if (parts.size() < 2 || parts.size() > 4) return std::nullopt;
    parts.resize(4, 0);
    return ProgramVersion{parts[0], parts[1], parts[2], parts[3]};
}

bool IsNewer(const ProgramVersion& a, const ProgramVersion& b) {
    const auto key = [](const ProgramVersion& v) { return std::tuple(v.major, v.minor, v.build, v.revision); };
    return key(a) > key(b);
}

std::string VersionText(const ProgramVersion& v) {
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", v.major, v.minor, v.build, v.revision);
    return text;
}

std::string AboutVersionLine(const ProgramVersion& version) { return "KARVO Scale Crafter v. " + VersionText(version); }

std::string UpdateAnswerText(const std::optional<ProgramVersion>& latest, const ProgramVersion& current) {
    if (!latest) return std::string(kNoUpdateInformation);
    if (IsNewer(*latest, current))
        return "A newer version of KARVO Scale Crafter is available: " + VersionText(*latest) + ".\nYou have " +
               VersionText(current) + ".";
    return "KARVO Scale Crafter " + VersionText(current) + " is the latest version.";
}

}  // namespace kv

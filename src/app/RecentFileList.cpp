#include "app/RecentFileList.h"

#include <algorithm>
#include <string>

#include "platform/ProfileStore.h"

namespace kv {

namespace {
constexpr std::string_view kSection = "Recent File List";
std::string KeyOf(size_t index) { return "File" + std::to_string(index + 1); }
}  // namespace

void RecentFileList::Load(const ProfileStore& profile) {
    files_.clear();
    for (size_t i = 0; i < kSize; ++i) {
        const std::string text = profile.ReadText(kSection, KeyOf(i), "");
        if (text.empty() || text.find('\0') != std::string::npos) continue;
        const std::filesystem::path path(text);
        if (path.is_absolute() && std::find(files_.begin(), files_.end(), path) == files_.end()) files_.push_back(path);
    }
}

void RecentFileList::Save(ProfileStore& profile) const {
    for (size_t i = 0; i < kSize; ++i) profile.WriteText(kSection, KeyOf(i), i < files_.size() ? files_[i].string() : "");
}

void RecentFileList::Add(const std::filesystem::path& path) {
    Remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > kSize) files_.resize(kSize);
}

void RecentFileList::Remove(const std::filesystem::path& path) { std::erase(files_, path); }

std::string RecentFileList::MenuText(size_t index) const {
    const std::filesystem::path& path = files_.at(index);
    const bool ambiguous = std::count_if(files_.begin(), files_.end(), [&](const std::filesystem::path& other) {
                               return other.filename() == path.filename();
                           }) > 1;
    std::string name = ambiguous ? path.string() : path.filename().string();
    // An ampersand in a file name is shown, not taken for a mnemonic.
    std::string escaped;
    for (char c : name) {
        if (c == '&') escaped += '&';
        escaped += c;
    }
    return "&" + std::to_string(index + 1) + " " + escaped;
}

}  // namespace kv

#include "app/PresetPicker.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <system_error>

#include "platform/SpecialFolders.h"

namespace kv {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::string la = Lowered(a), lb = Lowered(b);
    return la != lb ? la < lb : a < b;
}

// Why a name cannot be the file name of a preset (it is the file's name without its extension),
// or nothing when it can.
std::optional<std::string> NameProblem(std::string_view name, std::string_view extension) {
    const std::string quoted = "The name \"" + std::string(name.substr(0, name.find('\0'))) + "\" cannot be used:\n";
    if (name == "." || name == "..") return quoted + "\".\" and \"..\" name folders, not files.";
    if (name.find('/') != std::string_view::npos)
        return quoted + "it becomes a file name, and a file name can't contain \"/\".";
    if (name.find('\0') != std::string_view::npos) return quoted + "it holds a character a file name can't hold.";
    const size_t longest = NAME_MAX - 1 - extension.size();
    if (name.size() > longest)
        return quoted + "it is too long for a file name (at most " + std::to_string(longest) + " bytes).";
    return std::nullopt;
}

}  // namespace

std::vector<std::string> ListPresets(const std::filesystem::path& folder, std::string_view extension) {
    std::vector<std::string> names;
    const std::string suffix = "." + Lowered(extension);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string file = it->path().filename().string();
        if (file.size() <= suffix.size() || !Lowered(file).ends_with(suffix)) continue;
        names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

PresetPicker::PresetPicker(std::string title, std::filesystem::path folder, std::string extension,
                           PresetPickerMode mode, IUserPrompt& prompt)
    : title_(std::move(title)), folder_(std::move(folder)), extension_(std::move(extension)), mode_(mode),
      prompt_(prompt) {}

bool PresetPicker::Open() {
    names_.clear();
    if (!EnsureFolder(folder_)) return false;
    names_ = ListPresets(folder_, extension_);
    return true;
}

const std::string* PresetPicker::Find(std::string_view name) const {
    if (const auto exact = std::find(names_.begin(), names_.end(), name); exact != names_.end()) return &*exact;
    const std::string lowered = Lowered(name);
    for (const auto& listed : names_)
        if (Lowered(listed) == lowered) return &listed;
    return nullptr;
}

std::filesystem::path PresetPicker::PathOf(const std::string& name) const { return folder_ / (name + "." + extension_); }

bool PresetPicker::Accept(std::string_view name) {
    chosen_.clear();
    if (name.empty()) return false;
    if (const std::optional<std::string> problem = NameProblem(name, extension_)) {
        prompt_.ShowMessage(*problem);
        return false;
    }
    const std::string* listed = Find(name);
    if (mode_ == PresetPickerMode::Load) {
        if (!listed) {
            prompt_.ShowMessage("No such name exists.");
            return false;
        }
    } else if (listed && !prompt_.AskYesNo("This file already exists.\nOverwrite?")) {
        return false;
    }
    chosen_ = PathOf(listed ? *listed : std::string(name));
    return true;
}

bool PresetPicker::Delete(std::string_view name) {
    const std::string* listed = Find(name);
    if (!listed || !prompt_.AskYesNo("Delete this entry?")) return false;
    std::error_code ec;
    // An entry whose file cannot be removed stays listed, as it stays on disk.
    if (!std::filesystem::remove(PathOf(*listed), ec) && ec) return false;
    names_.erase(names_.begin() + (listed - names_.data()));
    return true;
}

}  // namespace kv

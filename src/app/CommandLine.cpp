#include "app/CommandLine.h"

#include <array>
#include <optional>
#include <string_view>
#include <system_error>

#include "imageio/ImageFiles.h"

namespace kv {

namespace {

enum class Switch { Register, Unregister, Automation, Ignored };

struct KnownSwitch {
    std::string_view name;
    Switch meaning;
};

constexpr std::array<KnownSwitch, 13> kSwitches{{
    {"register", Switch::Register},
    {"regserver", Switch::Register},
    {"registerperuser", Switch::Register},
    {"regserverperuser", Switch::Register},
    {"unregister", Switch::Unregister},
    {"unregserver", Switch::Unregister},
    {"unregisterperuser", Switch::Unregister},
    {"unregserverperuser", Switch::Unregister},
    {"embedding", Switch::Automation},
    {"automation", Switch::Automation},
    {"p", Switch::Ignored},
    {"pt", Switch::Ignored},
    {"dde", Switch::Ignored},
}};

std::optional<Switch> KnownSwitchNamed(std::string_view name) {
    std::string lowered(name);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const auto& known : kSwitches)
        if (known.name == lowered) return known.meaning;
    return std::nullopt;
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

StartOpen StartupRequest::open() const {
    if (files.empty()) return StartOpen::Nothing;
    return files.size() == 1 ? StartOpen::Document : StartOpen::BatchList;
}

StartupRequest ParseCommandLine(const std::vector<std::string>& arguments,
                                const std::function<bool(const std::string&)>& pathExists) {
    const auto exists = pathExists ? pathExists : PathExists;
    StartupRequest request;
    bool registration = false, automation = false, information = false, switchesEnded = false;
    for (const std::string& argument : arguments) {
        if (argument.empty()) continue;
        std::optional<Switch> meaning;
        bool isSwitch = false;
        if (!switchesEnded && argument == "--") {
            switchesEnded = true;
            continue;
        }
        if (!switchesEnded && (argument == "-h" || argument == "--help" || argument == "--version")) {
            // What a Linux user asks any program first; it ends the run before anything else.
            if (request.action != StartAction::Help) request.action = argument == "--version" ? StartAction::Version : StartAction::Help;
            information = true;
            continue;
        }
        if (!switchesEnded && argument.front() == '-') {
            isSwitch = true;
            const std::string_view name = std::string_view(argument).substr(argument.starts_with("--") ? 2 : 1);
            meaning = KnownSwitchNamed(name);
        } else if (!switchesEnded && argument.front() == '/') {
            meaning = KnownSwitchNamed(std::string_view(argument).substr(1));
            isSwitch = meaning.has_value() && !exists(argument);
        }
        if (isSwitch) {
            if (information) continue;
            if (meaning == Switch::Register || meaning == Switch::Unregister) {
                request.action = *meaning == Switch::Register ? StartAction::Register : StartAction::Unregister;
                registration = true;
            } else if (meaning == Switch::Automation) {
                automation = true;
            }
            continue;
        }
        if (!IsSupportedImage(argument)) continue;
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(argument, ec);
        request.files.push_back(ec ? std::filesystem::path(argument) : absolute);
    }
    // A register or unregister run ends before the automation server would start.
    if (!registration && !information && automation) request.action = StartAction::Automation;
    return request;
}

}  // namespace kv

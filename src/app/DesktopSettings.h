#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/ProgramVersion.h"

namespace kv {

class ProfileStore;

// The program's internet addresses, kept in the settings file's section "INTERNET" (by the
// settings store) so that a user or an administrator can set them: the maker's home page, and where
// the update check asks for the latest version (none by default: the program contacts no server
// unless told where). The check at start-up is off by default as well.
struct InternetSettings {
    static constexpr std::string_view kDefaultHomePage = "https://www.karvo-imaging.example/scalecrafter/";

    std::string homePage{kDefaultHomePage};
    std::string updateAddress;
    bool checkAtStart = false;

    // Only web addresses are opened or asked: another home page is the default one, another update
    // address none.
    void Validate();
};

// The height of the main view's row in batch mode, kept in the section "SPLITTER".
std::optional<int> ReadRightHeight(const ProfileStore& profile);
void WriteRightHeight(ProfileStore& profile, int height);

// The answer of an update server: the latest version as plain text ("3.6.1" or "3.6.1.0", blanks
// and a line break around it allowed). Nothing for any other text.
std::optional<ProgramVersion> ParseVersionText(std::string_view text);
bool IsNewer(const ProgramVersion& latest, const ProgramVersion& current);

// What "Check For Update" tells the user: the latest version when the server answered, else that
// no update information is available.
std::string UpdateAnswerText(const std::optional<ProgramVersion>& latest, const ProgramVersion& current);
inline constexpr std::string_view kNoUpdateInformation = "No update information is available.";

// "3.5.0.0"
std::string VersionText(const ProgramVersion& version);
// The About box's version line: "KARVO Scale Crafter v. 3.5.0.0".
std::string AboutVersionLine(const ProgramVersion& version);

}  // namespace kv

#include "app/HelpPages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "common/TestFiles.h"

namespace kv {
namespace {

// Every page a part of the window names is in the manual, with the part's anchor: F1 on a renamed
// page would otherwise land on the first page without a word.
TEST(HelpPagesTest, EveryNamedPageAndAnchorIsInTheManual) {
    const std::filesystem::path manual = std::filesystem::path(KV_SOURCE_DIR) / "help";
    for (const std::string page : {help::kWindow, help::kView, help::kSizes, help::kCorrection, help::kAlgorithms,
                                   help::kBatch, help::kBrowse, help::kKvscale, help::kFiles}) {
        SCOPED_TRACE(page);
        const std::string file = page.substr(0, page.find('#'));
        ASSERT_TRUE(std::filesystem::is_regular_file(manual / file));
        if (page.find('#') == std::string::npos) continue;
        const auto bytes = test::ReadBytes(manual / file);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(text.find("id=\"" + page.substr(page.find('#') + 1) + "\""), std::string::npos);
    }
}

// Every picture and page a page of the manual shows or links to is installed beside it.
TEST(HelpPagesTest, EveryPictureAndLinkOfTheManualIsThere) {
    const std::filesystem::path manual = std::filesystem::path(KV_SOURCE_DIR) / "help";
    const std::regex reference(R"#((?:src|href)="([^"#:]+)[^"]*")#");
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(manual)) {
        if (entry.path().extension() != ".html") continue;
        const auto bytes = test::ReadBytes(entry.path());
        const std::string text(bytes.begin(), bytes.end());
        for (auto it = std::sregex_iterator(text.begin(), text.end(), reference); it != std::sregex_iterator(); ++it) {
            const std::string target = (*it)[1];
            EXPECT_TRUE(std::filesystem::is_regular_file(manual / target)) << entry.path().filename() << ": " << target;
            pictures += target.starts_with("images/") ? 1 : 0;
        }
    }
    EXPECT_GE(pictures, 14);  // the window, the part and the ten algorithms, batch mode, the browse window
}

}  // namespace
}  // namespace kv

#include "app/HelpPages.h"

#include <gtest/gtest.h>

#include <filesystem>
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

}  // namespace
}  // namespace kv

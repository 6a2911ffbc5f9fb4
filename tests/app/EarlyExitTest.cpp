#include "app/EarlyExit.h"

#include <gtest/gtest.h>

#include "app/PluginDescription.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

TEST(EarlyExitTest, RegisterAndUnregisterRunsEndWithoutAWindow) {
    test::TempDir dir;
    SpecialFolders folders;
    folders.dataHome = dir / "data";
    const auto plugin = folders.PluginsFolder() / PluginFileName(CurrentProgramVersion());
    const auto entry = folders.ApplicationsFolder() / kDesktopEntryFileName;
    const auto none = [](const std::string&) { return false; };

    EXPECT_FALSE(RunEarlyExit(ParseCommandLine({"/x/a.jpg"}, none), folders));
    EXPECT_FALSE(std::filesystem::exists(folders.dataHome));

    EXPECT_TRUE(RunEarlyExit(ParseCommandLine({"/Register"}, none), folders));
    EXPECT_TRUE(std::filesystem::exists(plugin));
    EXPECT_TRUE(std::filesystem::exists(entry));

    EXPECT_TRUE(RunEarlyExit(ParseCommandLine({"-Embedding"}, none), folders));
    EXPECT_TRUE(std::filesystem::exists(plugin));

    EXPECT_TRUE(RunEarlyExit(ParseCommandLine({"/Unregister"}, none), folders));
    EXPECT_FALSE(std::filesystem::exists(plugin));
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_TRUE(RunEarlyExit(ParseCommandLine({"/Unregister"}, none), folders));
}

}  // namespace
}  // namespace kv

#include "app/PluginDescription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "app/DesktopEntryText.h"

#include "common/TestFiles.h"

namespace kv {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

TEST(PluginDescriptionTest, FileNameFromTheVersion) {
    EXPECT_EQ(PluginFileName({3, 5}), "KVScaleCrafter.03.05.kvplugin");
    EXPECT_EQ(PluginFileName({3, 0}), "KVScaleCrafter.03.00.kvplugin");
    EXPECT_EQ(PluginFileName({10, 2}), "KVScaleCrafter.0a.02.kvplugin");
    EXPECT_EQ(PluginFileName({0x1ab, 0xffff}), "KVScaleCrafter.1ab.ffff.kvplugin");
    EXPECT_EQ(PluginFileName(CurrentProgramVersion()), "KVScaleCrafter.03.05.kvplugin");
}

TEST(PluginDescriptionTest, TheDescriptionDocument) {
    EXPECT_EQ(BuildPluginDescription("/opt/kv/kvscalecrafter"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<kvplugin>\n"
              "    <general path=\"/opt/kv/kvscalecrafter\" icon=\"/opt/kv/kvscalecrafter,128\" type=\"exe\" "
              "call=\"cmdline\"/>\n"
              "    <plugins>\n"
              "        <plugin>\n"
              "            <interface icon=\"/opt/kv/kvscalecrafter,128\" "
              "text=\"KARVO Scale Crafter|Scale Crafter|&amp;Scale Crafter\" group=\"3\"/>\n"
              "            <special mode=\"browse\" files-type=\"image\" files-count-min=\"1\" "
              "files-count-max=\"-1\"/>\n"
              "        </plugin>\n"
              "    </plugins>\n"
              "</kvplugin>\n");
    // Markup in the path is escaped, not taken as markup.
    const std::string odd = BuildPluginDescription("/a \"b\" <c> & d/prog");
    EXPECT_NE(odd.find("path=\"/a &quot;b&quot; &lt;c&gt; &amp; d/prog\""), std::string::npos);
}

TEST(PluginDescriptionTest, MenuEntryCommandLineIsQuotedForTheDesktop) {
    const std::string entry = BuildDesktopEntry("/opt/my \"kv\" $dir\\100%/kvscalecrafter");
    EXPECT_NE(entry.find("\nExec=\"/opt/my \\\\\"kv\\\\\" \\\\$dir\\\\\\\\100%%/kvscalecrafter\" %F\n"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("\nMimeType=image/jpeg;image/png;image/tiff;image/gif;image/bmp;\n"), std::string::npos);
    EXPECT_NE(entry.find("\nTryExec=/opt/my \"kv\" $dir\\\\100%/kvscalecrafter\n"), std::string::npos) << entry;
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\nType=Application\n"));
    // Everything else is the installed entry's.
    EXPECT_NE(entry.find(std::string("\nIcon=") + kApplicationId + "\n"), std::string::npos);
    EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), std::count(kInstalledDesktopEntry, kInstalledDesktopEntry + std::strlen(kInstalledDesktopEntry), '\n'));
}

TEST(PluginDescriptionTest, RegisterTwiceLeavesOneFileOfEachKind) {
    test::TempDir dir;
    const PluginInstallation installation{dir / "data" / "KARVO" / "PLUGINS", dir / "data" / "applications",
                                          "/opt/kv/kvscalecrafter", {3, 5}};
    ASSERT_TRUE(RegisterPlugin(installation));
    const std::string first = ReadText(installation.pluginsFolder / "KVScaleCrafter.03.05.kvplugin");
    ASSERT_TRUE(RegisterPlugin(installation));
    EXPECT_EQ(ReadText(installation.pluginsFolder / "KVScaleCrafter.03.05.kvplugin"), first);
    EXPECT_EQ(first, BuildPluginDescription("/opt/kv/kvscalecrafter"));
    EXPECT_EQ(ReadText(installation.applicationsFolder / kDesktopEntryFileName),
              BuildDesktopEntry("/opt/kv/kvscalecrafter"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(installation.pluginsFolder), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(installation.applicationsFolder), {}), 1);

    ASSERT_TRUE(UnregisterPlugin(installation));
    EXPECT_FALSE(std::filesystem::exists(installation.pluginsFolder.parent_path()));  // made by registering, now empty
    EXPECT_TRUE(std::filesystem::is_empty(installation.applicationsFolder));
}

TEST(PluginDescriptionTest, DescriptionsOfOtherVersionsOfTheSameProgramDoNotLinger) {
    test::TempDir dir;
    const PluginInstallation installation{dir / "KARVO" / "PLUGINS", dir / "applications", "/opt/kv/kvscalecrafter", {3, 5}};
    const PluginInstallation older{installation.pluginsFolder, installation.applicationsFolder, installation.programPath, {3, 4}};
    const PluginInstallation elsewhere{installation.pluginsFolder, installation.applicationsFolder, "/home/u/kv/kvscalecrafter", {3, 3}};
    ASSERT_TRUE(RegisterPlugin(older));
    ASSERT_TRUE(RegisterPlugin(elsewhere));
    test::WriteBytes(installation.pluginsFolder / "Other.01.00.kvplugin", {'x'});  // a host's own
    test::WriteBytes(installation.applicationsFolder / "KVScaleCrafter.desktop", {'x'});  // the old entry name

    ASSERT_TRUE(RegisterPlugin(installation));
    EXPECT_FALSE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.04.kvplugin"));
    EXPECT_TRUE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.03.kvplugin"));
    EXPECT_TRUE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.05.kvplugin"));
    EXPECT_FALSE(std::filesystem::exists(installation.applicationsFolder / "KVScaleCrafter.desktop"));

    ASSERT_TRUE(RegisterPlugin(older));
    ASSERT_TRUE(UnregisterPlugin(installation));  // takes the older version's description too
    EXPECT_FALSE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.04.kvplugin"));
    EXPECT_FALSE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.05.kvplugin"));
    EXPECT_TRUE(std::filesystem::exists(installation.pluginsFolder / "KVScaleCrafter.03.03.kvplugin"));
    EXPECT_TRUE(std::filesystem::exists(installation.pluginsFolder / "Other.01.00.kvplugin"));
}

TEST(PluginDescriptionTest, ThisProgramsInstallationUsesTheDesktopFolders) {
    SpecialFolders folders;
    folders.dataHome = "/d";
    const PluginInstallation installation = ThisProgramsInstallation(folders);
    EXPECT_EQ(installation.pluginsFolder, "/d/KARVO/PLUGINS");
    EXPECT_EQ(installation.applicationsFolder, "/d/applications");
    EXPECT_EQ(installation.programPath.filename(), "test_app");
    EXPECT_EQ(PluginFileName(installation.version), "KVScaleCrafter.03.05.kvplugin");
}

TEST(PluginDescriptionTest, UnregisterWithoutRegistrationSucceeds) {
    test::TempDir dir;
    EXPECT_TRUE(UnregisterPlugin({dir / "KARVO" / "PLUGINS", dir / "applications", "/p", {3, 5}}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(PluginDescriptionTest, RegisterIntoAnUnusableFolderFailsQuietly) {
    test::TempDir dir;
    test::WriteBytes(dir / "data", {1});
    EXPECT_FALSE(RegisterPlugin({dir / "data" / "KARVO" / "PLUGINS", dir / "data" / "applications", "/p", {3, 5}}));
    EXPECT_EQ(test::ReadBytes(dir / "data"), std::vector<uint8_t>{1});
}

}  // namespace
}  // namespace kv

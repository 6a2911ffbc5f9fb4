#include "platform/SpecialFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TestFiles.h"

namespace kv {
namespace {

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(SpecialFoldersTest, FilesAndFoldersOfTheProgram) {
    SpecialFolders folders;
    folders.configHome = "/c";
    folders.dataHome = "/d";
    folders.cacheHome = "/k";
    folders.programFolder = "/opt/kv";
    EXPECT_EQ(folders.SettingsFile(), "/c/KARVO Imaging/KARVO Scale Crafter.conf");
    EXPECT_EQ(folders.WinIniFile(), "/c/KARVO Imaging/win.ini");
    EXPECT_EQ(folders.PresetFolder("Settings"), "/d/KARVO Scale Crafter/Settings");
    EXPECT_EQ(folders.PresetFolder("Batches"), "/d/KARVO Scale Crafter/Batches");
    EXPECT_EQ(folders.PluginsFolder(), "/d/KARVO/PLUGINS");
    EXPECT_EQ(folders.ApplicationsFolder(), "/d/applications");
    EXPECT_EQ(folders.CacheFolder(), "/k/KARVO Imaging");
    EXPECT_EQ(folders.ResourceFile(), "/opt/kv/Res/resourses.ini");
    EXPECT_EQ(folders.SamplesFolder(), "/opt/kv/SAMPLES");
}

TEST(SpecialFoldersTest, DataFilesBesideABuiltProgramOrInTheShareFolderOfAnInstalledOne) {
    test::TempDir dir;
    SpecialFolders folders;
    // An installed tree: bin/ and share/kvscalecrafter/.
    folders.programFolder = dir / "usr" / "bin";
    std::filesystem::create_directories(folders.programFolder);
    EXPECT_EQ(folders.DataFolder(), folders.programFolder);  // nothing installed yet: beside the program
    std::filesystem::create_directories(dir / "usr" / "share" / "kvscalecrafter");
    EXPECT_EQ(folders.DataFolder(), dir / "usr" / "share" / "kvscalecrafter");
    EXPECT_EQ(folders.ResourceFile(), dir / "usr/share/kvscalecrafter/Res/resourses.ini");
    EXPECT_EQ(folders.SamplesFolder(), dir / "usr/share/kvscalecrafter/SAMPLES");
    EXPECT_EQ(folders.HelpFolder(), dir / "usr/share/kvscalecrafter/help");
    // A build folder holds Res/ beside the program; that wins even where a share folder exists.
    std::filesystem::create_directories(folders.programFolder / "Res");
    EXPECT_EQ(folders.DataFolder(), folders.programFolder);
    EXPECT_EQ(ProgramDataFolder({}), std::filesystem::path());
}

TEST(SpecialFoldersTest, FromSystemFollowsTheXdgVariables) {
    // Only this test reads the environment's folders, and it points them into a temporary folder first.
    test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const SpecialFolders folders = SpecialFolders::FromSystem();
    EXPECT_EQ(folders.configHome, dir / "config");
    EXPECT_EQ(folders.dataHome, dir / "data");
    EXPECT_EQ(folders.cacheHome, dir / "cache");
    EXPECT_EQ(folders.programFolder, ExecutableFolder());
    EXPECT_TRUE(std::filesystem::exists(folders.programFolder / "test_platform"));
}

TEST(SpecialFoldersTest, PrivateFolderIsCreatedWithParentsAndMode0700) {
    test::TempDir dir;
    const auto folder = dir / "cache" / "KARVO Imaging";
    ASSERT_TRUE(EnsurePrivateFolder(folder));
    EXPECT_EQ(ModeOf(folder), 0700);
    EXPECT_TRUE(EnsurePrivateFolder(folder));  // again: still fine

    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    EXPECT_TRUE(EnsurePrivateFolder(folder));
    EXPECT_EQ(ModeOf(folder), 0700);
}

TEST(SpecialFoldersTest, PrivateFolderRefusesWhatItCannotTrust) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "elsewhere");
    ASSERT_EQ(::chmod((dir / "elsewhere").c_str(), 0755), 0);
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "link");
    EXPECT_FALSE(EnsurePrivateFolder(dir / "link"));
    EXPECT_EQ(ModeOf(dir / "elsewhere"), 0755);  // the link's target is left alone

    test::WriteBytes(dir / "file", {1});
    EXPECT_FALSE(EnsurePrivateFolder(dir / "file"));
    EXPECT_FALSE(EnsurePrivateFolder(dir / "file" / "below"));
    EXPECT_FALSE(EnsurePrivateFolder({}));

    if (::geteuid() == 0) {
        std::filesystem::create_directory(dir / "theirs");
        ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(EnsurePrivateFolder(dir / "theirs"));
    }
}

}  // namespace
}  // namespace kv

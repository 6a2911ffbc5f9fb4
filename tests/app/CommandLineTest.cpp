#include "app/CommandLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "common/TestFiles.h"

namespace kv {
namespace {

using Paths = std::vector<std::filesystem::path>;

TEST(CommandLineTest, Switches) {
    struct Case {
        std::vector<std::string> arguments;
        StartAction action;
    };
    const auto none = [](const std::string&) { return false; };
    const std::vector<Case> cases{
        {{}, StartAction::Window},
        {{"/Register"}, StartAction::Register},
        {{"/regserver"}, StartAction::Register},
        {{"-RegisterPerUser"}, StartAction::Register},
        {{"--regserverperuser"}, StartAction::Register},
        {{"/Unregister"}, StartAction::Unregister},
        {{"-UNREGSERVER"}, StartAction::Unregister},
        {{"--UnregisterPerUser"}, StartAction::Unregister},
        {{"/UnregserverPerUser"}, StartAction::Unregister},
        {{"/Embedding"}, StartAction::Automation},
        {{"-automation", "/Register"}, StartAction::Register},  // registering ends the run first
        {{"/Register", "/Unregister"}, StartAction::Unregister},
        {{"/p", "-pt", "--dde", "-platform", "/unknown"}, StartAction::Window},
        {{"--", "/Register", "-Register"}, StartAction::Window},
        {{"/Register/"}, StartAction::Window},
        {{"--help"}, StartAction::Help},
        {{"-h", "/Register"}, StartAction::Help},
        {{"/Unregister", "--version"}, StartAction::Version},
        {{"--version", "--help", "-Embedding"}, StartAction::Help},
        {{"/help", "-help", "--", "--help"}, StartAction::Window},
    };
    for (const auto& c : cases) {
        const StartupRequest request = ParseCommandLine(c.arguments, none);
        EXPECT_EQ(request.action, c.action) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(request.endsEarly(), c.action != StartAction::Window);
        EXPECT_TRUE(request.files.empty());
    }
}

TEST(CommandLineTest, ASlashArgumentNamingAFileIsAFile) {
    // "/Register" names a switch only while no such file exists; "/Register.jpg" would be an image.
    const std::set<std::string> present{"/Register", "/p"};
    const auto exists = [&](const std::string& path) { return present.contains(path); };
    EXPECT_EQ(ParseCommandLine({"/Register"}, exists).action, StartAction::Window);
    EXPECT_EQ(ParseCommandLine({"/Unregister"}, exists).action, StartAction::Unregister);
    EXPECT_EQ(ParseCommandLine({"-Register"}, exists).action, StartAction::Register);

    const StartupRequest request = ParseCommandLine({"/tmp/photos/Register.jpg", "/home/u/a.JPG"}, exists);
    EXPECT_EQ(request.files, (Paths{"/tmp/photos/Register.jpg", "/home/u/a.JPG"}));
}

TEST(CommandLineTest, ExistingFilesOnTheRealFileSystem) {
    test::TempDir dir;
    test::WriteBytes(dir / "a.jpg", {1});
    const std::string absolute = (dir / "a.jpg").string();
    const StartupRequest request = ParseCommandLine({"/Unregister", absolute});
    EXPECT_EQ(request.action, StartAction::Unregister);
    EXPECT_EQ(request.files, Paths{absolute});
}

TEST(CommandLineTest, OneImageOpensSeveralFillTheBatchList) {
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(ParseCommandLine({"/x/notes.txt"}, none).open(), StartOpen::Nothing);
    const StartupRequest one = ParseCommandLine({"/x/notes.txt", "/x/a.jpg", "/x/b.jfif"}, none);
    EXPECT_EQ(one.open(), StartOpen::Document);
    EXPECT_EQ(one.files, Paths{"/x/a.jpg"});
    const StartupRequest three =
        ParseCommandLine({"/x/a.jpg", "/x/b.png", "-dde", "/x/a.jpg", "/x/c.TIF", "/x/d.jpeg"}, none);
    EXPECT_EQ(three.open(), StartOpen::BatchList);
    EXPECT_EQ(three.files, (Paths{"/x/a.jpg", "/x/b.png", "/x/a.jpg", "/x/c.TIF", "/x/d.jpeg"}));
}

TEST(CommandLineTest, RelativeNamesBecomeAbsolute) {
    const StartupRequest request = ParseCommandLine({"sub/a.bmp", "--", "-dash.gif"});
    const auto cwd = std::filesystem::current_path();
    EXPECT_EQ(request.files, (Paths{cwd / "sub/a.bmp", cwd / "-dash.gif"}));
}

}  // namespace
}  // namespace kv

#include "app/InitialBrowseFolder.h"

#include <gtest/gtest.h>

#include "common/TestFiles.h"

namespace kv {
namespace {

TEST(InitialBrowseFolderTest, FirstExistingFolderInOrder) {
    test::TempDir dir;
    for (const char* name : {"program/SAMPLES", "Pictures", "Documents", "chosen"})
        std::filesystem::create_directories(dir / name);
    SpecialFolders all;
    all.programFolder = dir / "program";
    all.pictures = dir / "Pictures";
    all.documents = dir / "Documents";
    SpecialFolders noSamples = all;
    noSamples.programFolder = dir / "elsewhere";
    SpecialFolders documentsOnly = noSamples;
    documentsOnly.pictures = dir / "missing";
    SpecialFolders nothing = documentsOnly;
    nothing.documents.clear();

    struct Case {
        std::string browseDefault;
        const SpecialFolders& folders;
        std::filesystem::path expected;
    };
    const std::vector<Case> cases{
        {(dir / "chosen").string(), all, dir / "chosen"},
        {(dir / "gone").string(), all, dir / "program/SAMPLES"},
        {"", noSamples, dir / "Pictures"},
        {"", documentsOnly, dir / "Documents"},
        {(dir / "gone").string(), nothing, ""},
    };
    for (const auto& c : cases) {
        std::string browseDefault = c.browseDefault;
        EXPECT_EQ(ChooseInitialBrowseFolder(browseDefault, c.folders), c.expected.string()) << c.browseDefault;
        EXPECT_EQ(browseDefault, c.expected.string());
    }
}

}  // namespace
}  // namespace kv

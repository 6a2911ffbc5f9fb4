#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/DocumentTestSupport.h"
#include "document/NeighbourFiles.h"
#include "document/SaveImage.h"

namespace kv::test {
namespace {

class NavigationTest : public ::testing::Test {
protected:
    void Image(const std::string& name) {
        const std::string_view mime = OutputMimeType(name);
        WritePattern(dir / name, 16, 12, 72.0f, mime.empty() ? "image/png" : mime);
    }
    void Corrupt(const std::string& name) { WriteBytes(dir / name, std::vector<uint8_t>(64, 0x42)); }
    std::string OpenName() const { return doc().HasImage() ? doc().Path().filename().string() : std::string{}; }
    CKVScaleCrafterDoc& doc() const { return *rig.document; }
    std::string CantOpen(const std::string& name) const { return "Can't open file\n" + (dir / name).string() + "!"; }

    TempDir dir;
    DocumentRig rig;
};

TEST_F(NavigationTest, NextAndPreviousGoInNameOrderSkipOtherFormatsAndWrap) {
    // Written out of order: the folder's own order must not matter.
    Image("c.png");
    Image("a.jpg");
    Image("b.gif");
    Image("d.TIF");
    Image("e.txt");
    Image("g.jpeg");
    Image("h.Jpe");
    Image("i.TIFF");
    std::filesystem::create_directory(dir / "f.bmp");
    ASSERT_TRUE(doc().OnOpenDocument(dir / "a.jpg"));

    std::vector<std::string> visited;
    for (int i = 0; i < 6; ++i) {
        doc().OnNextFile();
        visited.push_back(OpenName());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"c.png", "d.TIF", "g.jpeg", "h.Jpe", "i.TIFF", "a.jpg"}));
    doc().OnPreviousFile();
    EXPECT_EQ(OpenName(), "i.TIFF");
    EXPECT_EQ(rig.prompt.beeps, 0);
    EXPECT_TRUE(rig.prompt.messages.empty());
}

TEST_F(NavigationTest, TheViewMenusNextAndPreviousReachTheDocumentThroughTheRouter) {
    Image("a.png");
    Image("b.png");
    CommandRouter router;
    router.SetHandler(CommandRoute::Document, &doc());
    // Without an image there is no folder to step through.
    EXPECT_FALSE(router.StateOf(CommandId::ID_VIEW_NEXT).enabled);
    EXPECT_FALSE(router.Execute(CommandId::ID_VIEW_PREVIOUS));
    EXPECT_EQ(rig.prompt.beeps, 0);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "a.png"));
    EXPECT_TRUE(router.StateOf(CommandId::ID_VIEW_NEXT).enabled);
    EXPECT_TRUE(router.Execute(CommandId::ID_VIEW_NEXT));
    EXPECT_EQ(OpenName(), "b.png");
    EXPECT_TRUE(router.Execute(CommandId::ID_VIEW_PREVIOUS));
    EXPECT_EQ(OpenName(), "a.png");
    EXPECT_EQ(router.HandlerOf(CommandId::ID_FILE_SAVE), nullptr);
}

TEST_F(NavigationTest, OnlyImageOfItsFolderBeeps) {
    Image("only.png");
    Image("other.gif");
    ASSERT_TRUE(doc().OnOpenDocument(dir / "only.png"));
    doc().OnNextFile();
    doc().OnPreviousFile();
    EXPECT_EQ(rig.prompt.beeps, 2);
    EXPECT_EQ(OpenName(), "only.png");
}

TEST_F(NavigationTest, CorruptNeighbourIsSkippedWithItsMessage) {
    Image("a.jpg");
    Corrupt("b.jpg");
    Image("c.png");
    ASSERT_TRUE(doc().OnOpenDocument(dir / "a.jpg"));
    doc().OnNextFile();
    EXPECT_EQ(OpenName(), "c.png");
    EXPECT_EQ(rig.prompt.messages, std::vector<std::string>{CantOpen("b.jpg")});

    // The next command's first choice still passes over what the last one failed to open.
    rig.prompt.messages.clear();
    doc().OnPreviousFile();
    EXPECT_EQ(OpenName(), "a.jpg");
    EXPECT_TRUE(rig.prompt.messages.empty());
    // After that the list is clear, and the corrupt file is tried again.
    doc().OnNextFile();
    EXPECT_EQ(OpenName(), "c.png");
    EXPECT_EQ(rig.prompt.messages, std::vector<std::string>{CantOpen("b.jpg")});
}

TEST_F(NavigationTest, WhenEveryOtherImageFailsTheCommandEndsWithABeep) {
    Image("a.png");
    Corrupt("b.png");
    Corrupt("c.bmp");
    ASSERT_TRUE(doc().OnOpenDocument(dir / "a.png"));
    doc().OnNextFile();
    EXPECT_EQ(rig.prompt.messages, (std::vector<std::string>{CantOpen("b.png"), CantOpen("c.bmp")}));
    EXPECT_EQ(rig.prompt.beeps, 1);
    EXPECT_FALSE(doc().HasImage());  // a failed open leaves no image
}

TEST(FindNeighbourFile, NeedsTheCurrentFileAmongTheFolderImages) {
    TempDir dir;
    WriteBytes(dir / "a.png", {});
    WriteBytes(dir / "b.png", {});
    EXPECT_EQ(FindNeighbourFile(dir / "a.png", true, {}), dir / "b.png");
    EXPECT_EQ(FindNeighbourFile(dir / "a.png", false, {}), dir / "b.png");
    EXPECT_EQ(FindNeighbourFile(dir / "gone.png", true, {}), std::filesystem::path());
    EXPECT_EQ(FindNeighbourFile(dir / "a.png", true, {dir / "b.png"}), std::filesystem::path());
    EXPECT_EQ(FindNeighbourFile(dir / "missing" / "a.png", true, {}), std::filesystem::path());
}

}  // namespace
}  // namespace kv::test

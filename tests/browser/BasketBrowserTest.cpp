#include "browser/BasketBrowser.h"

#include <gtest/gtest.h>

#include "base/CommandIds.h"
#include "batch/BatchTestSupport.h"
#include "browser/BrowserTestSupport.h"
#include "browser/ThumbsBuilderThreads.h"
#include "common/RecordingTargets.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Selected;
using Indices = std::vector<size_t>;

// A batch list of four 400 x 300 photos, shown four to a row.
class BasketBrowserTest : public testing::Test {
protected:
    void SetUp() override {
        builders.Stop();
        for (const char* name : {"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}) {
            test::MakeImage(dir / name, 400, 300);
            photos.push_back(dir / name);
        }
        settings.applyToNew = true;
        settings.width = 200;
        settings.height = 150;
        view.client = {928, 600};
        basket.SetHost(&view);
        list.AddFiles(photos);
    }
    std::vector<fs::path> Paths() const { return list.Paths(); }

    test::TempDir dir;
    test::TempDir cacheDir;
    std::vector<fs::path> photos;
    ResizeSettings settings;
    test::RecordingUserPrompt prompt{false};
    BatchList list{settings, &prompt};
    CMapStringToObPlus cache{cacheDir.path()};
    CThumbsBuilderThreads builders{cache};
    test::MemoryClipboard clipboard;
    test::RecordingItemHost host{settings};
    test::RecordingView view;
    CBasketBrowser basket{list, {cache, &builders, &prompt, &clipboard}, &host};
};

TEST_F(BasketBrowserTest, DroppedFilesAreAddedAndASecondCopyIsAskedFor) {
    EXPECT_EQ(builders.QueuedFiles(BuildStage::First).size(), 4u);  // the drop's thumbnails are asked for
    EXPECT_EQ(view.content, (PixelSize{928, 197}));

    const fs::path more = dir / "more.png";
    test::MakeImage(more, 100, 100);
    // From a file manager: offered as a copy, never as a move; without files, refused.
    EXPECT_EQ(basket.DragEnter(true), DropEffect::Copy);
    EXPECT_EQ(basket.DragOver({10, 10}, true, {.shift = true}), DropEffect::Copy);
    EXPECT_EQ(basket.DragOver({10, 10}, false, {}), DropEffect::None);
    basket.Drop({10, 10}, FileList{{photos[1], more}, false}, DropEffect::Copy);
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], "File\n" + photos[1].string() +
                                       "\nis already selected for batch.\nDo you want to have multiple copies of this file?");
    EXPECT_EQ(Paths(), (std::vector<fs::path>{photos[0], photos[1], photos[2], photos[3], more}));
    EXPECT_EQ(list.item(4).batch.width, 150);  // the square fitted into 200 x 150: "apply to new" is on
    EXPECT_EQ(view.content, (PixelSize{928, 394}));
    EXPECT_EQ(builders.QueuedFiles(BuildStage::First).size(), 5u);

    prompt.SetAnswer(true);
    basket.Drop({10, 10}, FileList{{more}, false}, DropEffect::Copy);
    EXPECT_EQ(list.size(), 6u);
    EXPECT_EQ(list.item(5).path, more);
}

TEST_F(BasketBrowserTest, PastingACopyOrACutFromAnotherProgramAddsTheFilesAndMovesNothing) {
    const fs::path other = dir / "other.jpg";
    test::MakeImage(other, 50, 50);
    EXPECT_FALSE(basket.CommandStateOf(CommandId::ID_EDIT_PASTE).enabled);
    for (const bool cut : {false, true}) {
        clipboard.parts = EncodeFileList({other}, cut);
        ASSERT_TRUE(basket.CommandStateOf(CommandId::ID_EDIT_PASTE).enabled);
        prompt.SetAnswer(true);
        basket.OnCommand(CommandId::ID_EDIT_PASTE);
        EXPECT_TRUE(fs::exists(other));
        EXPECT_TRUE(clipboard.HoldsFileList());  // a cut stays there, to be pasted into a folder
    }
    EXPECT_EQ(list.size(), 6u);
    EXPECT_EQ(list.item(4).path, other);
    EXPECT_EQ(list.item(5).path, other);
}

TEST_F(BasketBrowserTest, DraggingWithinTheListReordersItsItemsWithTheirOwnValues) {
    for (size_t i = 0; i < 4; ++i) list.item(i).batch.width = 100 + static_cast<int32_t>(i);
    struct Case {
        Indices dragged;
        size_t dropOn;  // an index, or 4: past the last item
        std::vector<int32_t> widths;
    };
    const Case cases[] = {
        {{0}, 2, {101, 100, 102, 103}},
        {{0, 1}, 3, {102, 100, 101, 103}},
        {{2, 3}, 0, {102, 103, 100, 101}},
        {{0, 2}, 2, {101, 100, 102, 103}},  // dropped onto one of its own: the set stays together there
        {{1}, 4, {100, 102, 103, 101}},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < 4; ++i) list.item(i).batch.width = 100 + static_cast<int32_t>(i);
        for (size_t i = 0; i < 4; ++i) list.item(i).selected = 0;
        for (const size_t i : c.dragged) list.item(i).selected = 1;
        const PixelPoint target = c.dropOn < 4 ? test::CentreOf(basket, c.dropOn, view) : PixelPoint{900, 300};
        view.duringDrag = [&] {
            EXPECT_TRUE(basket.InternalDrag());
            EXPECT_EQ(basket.DragEnter(true), DropEffect::Move);
            EXPECT_EQ(basket.DragOver(target, true, {}), DropEffect::Move);
            basket.Drop(target, FileList{}, DropEffect::Move);
        };
        const PixelPoint from = test::CentreOf(basket, c.dragged.back(), view);
        basket.MouseDown(from, {});
        basket.MouseMove({from.x + 10, from.y}, true, {});
        std::vector<int32_t> widths;
        for (size_t i = 0; i < 4; ++i) widths.push_back(list.item(i).batch.width);
        EXPECT_EQ(widths, c.widths) << "dragging " << testing::PrintToString(c.dragged) << " onto " << c.dropOn;
        EXPECT_FALSE(basket.InternalDrag());
    }
    EXPECT_EQ(list.size(), 4u);
    EXPECT_TRUE(fs::exists(photos[0]));
}

TEST_F(BasketBrowserTest, ChoosingAnItemLoadsItsValuesAndOpensItsImageKeepingThem) {
    list.item(2).batch = {320, 240, 300, 9, SizeCorrection::Crop};
    basket.MouseDown(test::CentreOf(basket, 2, view), {});
    ASSERT_EQ(host.opened, (std::vector<fs::path>{photos[2]}));
    EXPECT_TRUE(host.settingsWhileOpening.openingFromBatchList);
    EXPECT_EQ(host.settingsWhileOpening.width, 320);
    EXPECT_EQ(host.settingsWhileOpening.dpi, 300.0f);
    EXPECT_EQ(host.settingsWhileOpening.algorithm, 9);
    EXPECT_EQ(host.settingsWhileOpening.correction, SizeCorrection::Crop);
    EXPECT_FALSE(settings.openingFromBatchList);
    basket.MouseUp(test::CentreOf(basket, 2, view), {});

    basket.MouseDown(test::CentreOf(basket, 1, view), {.ctrl = true});  // a Ctrl press chooses nothing
    EXPECT_EQ(host.opened.size(), 1u);
    basket.MouseUp(test::CentreOf(basket, 1, view), {.ctrl = true});
    EXPECT_EQ(Selected(list.Items()), (Indices{1, 2}));

    host.browsing = true;
    basket.MouseDown(test::CentreOf(basket, 3, view), {});
    EXPECT_EQ(host.shownAgain, 1);
    EXPECT_EQ(host.opened.size(), 1u);
}

TEST_F(BasketBrowserTest, RemoveTakesTheSelectionAwayAndNeedsOne) {
    EXPECT_FALSE(basket.CommandStateOf(CommandId::ID_REMOVE_SELECTED).enabled);
    list.item(1).selected = 1;
    list.item(3).selected = 1;
    ASSERT_TRUE(basket.CommandStateOf(CommandId::ID_REMOVE_SELECTED).enabled);
    basket.OnCommand(CommandId::ID_REMOVE_SELECTED);
    EXPECT_EQ(Paths(), (std::vector<fs::path>{photos[0], photos[2]}));
    EXPECT_EQ(builders.QueuedFiles(BuildStage::First).size(), 2u);
    EXPECT_EQ(view.status.files, "Total 2 files");
}

TEST_F(BasketBrowserTest, TheMenusOfTheListOfferWhatItDoes) {
    const auto texts = [](const ContextMenu& menu) {
        std::vector<std::string> all;
        for (const ContextMenuEntry& entry : menu.entries) {
            if (!entry.submenu.empty()) {
                all.push_back(entry.text + ":");
                for (const ContextMenuEntry& sub : entry.submenu) all.push_back(sub.text);
            } else {
                all.push_back(entry.id ? entry.text : "-");
            }
        }
        return all;
    };
    using V = std::vector<std::string>;
    basket.ContextMenuAt({900, 300});
    EXPECT_EQ(texts(*view.menu), (V{"&Refresh", "-", "&Paste", "-", "Select all", "-", "Sort &By:", "&Name", "&Date",
                                    "&File Format"}));
    basket.ContextMenuAt(test::CentreOf(basket, 0, view));
    EXPECT_EQ(texts(*view.menu), (V{"&Paste", "&Copy", "&Remove", "-", "Select all", "-", "Sort &By:", "&Name",
                                    "&Date", "&File Format", "-", "Properties ..."}));
    EXPECT_TRUE(view.menu->entries[2].enabled);
    basket.OnCommand(CommandId::ID_SELECT_ALL);
    basket.ContextMenuAt(test::CentreOf(basket, 0, view));
    EXPECT_EQ(view.menu->kind, ContextMenuKind::SeveralItems);
    EXPECT_EQ(texts(*view.menu).back(), "&File Format");
}

TEST_F(BasketBrowserTest, ToolTipsTellWhatEachImageBecomes) {
    list.item(0).batch = {320, 200, 72.5f, 9, SizeCorrection::KeepAspect};
    EXPECT_EQ(basket.TooltipAt(test::CentreOf(basket, 0, view)),
              "Resize to: 320x200\nResolution: 72.5 DPI\nKARVO Super-Resolution");
    EXPECT_EQ(basket.TooltipAt({900, 300}), "");
}

TEST_F(BasketBrowserTest, ABatchFileOrTheCommandLineAsksForBatchMode) {
    int asked = 0;
    basket.SetBatchModeRequest([&] { ++asked; });
    list.ReplaceWithFiles(photos);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(builders.QueuedFiles(BuildStage::First), (std::vector<std::string>{
        photos[0].string(), photos[1].string(), photos[2].string(), photos[3].string()}));
}

TEST_F(BasketBrowserTest, ARenamedFileStaysInTheListUnderItsNewName) {
    list.item(1).selected = 1;
    basket.CommitRename(photos[1], "renamed");
    EXPECT_EQ(list.item(1).path, dir / "renamed.jpg");
    EXPECT_EQ(list.item(1).batch.width, 200);
}

TEST(EmptyBasketTextTest, TheTextSpansHalfTheViewAtAnyWidth) {
    EXPECT_EQ(EmptyBasketFontHeight(1000, 2000), 25);  // 2000 wide at 100: 500 wide at 25
    EXPECT_EQ(EmptyBasketFontHeight(60, 2000), 4);     // never smaller than 4
    EXPECT_EQ(EmptyBasketFontHeight(500, 0), 4);
}

}  // namespace
}  // namespace kv
